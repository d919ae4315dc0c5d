// The eight tone levels of a block in double precision at SIMD speed. The
// correlation sums run over a factored basis that stays in the first-level
// cache; the kernel is compiled for AVX-512, for AVX2 with FMA and for any
// x86-64, and the fastest one the processor runs is chosen at run time. The
// levels differ from DtmfLevels' in the last bits; LevelGuard.h says when
// that can matter.
#pragma once

#include "ToneDetector.h"

#include <cstdint>
#include <vector>

// The levels of one block, and the sum of its absolute sample values (in
// sample units, so an integer) that bounds their error.
struct TFastLevels
{
    double Levels[DtmfToneCount];
    double Magnitude;
};

using TFastLevelsKernel = void (*)(const int16_t *Block, TFastLevels &Out);

struct TFastLevelsTarget
{
    const char *Name;
    TFastLevelsKernel Kernel;
};

// The kernels this processor runs, fastest first; the last one, "portable",
// runs on every x86-64 (and on any other processor).
std::vector<TFastLevelsTarget> FastLevelsTargets();

// The fastest of them, chosen on the first call.
TFastLevelsKernel FastLevelsKernel();
