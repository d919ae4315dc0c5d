// Speed of the strict receiver on a minute of 48 kHz keypad tones, silence
// and noise, shown as times real time next to the window detector's lines.
#include "strict/StrictReceiver.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

std::vector<float> KeypadMinute()
{
    const double Low[] = {697, 770, 852, 941};
    const double High[] = {1209, 1336, 1477, 1633};
    std::vector<float> Samples(48000 * 60);
    std::minstd_rand Random(7);
    std::normal_distribution<float> Noise(0, 0.01f);
    for (size_t n = 0; n < Samples.size(); ++n) {
        const size_t Digit = n / 9600; // 100 ms of tone, 100 ms of silence
        const double t = n / 48000.0;
        float x = Noise(Random);
        if (n % 9600 < 4800)
            x += static_cast<float>(0.3 * std::sin(2 * M_PI * Low[Digit % 4] * t) +
                                    0.3 * std::sin(2 * M_PI * High[Digit / 4 % 4] * t));
        Samples[n] = x;
    }
    return Samples;
}

void StrictReceiver(benchmark::State &State)
{
    const std::vector<float> Samples = KeypadMinute();
    const size_t Chunk = 4096;
    std::vector<TDecodedSymbol> Symbols;
    TStrictReceiver Receiver;
    for (auto _ : State) {
        Symbols.clear();
        for (size_t At = 0; At < Samples.size(); At += Chunk)
            Receiver.Receive(Samples.data() + At, std::min(Chunk, Samples.size() - At), Symbols);
        Receiver.Finish(Symbols);
        benchmark::DoNotOptimize(Symbols.data());
    }
    const double AudioSeconds = Samples.size() / 48000.0;
    State.counters["x_realtime"] = benchmark::Counter(
        AudioSeconds * static_cast<double>(State.iterations()), benchmark::Counter::kIsRate);
    State.counters["symbols"] = static_cast<double>(Symbols.size());
}
BENCHMARK(StrictReceiver)->Unit(benchmark::kMillisecond);

} // namespace
