#include "PairJudge.h"

#include "Decimator.h"
#include "Keypad.h"

#include <algorithm>
#include <cmath>

namespace {

// Power of a tone's second harmonic over the tone's power.
constexpr double MaxHarmonic = 0.25; // -6 dB
// Offset from the nominal frequency: 1.5 % is kept, 3.5 % is not.
constexpr double MaxOffset = 0.025;
// A second harmonic is heard when its power is this far over the background
// (3 dB) and over this share of the tone's (-30 dB: the tone's own leakage
// into the harmonic's bin stays under it).
constexpr double MinHarmonicRise = 2.0;
constexpr double MinHeardHarmonic = 0.001;
// Amplitude of each tone on the scale [-1, 1): -42 dBFS is kept, -60 is not.
const double Floor = std::pow(10.0, -51.0 / 20);

int Strongest(const double *Power, int First)
{
    int Best = First;
    for (int k = First + 1; k < First + 4; ++k)
        if (Power[k] > Power[Best])
            Best = k;
    return Best;
}

bool Dominates(const double *Power, int Best, int First, double MinDominance)
{
    for (int k = First; k < First + 4; ++k)
        if (k != Best && !(Power[Best] >= MinDominance * Power[k]))
            return false;
    return true;
}

// The frequency offset in Hz from the phase turn over one step.
double Offset(const TToneWindow &Now, const TToneWindow &Before, int Tone)
{
    // Now times the conjugate of Before, written out: the library's product
    // checks for infinities first.
    const std::complex<double> a = Now.Tone[Tone];
    const std::complex<double> b = Before.Tone[Tone];
    const double Turn = std::atan2(a.imag() * b.real() - a.real() * b.imag(),
                                   a.real() * b.real() + a.imag() * b.imag());
    return Turn * TToneBank::Rate / (2 * M_PI * TToneBank::SubBlock);
}

// Gain of a rectangular window of Length samples at Offset Hz from its
// centre frequency.
double WindowGain(double Offset, int Length)
{
    const double x = M_PI * Offset * Length / TToneBank::Rate;
    return std::fabs(x) < 1e-9 ? 1.0 : std::fabs(std::sin(x) / x);
}

// The tone's amplitude on the scale [-1, 1), undoing the decimator's droop
// and the window's loss for a tone off its bin.
double Amplitude(const TToneWindow &Now, int Tone, double Offset)
{
    // The droop hardly changes over the offsets that pass.
    static const struct TDroop
    {
        double Gain[DtmfToneCount];
        TDroop()
        {
            for (int k = 0; k < DtmfToneCount; ++k)
                Gain[k] = TDecimator::Gain(DtmfFrequencies[k]);
        }
    } Droop;
    return 2 * std::sqrt(std::norm(Now.Tone[Tone])) / Now.Length /
           (Droop.Gain[Tone] * WindowGain(Offset, Now.Length));
}

TPairVerdict Reject(TPairReject Reason, TPairTrace *Trace)
{
    if (Trace != nullptr)
        Trace->Why = Reason;
    return {};
}

double Db(double PowerRatio)
{
    return 10 * std::log10(PowerRatio);
}

double NextStrongest(const double *Power, int Best, int First)
{
    double Next = 0;
    for (int k = First; k < First + 4; ++k)
        if (k != Best)
            Next = std::max(Next, Power[k]);
    return Next;
}

// The median power of the bins that hold neither the pair nor its harmonics.
double Background(const double *Power, int Low, int High)
{
    double Rest[BankTones];
    int Count = 0;
    for (int k = 0; k < BankTones; ++k)
        if (k % DtmfToneCount != Low && k % DtmfToneCount != High)
            Rest[Count++] = Power[k];
    std::nth_element(Rest, Rest + Count / 2, Rest + Count);
    return Rest[Count / 2];
}

void Measure(const TToneWindow &Now, const TToneWindow &Before, const double *Power, int Low,
             int High, TPairTrace &Trace)
{
    Trace.Low = Low;
    Trace.High = High;
    Trace.Share = 2 * (Power[Low] + Power[High]) / Now.Length / Now.Energy;
    Trace.LowDominance = Db(Power[Low] / NextStrongest(Power, Low, 0));
    Trace.HighDominance = Db(Power[High] / NextStrongest(Power, High, 4));
    Trace.LowHarmonic = Db(Power[Low] / Power[Low + DtmfToneCount]);
    Trace.HighHarmonic = Db(Power[High] / Power[High + DtmfToneCount]);
    const double Floor = Background(Power, Low, High);
    Trace.LowHarmonicRise = Db(Power[Low + DtmfToneCount] / Floor);
    Trace.HighHarmonicRise = Db(Power[High + DtmfToneCount] / Floor);
    const double LowOffset = Offset(Now, Before, Low);
    const double HighOffset = Offset(Now, Before, High);
    Trace.LowHarmonicOffset = Offset(Now, Before, Low + DtmfToneCount) / (2 * DtmfFrequencies[Low]);
    Trace.HighHarmonicOffset =
        Offset(Now, Before, High + DtmfToneCount) / (2 * DtmfFrequencies[High]);
    Trace.LowOffset = LowOffset / DtmfFrequencies[Low];
    Trace.HighOffset = HighOffset / DtmfFrequencies[High];
    Trace.LowDbfs = 20 * std::log10(Amplitude(Now, Low, LowOffset));
    Trace.HighDbfs = 20 * std::log10(Amplitude(Now, High, HighOffset));
}

// Whether a tone's second harmonic stands over the background and over the
// tone's own leakage into its bin; Slip is then the harmonic's offset less
// the tone's. Rest is the background, found on first need (negative until
// then).
bool HarmonicHeard(const TToneWindow &Now, const TToneWindow &Before, const double *Power, int Low,
                   int High, int Tone, double ToneOffset, double &Rest, double &Slip)
{
    const int Harmonic = Tone + DtmfToneCount;
    if (!(Power[Harmonic] >= MinHeardHarmonic * Power[Tone]))
        return false;
    if (Rest < 0)
        Rest = Background(Power, Low, High);
    if (!(Power[Harmonic] >= MinHarmonicRise * Rest))
        return false;
    Slip = Offset(Now, Before, Harmonic) / (2 * DtmfFrequencies[Tone]) - ToneOffset;
    return true;
}

} // namespace

