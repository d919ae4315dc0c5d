// Time per block of the tone levels: the direct form (two extended-precision
// sines per sample and frequency) against the precomputed basis, and of a
// whole ReceiveBlock.
#include "DtmfSpine.h"
#include "ToneSignals.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

std::vector<int16_t> KeypadBlock()
{
    return TonePairBlock(852, 1336);
}

void DirectLevels(benchmark::State &State)
{
    const std::vector<int16_t> Block = KeypadBlock();
    for (auto _ : State)
        for (double f : DtmfFrequencies)
            benchmark::DoNotOptimize(ToneLevel(Block.data(), BlockSamples, f, 48000.0));
}
BENCHMARK(DirectLevels)->Unit(benchmark::kMicrosecond);

void PrecomputedLevels(benchmark::State &State)
{
    const std::vector<int16_t> Block = KeypadBlock();
    double Levels[DtmfToneCount];
    for (auto _ : State) {
        DtmfLevels(Block.data(), Levels);
        benchmark::DoNotOptimize(Levels);
    }
}
BENCHMARK(PrecomputedLevels)->Unit(benchmark::kMicrosecond);

void ReceiveBlock(benchmark::State &State)
{
    const std::vector<int16_t> Block = KeypadBlock();
    TStringDigitLine Line;
    TDtmfSpine Spine(Line);
    for (auto _ : State)
        benchmark::DoNotOptimize(Spine.ReceiveBlock(Block.data(), BlockBytes));
}
BENCHMARK(ReceiveBlock)->Unit(benchmark::kMicrosecond);

} // namespace
