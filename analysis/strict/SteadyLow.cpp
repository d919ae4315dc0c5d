#include "SteadyLow.h"

#include <algorithm>
#include <iterator>

double TSteadyLow::Take(const float *SubBlock)
{
    static_assert(TToneBank::SubBlock % Run == 0, "runs fill a sub-block");
    double Energy = 0;
    for (int n = 0; n < TToneBank::SubBlock; n += Run) {
        float Sum = 0;
        for (int i = 0; i < Run; ++i)
            Sum += SubBlock[n + i];
        Energy += static_cast<double>(Sum) * Sum / Run;
    }
    Parts[Part] = Energy;
    Part = (Part + 1) % TToneBank::SubBlocksPerWindow;
    if (Part == 0) {
        double Window = 0;
        for (double Each : Parts)
            Window += Each;
        Recent[Newest] = Window;
        Newest = (Newest + 1) % Windows;
        const auto Range = std::minmax_element(std::begin(Recent), std::end(Recent));
        Steady = *Range.second <= MaxSpread * *Range.first ? *Range.first : 0.0;
    }
    return Steady;
}

void TSteadyLow::Reset()
{
    std::fill(std::begin(Parts), std::end(Parts), 0.0);
    std::fill(std::begin(Recent), std::end(Recent), 0.0);
    Part = 0;
    Newest = 0;
    Steady = 0;
}
