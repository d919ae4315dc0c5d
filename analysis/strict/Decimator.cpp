#include "Decimator.h"

#include "Silence.h"
#include "Simd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

TDecimator::TDecimator() : Run(ChooseRun())
{
    // Four boxcars of length Factor convolved together.
    std::vector<double> h = {1.0};
    for (int Stage = 0; Stage < 4; ++Stage) {
        std::vector<double> Next(h.size() + Factor - 1, 0.0);
        for (size_t i = 0; i < h.size(); ++i)
            for (int j = 0; j < Factor; ++j)
                Next[i + j] += h[i];
        h = Next;
    }
    const double Sum = std::pow(Factor, 4);
    for (int i = 0; i < Taps; ++i)
        Padded[PaddedTaps - Taps + i] = static_cast<float>(h[i] / Sum);
}

void TDecimator::Reset()
{
    std::fill(std::begin(History), std::end(History), 0.0f);
    QuietHistory = true;
    Due = Factor;
}

double TDecimator::Gain(double Frequency)
{
    const double x = M_PI * Frequency / 48000.0;
    if (std::fabs(std::sin(x)) < 1e-12)
        return 1.0;
    return std::pow(std::fabs(std::sin(Factor * x) / (Factor * std::sin(x))), 4);
}

// The vector helpers are always inlined into a function of their target.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

// The kernel's 21 taps, after Lead zeros, against the inputs from Lead
// samples before an output's oldest, lane by lane.
template <typename TVector>
inline __attribute__((always_inline)) TVector Products(const float *Padded, const float *x)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(float);
    constexpr int Parts = TDecimator::PaddedTaps / Lanes;
    TVector Sum = {};
#pragma GCC unroll 8
    for (int p = 0; p < Parts; ++p) {
        TVector h;
        TVector v;
        std::memcpy(&h, Padded + p * Lanes, sizeof h);
        std::memcpy(&v, x + p * Lanes, sizeof v);
        Sum += h * v;
    }
    return Sum;
}

// One output: its lanes added neighbour to neighbour, as the block below
// adds them.
template <typename TVector>
inline __attribute__((always_inline)) float Dot(const float *Padded, const float *x)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(float);
    const TVector Sum = Products<TVector>(Padded, x);
    float Lane[Lanes];
    std::memcpy(Lane, &Sum, sizeof Lane);
#pragma GCC unroll 8
    for (int Width = Lanes / 2; Width >= 1; Width /= 2)
#pragma GCC unroll 8
        for (int l = 0; l < Width; ++l)
            Lane[l] = Lane[2 * l] + Lane[2 * l + 1];
    return Lane[0];
}

// Neighbouring lanes added: a's pairs, then b's, in each half.
inline __attribute__((always_inline)) TFloats8 Pairs(TFloats8 a, TFloats8 b)
{
    return __builtin_shufflevector(a, b, 0, 2, 8, 10, 4, 6, 12, 14) +
           __builtin_shufflevector(a, b, 1, 3, 9, 11, 5, 7, 13, 15);
}

inline __attribute__((always_inline)) TFloats4 Pairs(TFloats4 a, TFloats4 b)
{
    return __builtin_shufflevector(a, b, 0, 2, 4, 6) + __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

// As many outputs as a vector has lanes, each summed as Dot sums it.
template <typename TVector> TVector Block(const float *Padded, const float *x);

template <>
inline __attribute__((always_inline)) TFloats8 Block<TFloats8>(const float *Padded, const float *x)
{
    constexpr int Step = TDecimator::Factor;
    TFloats8 S[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j)
        S[j] = Products<TFloats8>(Padded, x + Step * j);
    const TFloats8 u0 = Pairs(Pairs(S[0], S[1]), Pairs(S[2], S[3]));
    const TFloats8 u1 = Pairs(Pairs(S[4], S[5]), Pairs(S[6], S[7]));
    return __builtin_shufflevector(u0, u1, 0, 1, 2, 3, 8, 9, 10, 11) +
           __builtin_shufflevector(u0, u1, 4, 5, 6, 7, 12, 13, 14, 15);
}

template <>
inline __attribute__((always_inline)) TFloats4 Block<TFloats4>(const float *Padded, const float *x)
{
    constexpr int Step = TDecimator::Factor;
    TFloats4 S[4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j)
        S[j] = Products<TFloats4>(Padded, x + Step * j);
    return Pairs(Pairs(S[0], S[1]), Pairs(S[2], S[3]));
}

// Made outputs, the first with its oldest sample at x (and Lead samples
// readable before it), the next Factor samples on, and so on.
template <typename TVector>
inline __attribute__((always_inline)) void RunKernel(const float *Padded, const float *x,
                                                     size_t Made, float *Out)
{
    constexpr int Lanes = sizeof(TVector) / sizeof(float);
    constexpr int Lead = TDecimator::PaddedTaps - TDecimator::Taps;
    size_t m = 0;
    for (; m + Lanes <= Made; m += Lanes) {
        const TVector y = Block<TVector>(Padded, x + TDecimator::Factor * m - Lead);
        std::memcpy(Out + m, &y, sizeof y);
    }
    for (; m < Made; ++m)
        Out[m] = Dot<TVector>(Padded, x + TDecimator::Factor * m - Lead);
}

void RunPortable(const float *Padded, const float *x, size_t Made, float *Out)
{
    RunKernel<TFloats4>(Padded, x, Made, Out);
}

#ifdef DTMF_X86_TARGETS
// No fused multiply-adds: they would round differently.
__attribute__((target("avx2"))) void RunAvx2(const float *Padded, const float *x, size_t Made,
                                             float *Out)
{
    RunKernel<TFloats8>(Padded, x, Made, Out);
}
#endif

} // namespace

TDecimator::TRun TDecimator::ChooseRun()
{
#ifdef DTMF_X86_TARGETS
    if (CpuFeatures().Avx2)
        return RunAvx2;
#endif
    return RunPortable;
}

size_t TDecimator::Process(const float *In, size_t Count, float *Out)
{
    constexpr size_t Keep = PaddedTaps - 1;
    size_t Written = 0;
    // Digital silence after silence: every output is zero.
    if (QuietHistory && AllZero(In, Count)) {
        size_t Newest = Due - 1;
        for (; Newest < Count; Newest += Factor)
            Out[Written++] = 0.0f;
        Due = Newest - (Count - 1);
        return Written;
    }
    // Outputs that reach back before In read from the kept samples and the
    // first of In put together; the rest read In where it lies.
    float Joined[2 * Keep];
    const size_t Front = std::min(Count, Keep);
    std::copy(History, History + Keep, Joined);
    std::copy(In, In + Front, Joined + Keep);
    size_t Newest = Due - 1; // index in In of the next output's newest sample
    for (; Newest < Front; Newest += Factor)
        Run(Padded, Joined + Newest + (PaddedTaps - Taps), 1, Out + Written++);
    if (Newest < Count) {
        const size_t Made = (Count - Newest + Factor - 1) / Factor;
        Run(Padded, In + Newest + 1 - Taps, Made, Out + Written);
        Written += Made;
        Newest += Factor * Made;
    }
    Due = Newest - (Count - 1);
    if (Count >= Keep) {
        std::copy(In + Count - Keep, In + Count, History);
    } else {
        std::copy(Joined + Count, Joined + Count + Keep, History);
    }
    QuietHistory = AllZero(History, Keep);
    return Written;
}
