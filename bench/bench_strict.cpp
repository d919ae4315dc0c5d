// Speed of the strict receiver on a minute of keypad tones, silence and noise
// at 48 kHz and at the telephone's 8 kHz, shown as times real time next to
// the window detector's lines.
#include "strict/StrictReceiver.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<float> KeypadMinute(int Rate)
{
    const double Low[] = {697, 770, 852, 941};
    const double High[] = {1209, 1336, 1477, 1633};
    const size_t Tenth = static_cast<size_t>(Rate) / 10;
    std::vector<float> Samples(static_cast<size_t>(Rate) * 60);
    std::minstd_rand Random(7);
    std::normal_distribution<float> Noise(0, 0.01f);
    for (size_t n = 0; n < Samples.size(); ++n) {
        const size_t Digit = n / (2 * Tenth); // 100 ms of tone, 100 ms of silence
        const double t = static_cast<double>(n) / Rate;
        float x = Noise(Random);
        if (n % (2 * Tenth) < Tenth)
            x += static_cast<float>(0.3 * std::sin(2 * M_PI * Low[Digit % 4] * t) +
                                    0.3 * std::sin(2 * M_PI * High[Digit / 4 % 4] * t));
        Samples[n] = x;
    }
    return Samples;
}

void StrictReceiver(benchmark::State &State)
{
    const int Rate = static_cast<int>(State.range(0));
    const std::vector<float> Samples = KeypadMinute(Rate);
    const size_t Chunk = 4096;
    std::vector<TDecodedSymbol> Symbols;
    TStrictReceiver Receiver(Rate);
    for (auto _ : State) {
        Symbols.clear();
        for (size_t At = 0; At < Samples.size(); At += Chunk)
            Receiver.Receive(Samples.data() + At, std::min(Chunk, Samples.size() - At), Symbols);
        Receiver.Finish(Symbols);
        benchmark::DoNotOptimize(Symbols.data());
    }
    const double AudioSeconds = static_cast<double>(Samples.size()) / Rate;
    State.counters["x_realtime"] = benchmark::Counter(
        AudioSeconds * static_cast<double>(State.iterations()), benchmark::Counter::kIsRate);
    State.counters["symbols"] = static_cast<double>(Symbols.size());
}
BENCHMARK(StrictReceiver)->Arg(48000)->Arg(8000)->Unit(benchmark::kMillisecond);

} // namespace
