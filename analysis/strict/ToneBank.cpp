#include "ToneBank.h"

#include "Keypad.h"
#include "Simd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

using TBasisRow = float[2 * BankTones];
using TWindowParts = std::complex<double>[TToneBank::SubBlocksPerWindow][BankTones];

// The correlation of a sub-block with every basis function, written once and
// compiled for each target with that target's register width. The lanes run
// across the basis functions and each sum takes its terms in the same order
// on every target, so the results are the same.
template <typename TVector>
inline __attribute__((always_inline)) void CorrelateKernel(const float *Samples,
                                                           const TBasisRow *Basis, float *Sums)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(float);
    constexpr int Parts = 2 * BankTones / Lanes;
    // Each sum a variable of its own, so that all stay in registers.
    TVector Acc[Parts] = {};
    for (int n = 0; n < TToneBank::SubBlock; ++n) {
        // The sample in every lane (less zero, which leaves every value as it is).
        const TVector x = Samples[n] - TVector{};
#pragma GCC unroll 8
        for (int p = 0; p < Parts; ++p) {
            TVector b;
            std::memcpy(&b, Basis[n] + p * Lanes, sizeof b);
            Acc[p] += x * b;
        }
    }
#pragma GCC unroll 8
    for (int p = 0; p < Parts; ++p)
        std::memcpy(Sums + p * Lanes, &Acc[p], sizeof Acc[p]);
}

void CorrelatePortable(const float *Samples, const TBasisRow *Basis, float *Sums)
{
    CorrelateKernel<TFloats4>(Samples, Basis, Sums);
}

#ifdef DTMF_X86_TARGETS
// No fused multiply-adds: they would round differently.
__attribute__((target("avx2"))) void CorrelateAvx2(const float *Samples, const TBasisRow *Basis,
                                                   float *Sums)
{
    CorrelateKernel<TFloats8>(Samples, Basis, Sums);
}
#endif

// The window of four parts and the long window that it makes with the window
// before it, which Short holds on entry: real and imaginary parts side by
// side, as plain arrays of doubles. Each sum takes its terms in the same
// order on every target.
template <typename TVector>
inline __attribute__((always_inline)) void WindowSumsKernel(const TWindowParts &Parts,
                                                            double *Short, double *Long)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(double);
    for (int i = 0; i < 2 * BankTones; i += Lanes) {
        TVector Sum = {};
#pragma GCC unroll 4
        for (int p = 0; p < TToneBank::SubBlocksPerWindow; ++p) {
            TVector Part;
            std::memcpy(&Part, reinterpret_cast<const double *>(Parts[p]) + i, sizeof Part);
            Sum += Part;
        }
        TVector Before;
        std::memcpy(&Before, Short + i, sizeof Before);
        const TVector Both = Sum + Before;
        std::memcpy(Long + i, &Both, sizeof Both);
        std::memcpy(Short + i, &Sum, sizeof Sum);
    }
}

void WindowSumsPortable(const TWindowParts &Parts, double *Short, double *Long)
{
    WindowSumsKernel<TDoubles2>(Parts, Short, Long);
}

#ifdef DTMF_X86_TARGETS
__attribute__((target("avx2"))) void WindowSumsAvx2(const TWindowParts &Parts, double *Short,
                                                    double *Long)
{
    WindowSumsKernel<TDoubles4>(Parts, Short, Long);
}
#endif

// Each tone's sums turned by the tone's phase at this sub-block, Part[k] =
// (Re + j Im) (TurnRe + j TurnIm), a few tones at a time. Every product and
// sum is taken as the scalar expression would take it, so the results are
// the same on every target.
template <typename TVector>
inline __attribute__((always_inline)) void TurnKernel(const float *Sums, const double *TurnRe,
                                                      const double *TurnIm,
                                                      std::complex<double> *Part)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(double);
    typedef float THalf __attribute__((vector_size(Lanes * sizeof(float))));
    for (int k = 0; k < BankTones; k += Lanes) {
        THalf ReF;
        THalf ImF;
        std::memcpy(&ReF, Sums + k, sizeof ReF);
        std::memcpy(&ImF, Sums + BankTones + k, sizeof ImF);
        const TVector Re = __builtin_convertvector(ReF, TVector);
        const TVector Im = __builtin_convertvector(ImF, TVector);
        TVector c;
        TVector s;
        std::memcpy(&c, TurnRe + k, sizeof c);
        std::memcpy(&s, TurnIm + k, sizeof s);
        const TVector OutRe = Re * c - Im * s;
        const TVector OutIm = Re * s + Im * c;
        double *Out = reinterpret_cast<double *>(Part + k);
        if constexpr (Lanes == 2) {
            const TVector First = __builtin_shufflevector(OutRe, OutIm, 0, 2);
            const TVector Second = __builtin_shufflevector(OutRe, OutIm, 1, 3);
            std::memcpy(Out, &First, sizeof First);
            std::memcpy(Out + 2, &Second, sizeof Second);
        } else {
            const TVector First = __builtin_shufflevector(OutRe, OutIm, 0, 4, 1, 5);
            const TVector Second = __builtin_shufflevector(OutRe, OutIm, 2, 6, 3, 7);
            std::memcpy(Out, &First, sizeof First);
            std::memcpy(Out + 4, &Second, sizeof Second);
        }
    }
}

