#include "FastLevels.h"

#include "Simd.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// A block is cut into segments of 32 samples, and each segment is taken about
// its centre c = 32 k + 15.5. With t = n - c and the identities
//   sin(n w) = sin(c w) cos(t w) + cos(c w) sin(t w)
//   cos(n w) = cos(c w) cos(t w) - sin(c w) sin(t w)
// a segment needs the two short sums A = sum v cos(t w) and B = sum v sin(t w)
// and one rotation by its centre angle. The samples at t and -t share
// cos(t w) and have opposite sin(t w), so A and B take 16 products each, on
// the sum and on the difference of the two samples. The tables of cos(t w),
// sin(t w) and of the centre angles take 6 KiB.
constexpr int SegmentLength = 32;
constexpr int HalfSegment = SegmentLength / 2;
constexpr int SegmentCount = BlockSamples / SegmentLength;

struct TFactoredBasis
{
    // At t = d + 0.5, d = 0..15.
    alignas(64) double OffsetCos[HalfSegment][DtmfToneCount];
    alignas(64) double OffsetSin[HalfSegment][DtmfToneCount];
    alignas(64) double CentreCos[SegmentCount][DtmfToneCount];
    alignas(64) double CentreSin[SegmentCount][DtmfToneCount];

    TFactoredBasis()
    {
        for (int i = 0; i < DtmfToneCount; ++i) {
            const long double w = ToneAngleStep(DtmfFrequencies[i], DetectorSampleRate);
            for (int d = 0; d < HalfSegment; ++d) {
                const long double Phase = (d + 0.5L) * w;
                OffsetCos[d][i] = static_cast<double>(std::cos(Phase));
                OffsetSin[d][i] = static_cast<double>(std::sin(Phase));
            }
            for (int k = 0; k < SegmentCount; ++k) {
                const long double Phase = (k * SegmentLength + (HalfSegment - 0.5L)) * w;
                CentreCos[k][i] = static_cast<double>(std::cos(Phase));
                CentreSin[k][i] = static_cast<double>(std::sin(Phase));
            }
        }
    }
};

const TFactoredBasis &FactoredBasis()
{
    static const TFactoredBasis Basis;
    return Basis;
}

template <typename TVector>
inline __attribute__((always_inline)) void Load(TVector &Vector, const double *Values)
{
    std::memcpy(&Vector, Values, sizeof Vector);
}

// The kernel, written once and compiled into each target's function with
// that target's register width. The eight tones take Parts registers; Group
// segments are summed side by side, each sum in order of d, so that
// 2 x Group x Parts accumulators hide the latency of the multiply-adds.
template <int Group, typename TVector>
inline __attribute__((always_inline)) void LevelsKernel(const int16_t *Block, TFastLevels &Out)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(double);
    constexpr int Parts = DtmfToneCount / Lanes;
    const TFactoredBasis &Basis = FactoredBasis();

    int32_t Magnitude = 0;
    for (int n = 0; n < BlockSamples; ++n)
        Magnitude += std::abs(static_cast<int32_t>(Block[n]));
    // Sums and differences of the samples at t and -t, exact in double.
    alignas(64) double Sums[SegmentCount][HalfSegment];
    alignas(64) double Differences[SegmentCount][HalfSegment];
    for (int k = 0; k < SegmentCount; ++k) {
        const int16_t *Segment = Block + k * SegmentLength;
        for (int d = 0; d < HalfSegment; ++d) {
            const int32_t Later = Segment[HalfSegment + d];
            const int32_t Earlier = Segment[HalfSegment - 1 - d];
            Sums[k][d] = Later + Earlier;
            Differences[k][d] = Later - Earlier;
        }
    }

    TVector S[Parts] = {};
    TVector C[Parts] = {};
    for (int First = 0; First < SegmentCount; First += Group) {
        TVector SumCos[Group][Parts] = {};
        TVector SumSin[Group][Parts] = {};
        for (int d = 0; d < HalfSegment; ++d) {
#pragma GCC unroll 8
            for (int p = 0; p < Parts; ++p) {
                TVector Cos, Sin;
                Load(Cos, &Basis.OffsetCos[d][p * Lanes]);
                Load(Sin, &Basis.OffsetSin[d][p * Lanes]);
#pragma GCC unroll 8
                for (int g = 0; g < Group; ++g) {
                    SumCos[g][p] += Sums[First + g][d] * Cos;
                    SumSin[g][p] += Differences[First + g][d] * Sin;
                }
            }
        }
#pragma GCC unroll 8
        for (int g = 0; g < Group; ++g) {
#pragma GCC unroll 8
            for (int p = 0; p < Parts; ++p) {
                TVector CentreCos, CentreSin;
                Load(CentreCos, &Basis.CentreCos[First + g][p * Lanes]);
                Load(CentreSin, &Basis.CentreSin[First + g][p * Lanes]);
                S[p] += CentreSin * SumCos[g][p] + CentreCos * SumSin[g][p];
                C[p] += CentreCos * SumCos[g][p] - CentreSin * SumSin[g][p];
            }
        }
    }

    // Samples are not scaled by 1/32768 on the way in; a power of two scales
    // without rounding, so it is applied together with the division by the
    // block length.
    const double Scale = 1.0 / (32768.0 * BlockSamples);
    for (int p = 0; p < Parts; ++p)
        for (int l = 0; l < Lanes; ++l)
            Out.Levels[p * Lanes + l] = (std::fabs(S[p][l]) + std::fabs(C[p][l])) * Scale;
    Out.Magnitude = Magnitude;
}

#ifdef DTMF_X86_TARGETS
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw,avx2,fma"))) void
LevelsAvx512(const int16_t *Block, TFastLevels &Out)
{
    LevelsKernel<8, TDoubles8>(Block, Out);
}

__attribute__((target("avx2,fma"))) void LevelsAvx2(const int16_t *Block, TFastLevels &Out)
{
    LevelsKernel<2, TDoubles4>(Block, Out);
}
#endif

void LevelsPortable(const int16_t *Block, TFastLevels &Out)
{
    LevelsKernel<1, TDoubles2>(Block, Out);
}

} // namespace

std::vector<TFastLevelsTarget> FastLevelsTargets()
{
    std::vector<TFastLevelsTarget> Targets;
#ifdef DTMF_X86_TARGETS
    if (CpuFeatures().Avx512)
        Targets.push_back({"avx512", LevelsAvx512});
    if (CpuFeatures().Avx2Fma)
        Targets.push_back({"avx2", LevelsAvx2});
#endif
    Targets.push_back({"portable", LevelsPortable});
    return Targets;
}

TFastLevelsKernel FastLevelsKernel()
{
    static const TFastLevelsKernel Kernel = FastLevelsTargets().front().Kernel;
    return Kernel;
}
