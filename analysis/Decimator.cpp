#include "Decimator.h"

#include "Silence.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
    std::fill(History, History + PaddedTaps - 1, 0.0f);
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

namespace {

typedef float TVector4 __attribute__((vector_size(16)));
typedef float TVector8 __attribute__((vector_size(32)));

// One output: the kernel's 21 taps, after Lead zeros, against the inputs
// from Lead samples before the oldest. The products are summed lane by
// lane, then the lanes; the same on every target of a given width.
template <typename TVector>
inline __attribute__((always_inline)) float Dot(const float *Padded, const float *x)
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
    // The lanes added in halves.
    float Lane[Lanes];
    std::memcpy(Lane, &Sum, sizeof Lane);
#pragma GCC unroll 8
    for (int Width = Lanes / 2; Width >= 1; Width /= 2)
#pragma GCC unroll 8
        for (int l = 0; l < Width; ++l)
            Lane[l] += Lane[l + Width];
    return Lane[0];
}

// Made outputs, the first with its oldest sample at x (and Lead samples
// readable before it), the next Factor samples on, and so on.
template <typename TVector>
inline __attribute__((always_inline)) void RunKernel(const float *Padded, const float *x,
                                                     size_t Made, float *Out)
{
    constexpr int Lead = TDecimator::PaddedTaps - TDecimator::Taps;
    for (size_t m = 0; m < Made; ++m)
        Out[m] = Dot<TVector>(Padded, x + TDecimator::Factor * m - Lead);
}

void RunPortable(const float *Padded, const float *x, size_t Made, float *Out)
{
    RunKernel<TVector4>(Padded, x, Made, Out);
}

#if defined(__x86_64__) || defined(__i386__)
// No fused multiply-adds: they would round differently.
__attribute__((target("avx2"))) void RunAvx2(const float *Padded, const float *x, size_t Made,
                                             float *Out)
{
    RunKernel<TVector8>(Padded, x, Made, Out);
}
#endif

} // namespace

TDecimator::TRun TDecimator::ChooseRun()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
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
