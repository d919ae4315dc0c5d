#include "Decimator.h"

#include "Silence.h"

#include <algorithm>
#include <cmath>
#include <vector>

TDecimator::TDecimator()
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
        Kernel[i] = static_cast<float>(h[i] / Sum);
}

void TDecimator::Reset()
{
    std::fill(History, History + Taps - 1, 0.0f);
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

// The kernel is symmetric: fold the samples around its centre, and keep four
// sums so that the additions need not wait for each other.
inline float TDecimator::Filter(const float *x) const
{
    static_assert(Taps == 21, "the folding below is written out for 21 taps");
    const float *h = Kernel;
    const float a = h[0] * (x[0] + x[20]) + h[4] * (x[4] + x[16]) + h[8] * (x[8] + x[12]);
    const float b = h[1] * (x[1] + x[19]) + h[5] * (x[5] + x[15]) + h[9] * (x[9] + x[11]);
    const float c = h[2] * (x[2] + x[18]) + h[6] * (x[6] + x[14]) + h[10] * x[10];
    const float d = h[3] * (x[3] + x[17]) + h[7] * (x[7] + x[13]);
    return (a + b) + (c + d);
}

size_t TDecimator::Process(const float *In, size_t Count, float *Out)
{
    constexpr size_t Keep = Taps - 1;
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
        Out[Written++] = Filter(Joined + Newest);
    for (; Newest < Count; Newest += Factor)
        Out[Written++] = Filter(In + Newest + 1 - Taps);
    Due = Newest - (Count - 1);
    if (Count >= Keep) {
        std::copy(In + Count - Keep, In + Count, History);
    } else {
        std::copy(Joined + Count, Joined + Count + Keep, History);
    }
    QuietHistory = AllZero(History, Keep);
    return Written;
}
