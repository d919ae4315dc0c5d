#include "StrictLimits.h"

#include <cmath>

namespace {

bool Within(double Value, double Low, double High)
{
    return std::isfinite(Value) && Value >= Low && Value <= High;
}

} // namespace

std::string TStrictLimits::Fault() const
{
    if (!Within(NormalTwist, 0, 20))
        return "the normal twist must lie between 0 and 20 dB";
    if (!Within(ReverseTwist, 0, 20))
        return "the reverse twist must lie between 0 and 20 dB";
    if (!Within(MinLevel, -90, 0))
        return "the level floor must lie between -90 and 0 dBFS";
    if (!Within(MinTone, 0.020, 1.0))
        return "the minimum tone must lie between 0.020 and 1 s";
    if (!Within(MinPause, 0.010, 1.0))
        return "the minimum pause must lie between 0.010 and 1 s";
    return "";
}