TPairVerdict TPairJudge::Judge(const TToneWindow &Now, const TToneWindow &Before, TPairTrace *Trace,
                               const TPairLimits &Limits)
{
    double Power[BankTones];
    for (int k = 0; k < BankTones; ++k)
        Power[k] = std::norm(Now.Tone[k]);
    const int Low = Strongest(Power, 0);
    const int High = Strongest(Power, 4);
    if (Trace != nullptr)
        Measure(Now, Before, Power, Low, High, *Trace);

    // A tone of amplitude a over N samples has a power of (a N / 2)^2 in its
    // correlation and an energy of a^2 N / 2 in the window.
    const double PairEnergy = 2 * (Power[Low] + Power[High]) / Now.Length;
    if (!(PairEnergy >= Limits.MinShare * Now.Energy) || !(PairEnergy > 0))
        return Reject(TPairReject::Share, Trace);
    if (!Dominates(Power, Low, 0, Limits.MinDominance) ||
        !Dominates(Power, High, 4, Limits.MinDominance))
        return Reject(TPairReject::Dominance, Trace);
    if (!(Power[Low + DtmfToneCount] <= MaxHarmonic * Power[Low]) ||
        !(Power[High + DtmfToneCount] <= MaxHarmonic * Power[High]))
        return Reject(TPairReject::Harmonic, Trace);

    const double LowOffset = Offset(Now, Before, Low);
    const double HighOffset = Offset(Now, Before, High);
    if (!(std::fabs(LowOffset) <= MaxOffset * DtmfFrequencies[Low]) ||
        !(std::fabs(HighOffset) <= MaxOffset * DtmfFrequencies[High]))
        return Reject(TPairReject::Frequency, Trace);

    const double LowAmplitude = Amplitude(Now, Low, LowOffset);
    const double HighAmplitude = Amplitude(Now, High, HighOffset);
    if (!(LowAmplitude >= Floor) || !(HighAmplitude >= Floor))
        return Reject(TPairReject::Floor, Trace);
    const double Twist = 20 * std::log10(LowAmplitude / HighAmplitude);
    if (!(Twist <= MaxLowOverHigh + WindowTwistSlack) ||
        !(Twist >= -(MaxHighOverLow + WindowTwistSlack)))
        return Reject(TPairReject::Twist, Trace);

    if (Trace != nullptr)
        Trace->Why = TPairReject::None;
    TPairVerdict Verdict;
    Verdict.Symbol = KeypadSymbol(Low, High);
    Verdict.Level = std::sqrt(Power[Low]) + std::sqrt(Power[High]);
    Verdict.Twist = Twist;
    Verdict.Share = PairEnergy / Now.Energy;
    Verdict.LowOffset = LowOffset / DtmfFrequencies[Low];
    Verdict.HighOffset = HighOffset / DtmfFrequencies[High];
    double Rest = -1;
    Verdict.LowHeard =
        HarmonicHeard(Now, Before, Power, Low, High, Low, Verdict.LowOffset, Rest, Verdict.LowSlip);
    Verdict.HighHeard = HarmonicHeard(Now, Before, Power, Low, High, High, Verdict.HighOffset, Rest,
                                      Verdict.HighSlip);
    Verdict.LowRival = NextStrongest(Power, Low, 0) / Power[Low];
    Verdict.HighRival = NextStrongest(Power, High, 4) / Power[High];
    return Verdict;
}