void TurnPortable(const float *Sums, const double *TurnRe, const double *TurnIm,
                  std::complex<double> *Part)
{
    TurnKernel<TDoubles2>(Sums, TurnRe, TurnIm, Part);
}

#ifdef DTMF_X86_TARGETS
__attribute__((target("avx2"))) void TurnAvx2(const float *Sums, const double *TurnRe,
                                              const double *TurnIm, std::complex<double> *Part)
{
    TurnKernel<TDoubles4>(Sums, TurnRe, TurnIm, Part);
}
#endif

constexpr float QuietEnergy = TToneBank::SubBlock * 1e-9f;
constexpr float RailPower = TToneBank::Rail * TToneBank::Rail;

} // namespace

int TToneBank::RailedIn(const float *Samples)
{
    int Railed = 0;
    for (int n = 0; n < SubBlock; ++n)
        Railed += Samples[n] * Samples[n] >= RailPower;
    return Railed;
}

TToneBank::TCorrelate TToneBank::ChooseCorrelate([[maybe_unused]] bool Portable)
{
#ifdef DTMF_X86_TARGETS
    if (!Portable && CpuFeatures().Avx2)
        return CorrelateAvx2;
#endif
    return CorrelatePortable;
}

TToneBank::TTurn TToneBank::ChooseTurn([[maybe_unused]] bool Portable)
{
#ifdef DTMF_X86_TARGETS
    if (!Portable && CpuFeatures().Avx2)
        return TurnAvx2;
#endif
    return TurnPortable;
}

TToneBank::TWindowSums TToneBank::ChooseWindowSums([[maybe_unused]] bool Portable)
{
#ifdef DTMF_X86_TARGETS
    if (!Portable && CpuFeatures().Avx2)
        return WindowSumsAvx2;
#endif
    return WindowSumsPortable;
}

double TToneBank::Frequency(int Tone)
{
    return Tone < DtmfToneCount ? DtmfFrequencies[Tone] : 2 * DtmfFrequencies[Tone - DtmfToneCount];
}

TToneBank::TToneBank(bool Portable)
    : Correlate(ChooseCorrelate(Portable)), TurnParts(ChooseTurn(Portable)),
      WindowSums(ChooseWindowSums(Portable))
{
    for (int n = 0; n < SubBlock; ++n)
        for (int k = 0; k < BankTones; ++k) {
            const double Angle = 2 * M_PI * Frequency(k) * n / Rate;
            Basis[n][k] = static_cast<float>(std::cos(Angle));
            Basis[n][BankTones + k] = static_cast<float>(-std::sin(Angle));
        }
}

const TToneBank::TTurns &TToneBank::Turns()
{
    static const std::unique_ptr<const TTurns> Made = [] {
        auto Each = std::make_unique<TTurns>();
        std::complex<double> Step[PhasePeriod];
        for (int i = 0; i < PhasePeriod; ++i)
            Step[i] = std::polar(1.0, -2 * M_PI * i / PhasePeriod);
        // A whole number of hertz turns a whole number of times 1/200 in a
        // sub-block.
        for (int i = 0; i < PhasePeriod; ++i)
            for (int k = 0; k < BankTones; ++k) {
                const std::complex<double> &By =
                    Step[i * static_cast<int>(Frequency(k)) % PhasePeriod];
                Each->Re[i][k] = By.real();
                Each->Im[i][k] = By.imag();
            }
        return Each;
    }();
    return *Made;
}

