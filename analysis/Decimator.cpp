#include "Decimator.h"

#include <algorithm>
#include <cmath>

TDecimator::TDecimator() : Work(Taps - 1 + ChunkSize, 0.0f)
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
    std::fill(Work.begin(), Work.end(), 0.0f);
    Due = Factor;
}

double TDecimator::Gain(double Frequency)
{
    const double x = M_PI * Frequency / 48000.0;
    if (std::fabs(std::sin(x)) < 1e-12)
        return 1.0;
    return std::pow(std::fabs(std::sin(Factor * x) / (Factor * std::sin(x))), 4);
}

size_t TDecimator::Process(const float *In, size_t Count, float *Out)
{
    constexpr size_t Keep = Taps - 1;
    size_t Written = 0;
    while (Count > 0) {
        const size_t Take = std::min(Count, ChunkSize);
        std::copy(In, In + Take, Work.begin() + Keep);
        const size_t Available = Keep + Take;
        size_t Newest = Keep - 1 + Due;
        for (; Newest < Available; Newest += Factor) {
            const float *x = Work.data() + Newest + 1 - Taps;
            float Sum = 0;
            for (int k = 0; k < Taps; ++k)
                Sum += Kernel[k] * x[k];
            Out[Written++] = Sum;
        }
        Due = Newest - (Available - 1);
        std::copy(Work.begin() + Take, Work.begin() + Available, Work.begin());
        In += Take;
        Count -= Take;
    }
    return Written;
}
