#include "ToneBank.h"

#include "Keypad.h"
#include "Simd.h"

#include <cmath>
#include <cstring>

namespace {

using TBasisRow = float[2 * BankTones];

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
    TVector Acc[Parts] = {};
    for (int n = 0; n < TToneBank::SubBlock; ++n) {
        TVector x;
        for (int l = 0; l < Lanes; ++l)
            x[l] = Samples[n];
#pragma GCC unroll 8
        for (int p = 0; p < Parts; ++p) {
            TVector b;
            std::memcpy(&b, Basis[n] + p * Lanes, sizeof b);
            Acc[p] += x * b;
        }
    }
    std::memcpy(Sums, Acc, sizeof Acc);
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

constexpr float QuietEnergy = TToneBank::SubBlock * 1e-9f;

} // namespace

TToneBank::TCorrelate TToneBank::ChooseCorrelate()
{
#ifdef DTMF_X86_TARGETS
    if (CpuFeatures().Avx2)
        return CorrelateAvx2;
#endif
    return CorrelatePortable;
}

double TToneBank::Frequency(int Tone)
{
    return Tone < DtmfToneCount ? DtmfFrequencies[Tone] : 2 * DtmfFrequencies[Tone - DtmfToneCount];
}

TToneBank::TToneBank() : Correlate(ChooseCorrelate())
{
    for (int n = 0; n < SubBlock; ++n)
        for (int k = 0; k < BankTones; ++k) {
            const double Phase = 2 * M_PI * Frequency(k) * n / Rate;
            Basis[n][k] = static_cast<float>(std::cos(Phase));
            Basis[n][BankTones + k] = static_cast<float>(-std::sin(Phase));
        }
    for (int i = 0; i < PhasePeriod; ++i)
        Turn[i] = std::polar(1.0, -2 * M_PI * i / PhasePeriod);
    for (int k = 0; k < BankTones; ++k)
        WholeHertz[k] = static_cast<int>(Frequency(k));
}

void TToneBank::Reset()
{
    for (auto &Part : Parts)
        for (auto &Value : Part)
            Value = 0;
    for (double &e : PartEnergy)
        e = 0;
    Newest = 0;
    PhaseIndex = 0;
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

const TToneWindow &TToneBank::Analyse(const float *Samples, double Extra)
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
    if (Zero && ++QuietParts > SubBlocksPerLong) {
        // Silence all through the long window: both stay all zero.
        Newest = (Newest + 1) % SubBlocksPerWindow;
        PhaseIndex = (PhaseIndex + 1) % PhasePeriod;
        BeforeLast = Last;
        BeforeLastLong = LastLong;
        return *Last;
    }
    if (!Zero)
        QuietParts = 0;
    float Sums[2 * BankTones] = {};
    if (!Zero) {
        Correlate(Samples, Basis, Sums);
    }

    Newest = (Newest + 1) % SubBlocksPerWindow;
    PartEnergy[Newest] = Zero ? 0.0f : Energy;
    for (int k = 0; k < BankTones; ++k) {
        // The sub-block starts PhaseIndex sub-blocks into the phase period.
        const int Step = WholeHertz[k] * PhaseIndex % PhasePeriod;
        // Written out: the library's product checks for infinities first.
        const double Re = Sums[k];
        const double Im = Sums[BankTones + k];
        const std::complex<double> &By = Turn[Step];
        Parts[Newest][k] = Zero ? 0.0
                                : std::complex<double>(Re * By.real() - Im * By.imag(),
                                                       Re * By.imag() + Im * By.real());
    }
    PhaseIndex = (PhaseIndex + 1) % PhasePeriod;

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
    for (int k = 0; k < BankTones; ++k) {
        std::complex<double> Sum = 0;
        for (int p = 0; p < SubBlocksPerWindow; ++p)
            Sum += Parts[p][k];
        CurrentLong.Tone[k] = Sum + Current.Tone[k];
        Current.Tone[k] = Sum;
    }
    Current.Length = Window;
    CurrentLong.Length = Long;
    BeforeLast = Last;
    Last = &Current;
    BeforeLastLong = LastLong;
    LastLong = &CurrentLong;
    return Current;
}
