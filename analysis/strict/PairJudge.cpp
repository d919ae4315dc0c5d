#include "PairJudge.h"

#include "Keypad.h"
#include "QuickMath.h"

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

bool Dominates(const TToneWindow &Now, const TToneWindow &Before, const double *Power, int Best,
               int First, const TPairLimits &Limits)
{
    for (int k = First; k < First + 4; ++k) {
        if (k == Best || Power[Best] >= Limits.MinDominance * Power[k])
            continue;
        const bool OffKeypad =
            Limits.OffRival > 0 && Power[Best] >= Limits.MinOffDominance * Power[k] &&
            std::fabs(TPairJudge::Offset(Now, Before, k)) >= Limits.OffRival * DtmfFrequencies[k];
        if (!OffKeypad)
            return false;
    }
    return true;
}

// A verdict that holds no pair, with the powers of the keypad's tones. Made
// whole at once, field by field: a verdict made empty and then filled in
// would first be cleared byte by byte with a slow string instruction.
TPairVerdict Empty(const double *Power)
{
    static_assert(sizeof(TPairVerdict) == 120, "a verdict's fields changed: give each one here");
    const auto At = [Power](int k) { return static_cast<float>(Power[k]); };
    return TPairVerdict{0,                 // Symbol
                        0,                 // Twisted
                        TPairReject::None, // Why
                        0,                 // Level
                        0,                 // Twist
                        0,                 // Share
                        0,                 // LowOffset
                        0,                 // HighOffset
                        false,             // LowHeard
                        false,             // HighHeard
                        false,             // Clipped
                        false,             // Railed
                        0,                 // LowSlip
                        0,                 // HighSlip
                        0,                 // LowRival
                        0,                 // HighRival
                        {At(0), At(1), At(2), At(3), At(4), At(5), At(6), At(7)}};
}

// The amplitude in the bin of Tone's second harmonic less what Other leaks
// into it, for a rectangular window: the other tone's amplitude scaled by
// the window's gain at their distance. An Other too far off its own
// frequency to be judged leaks nothing that can be told.
double HarmonicOwn(const TToneWindow &Now, const TToneWindow &Before, const double *Power, int Tone,
                   int Other)
{
    const double Whole = std::sqrt(Power[Tone + DtmfToneCount]);
    const double Off = TPairJudge::Offset(Now, Before, Other);
    if (!(std::fabs(Off) <= MaxOffset * DtmfFrequencies[Other]))
        return Whole;
    const double Actual = DtmfFrequencies[Other] + Off;
    return Whole - std::sqrt(Power[Other]) *
                       TPairJudge::WindowGain(Actual - 2 * DtmfFrequencies[Tone], Now.Length) /
                       TPairJudge::WindowGain(Off, Now.Length);
}

// Whether Tone's second harmonic stays under MaxHarmonic of its power once
// what Other leaks into the harmonic's bin is taken out: a high tone 58-93 Hz
// from the low tone's harmonic (1336 Hz from 2 x 697, 1633 Hz from 2 x 852)
// fills that bin with a sidelobe, and when it stands 10 dB or more over the
// low tone (an echo that combs the low tone out) that alone would read as a
// harmonic. The leak is the other tone's power scaled by the window's gain
// at each distance; the harmonic is at least what stands over it. Only a
// pair twisted past MinOverTone (a power ratio) is judged so: its window
// holds no digit, only an echo-combed pair that carries one on.
bool HarmonicLow(const TToneWindow &Now, const TToneWindow &Before, const double *Power, int Tone,
                 int Other, double MinOverTone)
{
    const int Harmonic = Tone + DtmfToneCount;
    if (Power[Harmonic] <= MaxHarmonic * Power[Tone])
        return true;
    if (!(Power[Other] >= MinOverTone * Power[Tone]))
        return false;
    const double Own = HarmonicOwn(Now, Before, Power, Tone, Other);
    return Own <= 0 || Own * Own <= MaxHarmonic * Power[Tone];
}

} // namespace

double TPairJudge::WindowGain(double Offset, double Length)
{
    const double x = M_PI * Offset * Length / TToneBank::Rate;
    return std::fabs(x) < 1e-9 ? 1.0 : QuickMath::AbsSin(x) / std::fabs(x);
}

