#include "SteadyLow.h"

#include <algorithm>
#include <iterator>
#include <numeric>

double TSteadyLow::Take(const float *SubBlock)
{
    static_assert(TToneBank::SubBlock % Run == 0 && Run == 8, "runs of eight fill a sub-block");
    double Energy = 0;
    double ShortEnergy = 0;
    double Total = 0;
    for (int n = 0; n < TToneBank::SubBlock; n += Run) {
        const float *x = SubBlock + n;
        // Each sum taken in order, the run of eight's on from its first half.
        const float First = ((x[0] + x[1]) + x[2]) + x[3];
        const float Second = ((x[4] + x[5]) + x[6]) + x[7];
        const float Sum = (((First + x[4]) + x[5]) + x[6]) + x[7];
        Energy += static_cast<double>(Sum) * Sum / Run;
        ShortEnergy +=
            (static_cast<double>(First) * First + static_cast<double>(Second) * Second) / (Run / 2);
        Total += Sum;
    }
    Parts[Part] = Energy;
    ShortParts[Part] = ShortEnergy;
    Sums[Part] = Total;
    Part = (Part + 1) % TToneBank::SubBlocksPerWindow;
    if (Part == 0) {
        Recent[Newest] = std::accumulate(std::begin(Parts), std::end(Parts), 0.0);
        RecentShort[Newest] = std::accumulate(std::begin(ShortParts), std::end(ShortParts), 0.0);
        const double Sum = std::accumulate(std::begin(Sums), std::end(Sums), 0.0);
        RecentDc[Newest] = Sum * Sum / TToneBank::Window;
        Newest = (Newest + 1) % Windows;
        const auto Range = std::minmax_element(std::begin(Recent), std::end(Recent));
        Steady = *Range.second <= MaxSpread * *Range.first ? *Range.first : 0.0;
        if (*Range.second <= ConstantSpread * *Range.first)
            Steady = Constant(static_cast<int>(Range.first - std::begin(Recent)));
    }
    return Steady;
}

// DC counts once; the rest is what the runs of four found, which is never
// less than what the runs of eight found.
double TSteadyLow::Constant(int Least) const
{
    const double Dc = std::min(Recent[Least], RecentDc[Least]);
    return Dc + std::min(RecentShort[Least] - Dc, MostShortGain * (Recent[Least] - Dc));
}

void TSteadyLow::Reset()
{
    std::fill(std::begin(Parts), std::end(Parts), 0.0);
    std::fill(std::begin(ShortParts), std::end(ShortParts), 0.0);
    std::fill(std::begin(Sums), std::end(Sums), 0.0);
    std::fill(std::begin(Recent), std::end(Recent), 0.0);
    std::fill(std::begin(RecentShort), std::end(RecentShort), 0.0);
    std::fill(std::begin(RecentDc), std::end(RecentDc), 0.0);
    Part = 0;
    Newest = 0;
    Steady = 0;
}
