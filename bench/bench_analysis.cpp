// Time per block of the tone levels: the direct form (two extended-precision
// sines per sample and frequency), the precomputed extended-precision basis,
// the fast double-precision kernel on each target this processor runs, the
// guarded classification on several kinds of signal with the share of blocks
// it works out again exactly, and a whole ReceiveBlock.
#include "ToneSignals.h"
#include "window/DtmfSpine.h"
#include "window/LevelGuard.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using TBlock = std::vector<int16_t>;

// Enough different blocks that no branch learns them.
constexpr int BlockVariety = 64;

int16_t Clipped(double Value)
{
    return static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, Value))));
}

TBlock KeypadBlock()
{
    return TonePairBlock(852, 1336);
}

// Keypad pairs of every symbol with twist, phase offsets and a little noise.
std::vector<TBlock> KeypadTones()
{
    std::mt19937 Random(1);
    std::uniform_real_distribution<double> Unit(0, 1);
    std::normal_distribution<double> Noise(0, 100);
    std::vector<TBlock> Blocks;
    for (int b = 0; b < BlockVariety; ++b) {
        const double Low = DtmfFrequencies[b % 4];
        const double High = DtmfFrequencies[4 + (b / 4) % 4];
        const double Amplitude = 2000 + 10000 * Unit(Random);
        const double Twist = std::pow(10, (Unit(Random) * 8 - 4) / 20);
        const double Phase1 = 2 * M_PI * Unit(Random);
        const double Phase2 = 2 * M_PI * Unit(Random);
        TBlock Block(BlockSamples);
        for (int n = 0; n < BlockSamples; ++n)
            Block[n] = Clipped(Amplitude * std::sin(2 * M_PI * Low * n / 48000 + Phase1) +
                               Amplitude * Twist * std::sin(2 * M_PI * High * n / 48000 + Phase2) +
                               Noise(Random));
        Blocks.push_back(Block);
    }
    return Blocks;
}

// Samples drawn uniformly from Low..High.
std::vector<TBlock> UniformNoise(int Low, int High)
{
    std::mt19937 Random(2);
    std::uniform_int_distribution<int> Sample(Low, High);
    std::vector<TBlock> Blocks(BlockVariety, TBlock(BlockSamples));
    for (TBlock &Block : Blocks)
        for (int16_t &s : Block)
            s = static_cast<int16_t>(Sample(Random));
    return Blocks;
}

void DirectLevels(benchmark::State &State)
{
    const TBlock Block = KeypadBlock();
    for (auto _ : State)
        for (double f : DtmfFrequencies)
            benchmark::DoNotOptimize(ToneLevel(Block.data(), BlockSamples, f, 48000.0));
}
BENCHMARK(DirectLevels)->Unit(benchmark::kMicrosecond);

void PrecomputedLevels(benchmark::State &State)
{
    const TBlock Block = KeypadBlock();
    double Levels[DtmfToneCount];
    for (auto _ : State) {
        DtmfLevels(Block.data(), Levels);
        benchmark::DoNotOptimize(Levels);
    }
}
BENCHMARK(PrecomputedLevels)->Unit(benchmark::kMicrosecond);

void FastLevels(benchmark::State &State, TFastLevelsKernel Kernel)
{
    const std::vector<TBlock> Blocks = KeypadTones();
    TFastLevels Levels;
    size_t Next = 0;
    for (auto _ : State) {
        Kernel(Blocks[Next].data(), Levels);
        benchmark::DoNotOptimize(Levels);
        Next = (Next + 1) % Blocks.size();
    }
}

void GuardedClassification(benchmark::State &State, TFastLevelsKernel Kernel,
                           const std::vector<TBlock> &Blocks)
{
    int64_t FallBacks = 0;
    size_t Next = 0;
    for (auto _ : State) {
        bool FellBack = false;
        benchmark::DoNotOptimize(
            GuardedClassify(Blocks[Next].data(), Kernel, LevelTolerance, FellBack));
        FallBacks += FellBack;
        Next = (Next + 1) % Blocks.size();
    }
    State.counters["fallback_rate"] = benchmark::Counter(static_cast<double>(FallBacks) /
                                                         static_cast<double>(State.iterations()));
}

const bool Registered = [] {
    static const std::vector<std::pair<std::string, std::vector<TBlock>>> Signals = {
        {"keypad", KeypadTones()},
        {"noise", UniformNoise(-32768, 32767)},
        {"dither", UniformNoise(-1, 1)},
        {"silence", std::vector<TBlock>(BlockVariety, TBlock(BlockSamples, 0))},
    };
    for (const TFastLevelsTarget &Target : FastLevelsTargets()) {
        benchmark::RegisterBenchmark((std::string("FastLevels/") + Target.Name).c_str(), FastLevels,
                                     Target.Kernel)
            ->Unit(benchmark::kMicrosecond);
        for (const auto &Signal : Signals)
            benchmark::RegisterBenchmark(
                ("GuardedClassify/" + std::string(Target.Name) + "/" + Signal.first).c_str(),
                GuardedClassification, Target.Kernel, Signal.second)
                ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

void ReceiveBlock(benchmark::State &State)
{
    const TBlock Block = KeypadBlock();
    TStringDigitLine Line;
    TDtmfSpine Spine(Line);
    for (auto _ : State)
        benchmark::DoNotOptimize(Spine.ReceiveBlock(Block.data(), BlockBytes));
}
BENCHMARK(ReceiveBlock)->Unit(benchmark::kMicrosecond);

} // namespace