double TPairJudge::Offset(const TToneWindow &Now, const TToneWindow &Before, int Tone)
{
    // Now times the conjugate of Before, written out: the library's product
    // checks for infinities first.
    const std::complex<double> a = Now.Tone[Tone];
    const std::complex<double> b = Before.Tone[Tone];
    const double Turn = QuickMath::Atan2(a.imag() * b.real() - a.real() * b.imag(),
                                         a.real() * b.real() + a.imag() * b.imag());
    return Turn * TToneBank::Rate / (2 * M_PI * TToneBank::SubBlock);
}

// The gain in front of the bank hardly changes over the offsets that pass.
double TPairJudge::Amplitude(const TToneWindow &Now, int Tone, double Offset) const
{
    return 2 * std::sqrt(std::norm(Now.Tone[Tone])) / Now.Length /
           (Gain[Tone] * WindowGain(Offset, Now.Length));
}

TPairJudge::TPairJudge(const std::array<double, DtmfToneCount> &Gain, const TStrictLimits &Limits)
    : Gain(Gain), Floor(std::pow(10.0, Limits.MinLevel / 20)), MaxLowOverHigh(Limits.NormalTwist),
      MaxHighOverLow(Limits.ReverseTwist),
      TwistedPower(std::pow(10.0, (Limits.ReverseTwist + WindowTwistSlack) / 10))
{
}

double TPairVerdict::PairLevel(char Of) const
{
    int Low = 0;
    int High = 0;
    if (!KeypadTones(Of, Low, High))
        return 0;
    return std::sqrt(static_cast<double>(Power[Low])) + std::sqrt(static_cast<double>(Power[High]));
}

int TPairJudge::Strongest(const double *Power, int First)
{
    // Without branches: which tone is strongest changes from window to window.
    int Best = First;
    double Most = Power[First];
    for (int k = First + 1; k < First + 4; ++k) {
        const bool More = Power[k] > Most;
        Best = More ? k : Best;
        Most = More ? Power[k] : Most;
    }
    return Best;
}

double TPairJudge::NextStrongest(const double *Power, int Best, int First)
{
    double Next = 0;
    for (int k = First; k < First + 4; ++k)
        if (k != Best)
            Next = std::max(Next, Power[k]);
    return Next;
}

double TPairJudge::Background(const double *Power, int Low, int High)
{
    double Rest[BankTones];
    int Count = 0;
    for (int k = 0; k < BankTones; ++k)
        if (k % DtmfToneCount != Low && k % DtmfToneCount != High)
            Rest[Count++] = Power[k];
    std::nth_element(Rest, Rest + Count / 2, Rest + Count);
    return Rest[Count / 2];
}

namespace {

// Whether Value stands MinHarmonicRise times over the background, the
// median of the bins that hold neither the pair nor its harmonics: whether
// more than half of those bins lie that far under it. Since multiplying by
// the rise keeps the order of values, this is the test on the median itself,
// without sorting. All bins are counted, then the pair's four taken back.
bool OverBackground(const double *Power, int Low, int High, double Value)
{
    int Under = 0;
    for (int k = 0; k < BankTones; ++k)
        Under += MinHarmonicRise * Power[k] <= Value;
    for (int k : {Low, High, Low + DtmfToneCount, High + DtmfToneCount})
        Under -= MinHarmonicRise * Power[k] <= Value;
    constexpr int Rest = BankTones - 4;
    return Under > Rest / 2;
}

// Whether a tone's second harmonic stands over the background and over the
// tone's own leakage into its bin; Slip is then the harmonic's offset less
// the tone's.
bool HarmonicHeard(const TToneWindow &Now, const TToneWindow &Before, const double *Power, int Low,
                   int High, int Tone, double ToneOffset, double &Slip)
{
    const int Harmonic = Tone + DtmfToneCount;
    if (!(Power[Harmonic] >= MinHeardHarmonic * Power[Tone]))
        return false;
    if (!OverBackground(Power, Low, High, Power[Harmonic]))
        return false;
    // A louder other tone a few sidelobes away (1477 Hz beside 2 x 852) can
    // fill the bin alone, and its phase turn, 200 Hz away from the bin's
    // as seen between sub-blocks, can pass for a harmonic's.
    const double Own = HarmonicOwn(Now, Before, Power, Tone, Tone == Low ? High : Low);
    if (!(Own > 0 && Own * Own >= MinHeardHarmonic * Power[Tone]))
        return false;
    Slip = TPairJudge::Offset(Now, Before, Harmonic) / (2 * DtmfFrequencies[Tone]) - ToneOffset;
    return true;
}

// Whether a verdict, filled up to its offsets, carries the digit sounding.
bool Carries(const TPairVerdict &Verdict, char Carried, double CarriedLevel)
{
    return Verdict.Symbol == Carried && Verdict.Level >= CarriedLevel;
}

} // namespace

