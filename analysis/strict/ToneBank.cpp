#include "ToneBank.h"

#include "Keypad.h"
#include "Simd.h"

#include <algorithm>
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
    // Each sum a variable of its own, so that all stay in registers.
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
        StepPerPart[k] = static_cast<int>(Frequency(k)) % PhasePeriod;
}

void TToneBank::Reset()
{
    for (auto &Part : Parts)
        for (auto &Value : Part)
            Value = 0;
    for (double &e : PartEnergy)
        e = 0;
    Newest = 0;
    for (int &Step : Steps)
        Step = 0;
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

// Each tone's phase step moves on by one sub-block.
void TToneBank::NextPhase()
{
    for (int k = 0; k < BankTones; ++k) {
        Steps[k] += StepPerPart[k];
        if (Steps[k] >= PhasePeriod)
            Steps[k] -= PhasePeriod;
    }
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
        for (int k = 0; k < BankTones; ++k)
            Part[k] = 0.0;
    } else {
        QuietParts = 0;
        float Sums[2 * BankTones];
        Correlate(Samples, Basis, Sums);
        PartEnergy[Newest] = Energy;
        for (int k = 0; k < BankTones; ++k) {
            // Referred to the stream's start: turned by the phase the tone
            // has gone through before this sub-block. Written out: the
            // library's product checks for infinities first.
            const double Re = Sums[k];
            const double Im = Sums[BankTones + k];
            const std::complex<double> &By = Turn[Steps[k]];
            Part[k] = std::complex<double>(Re * By.real() - Im * By.imag(),
                                           Re * By.imag() + Im * By.real());
        }
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
    // Real and imaginary parts side by side, two values to a vector.
    using TPair = TDoubles2;
    constexpr int Values = 2 * BankTones;
    const auto *P0 = reinterpret_cast<const double *>(Parts[0]);
    const auto *P1 = reinterpret_cast<const double *>(Parts[1]);
    const auto *P2 = reinterpret_cast<const double *>(Parts[2]);
    const auto *P3 = reinterpret_cast<const double *>(Parts[3]);
    auto *Short = reinterpret_cast<double *>(Current.Tone);
    auto *LongSum = reinterpret_cast<double *>(CurrentLong.Tone);
    static_assert(SubBlocksPerWindow == 4, "a window sums four parts");
    for (int i = 0; i < Values; i += 2) {
        TPair Each[4];
        TPair Before;
        std::memcpy(&Each[0], P0 + i, sizeof(TPair));
        std::memcpy(&Each[1], P1 + i, sizeof(TPair));
        std::memcpy(&Each[2], P2 + i, sizeof(TPair));
        std::memcpy(&Each[3], P3 + i, sizeof(TPair));
        std::memcpy(&Before, Short + i, sizeof(TPair));
        const TPair Sum = (((TPair{} + Each[0]) + Each[1]) + Each[2]) + Each[3];
        const TPair Both = Sum + Before;
        std::memcpy(LongSum + i, &Both, sizeof(TPair));
        std::memcpy(Short + i, &Sum, sizeof(TPair));
    }
    Current.Length = Window;
    CurrentLong.Length = Long;
    BeforeLast = Last;
    Last = &Current;
    BeforeLastLong = LastLong;
    LastLong = &CurrentLong;
    return Current;
}