// Every sum a single addition, which the kernels make in the same way.
void TToneBank::Join(const TToneWindow &Window, const TToneWindow &Before, TToneWindow &Long)
{
    for (int k = 0; k < BankTones; ++k)
        Long.Tone[k] = Window.Tone[k] + Before.Tone[k];
    Long.Energy = Window.Energy + Before.Energy;
    Long.Unsteady = Window.Unsteady + Before.Unsteady;
    Long.Railed = Window.Railed + Before.Railed;
    Long.Length = TToneBank::Long;
}

void TToneBank::Reset()
{
    for (auto &Part : Parts)
        for (auto &Value : Part)
            Value = 0;
    for (double &e : PartEnergy)
        e = 0;
    for (int &r : PartRailed)
        r = 0;
    Newest = 0;
    Phase = 0;
    QuietParts = 0;
    for (TToneWindow &Each : Recent)
        Each = TToneWindow();
    for (TToneWindow &Each : Longs)
        Each = TToneWindow();
    RecentIndex = 0;
    LongIndex = 0;
    Last = BeforeLast = &Recent[0];
    LastLong = BeforeLastLong = &Longs[0];
}

const TToneWindow &TToneBank::Analyse(const float *Samples, double Extra, double Unsteady,
                                      int Railed)
{
    // Four sums side by side, so that the additions need not wait for each
    // other.
    float Quarter[4] = {};
    for (int n = 0; n < SubBlock; n += 4)
        for (int q = 0; q < 4; ++q)
            Quarter[q] += Samples[n + q] * Samples[n + q];
    const float Energy = (Quarter[0] + Quarter[1]) + (Quarter[2] + Quarter[3]);
    // A sub-block below -90 dBFS (what a resampler or a codec leaves in a
    // pause) counts as silence: no tone the judge would take is that weak.
    const bool Zero = !(Energy >= QuietEnergy);
    if (Zero)
        QuietParts = std::min(QuietParts + 1, MostQuiet);
    if (Zero && QuietParts > SubBlocksPerLong) {
        // Silence all through the long window: both stay all zero.
        Newest = (Newest + 1) % SubBlocksPerWindow;
        NextPhase();
        BeforeLast = Last;
        BeforeLastLong = LastLong;
        return *Last;
    }
    Newest = (Newest + 1) % SubBlocksPerWindow;
    std::complex<double> *Part = Parts[Newest];
    if (Zero) {
        PartEnergy[Newest] = 0;
        PartRailed[Newest] = 0;
        for (int k = 0; k < BankTones; ++k)
            Part[k] = 0.0;
    } else {
        QuietParts = 0;
        float Sums[2 * BankTones];
        Correlate(Samples, Basis, Sums);
        PartEnergy[Newest] = Energy;
        // No sample sits on the rail of a sub-block with less energy.
        PartRailed[Newest] = Railed >= 0 ? Railed : Energy >= RailPower ? RailedIn(Samples) : 0;
        // Referred to the stream's start: turned by the phase each tone has
        // gone through before this sub-block.
        TurnParts(Sums, Turn.Re[Phase], Turn.Im[Phase], Part);
    }
    NextPhase();

    // The new window takes the place of the one that ended where it starts,
    // which with it makes the long window.
    RecentIndex = (RecentIndex + 1) % RecentCount;
    TToneWindow &Current = Recent[RecentIndex];
    LongIndex ^= 1;
    TToneWindow &CurrentLong = Longs[LongIndex];
    double WindowEnergy = Extra;
    for (double e : PartEnergy)
        WindowEnergy += e;
    CurrentLong.Energy = WindowEnergy + Current.Energy;
    Current.Energy = WindowEnergy;
    CurrentLong.Unsteady = Unsteady + Current.Unsteady;
    Current.Unsteady = Unsteady;
    int WindowRailed = 0;
    for (int r : PartRailed)
        WindowRailed += r;
    CurrentLong.Railed = WindowRailed + Current.Railed;
    Current.Railed = WindowRailed;
    WindowSums(Parts, reinterpret_cast<double *>(Current.Tone),
               reinterpret_cast<double *>(CurrentLong.Tone));
    Current.Length = Window;
    CurrentLong.Length = Long;
    BeforeLast = Last;
    Last = &Current;
    BeforeLastLong = LastLong;
    LastLong = &CurrentLong;
    return Current;
}