TPairVerdict TPairJudge::Carrying(const TPairVerdict &Whole, char Carried, double CarriedLevel)
{
    TPairVerdict Verdict = Whole;
    if (Carries(Verdict, Carried, CarriedLevel)) {
        Verdict.LowHeard = Verdict.HighHeard = false;
        Verdict.LowSlip = Verdict.HighSlip = 0;
        Verdict.LowRival = Verdict.HighRival = 0;
    }
    return Verdict;
}

TPairVerdict TPairJudge::Judge(const TToneWindow &Now, const TToneWindow &Before,
                               const TPairLimits &Limits, char Carried, double CarriedLevel) const
{
    double Power[BankTones];
    for (int k = 0; k < BankTones; ++k)
        Power[k] = std::norm(Now.Tone[k]);
    // One verdict, filled as the window passes each test.
    TPairVerdict Verdict = Empty(Power);
    const int Low = Strongest(Power, 0);
    const int High = Strongest(Power, 4);

    // A tone of amplitude a over N samples has a power of (a N / 2)^2 in its
    // correlation and an energy of a^2 N / 2 in the window.
    const double PairEnergy = 2 * (Power[Low] + Power[High]) / Now.Length;
    Verdict.Why = TPairReject::Share;
    const double Against = Limits.InBand ? Now.Energy - Now.Unsteady : Now.Energy;
    if (!(PairEnergy >= Limits.MinShare * Against) || !(PairEnergy > 0))
        return Verdict;
    Verdict.Why = TPairReject::Dominance;
    if (!Dominates(Now, Before, Power, Low, 0, Limits) ||
        !Dominates(Now, Before, Power, High, 4, Limits))
        return Verdict;
    Verdict.Why = TPairReject::Harmonic;
    if (!HarmonicLow(Now, Before, Power, Low, High, TwistedPower) ||
        !(Power[High + DtmfToneCount] <= MaxHarmonic * Power[High]))
        return Verdict;

    const double LowOffset = Offset(Now, Before, Low);
    const double HighOffset = Offset(Now, Before, High);
    Verdict.Why = TPairReject::Frequency;
    if (!(std::fabs(LowOffset) <= MaxOffset * DtmfFrequencies[Low]) ||
        !(std::fabs(HighOffset) <= MaxOffset * DtmfFrequencies[High]))
        return Verdict;

    const double LowAmplitude = Amplitude(Now, Low, LowOffset);
    const double HighAmplitude = Amplitude(Now, High, HighOffset);
    Verdict.Why = TPairReject::Floor;
    if (!(LowAmplitude >= Floor) || !(HighAmplitude >= Floor))
        return Verdict;
    const double Twist = 20 * QuickMath::Log10(LowAmplitude / HighAmplitude);
    Verdict.Clipped = Now.Railed >= ClippedShare * Now.Length;
    Verdict.Railed = Now.Railed > 0;
    const double ClipSlack = Verdict.Clipped ? ClipTwistSlack : 0;
    const bool TwistHolds = Twist <= MaxLowOverHigh + WindowTwistSlack + ClipSlack &&
                            Twist >= -(MaxHighOverLow + WindowTwistSlack + ClipSlack);
    Verdict.Why = TwistHolds ? TPairReject::None : TPairReject::Twist;
    (TwistHolds ? Verdict.Symbol : Verdict.Twisted) = KeypadSymbol(Low, High);
    Verdict.Level = std::sqrt(Power[Low]) + std::sqrt(Power[High]);
    Verdict.Twist = Twist;
    // Steady power taken out of the window's may leave less than the pair's.
    Verdict.Share = std::min(1.0, PairEnergy / Now.Energy);
    Verdict.LowOffset = LowOffset / DtmfFrequencies[Low];
    Verdict.HighOffset = HighOffset / DtmfFrequencies[High];
    if (Carries(Verdict, Carried, CarriedLevel))
        return Verdict;
    Verdict.LowHeard =
        HarmonicHeard(Now, Before, Power, Low, High, Low, Verdict.LowOffset, Verdict.LowSlip);
    Verdict.HighHeard =
        HarmonicHeard(Now, Before, Power, Low, High, High, Verdict.HighOffset, Verdict.HighSlip);
    Verdict.LowRival = NextStrongest(Power, Low, 0) / Power[Low];
    Verdict.HighRival = NextStrongest(Power, High, 4) / Power[High];
    return Verdict;
}
