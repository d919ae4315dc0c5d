// The symbol of a block from the fast levels, always the one that the
// extended-precision levels give. Every comparison of the classification is
// replayed on the fast levels with an error bound carried along; when one of
// them falls within the bounds, the block is worked out again exactly with
// DtmfLevels and ClassifyLevels.
#pragma once

#include "FastLevels.h"

#include <cstdint>

// Each correlation sum of a fast level lies within LevelTolerance times the
// sum of |sample / 32768| of the extended-precision one: 1024 roundings of a
// running sum no larger than that on the exact side, and some fifty of sums
// no larger than twice that on the fast side, stay below 1.3e-13 of it.
// Measured, the difference stays below 2e-15 of it.
constexpr double LevelTolerance = 1e-12;

// The bound on |fast level - exact level| for a block of the given
// Magnitude (sum of |sample|) when each sum is within Tolerance of it.
double LevelBound(double Magnitude, double Tolerance);

// ClassifyLevels replayed on Levels, each known to lie within Bound of the
// exact level, with Bound at least 1e-12 of the largest level (as LevelBound
// is) so that it also covers the rounding of the quotients ClassifyLevels
// works out. False when a comparison could go either way; otherwise Symbol is
// the character ClassifyLevels gives on the exact levels. A Bound of 0 takes
// the levels as exact.
bool ClassifyWithinBound(const double Levels[DtmfToneCount], double Bound, char &Symbol);

// The symbol of a block: from Kernel's levels, or, when FellBack is set, from
// DtmfLevels and ClassifyLevels. An all-zero block is a space at once.
char GuardedClassify(const int16_t *Block, TFastLevelsKernel Kernel, double Tolerance,
                     bool &FellBack);
