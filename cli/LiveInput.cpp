#include "LiveInput.h"

#include "PulseSource.h"

#include <atomic>
#include <csignal>
#include <vector>

namespace {

std::atomic<bool> StopAsked{false};

void AskToStop(int)
{
    StopAsked = true;
}

// 20 ms: a stop is noticed within a fragment.
constexpr size_t ReadSamples = DetectorSampleRate / 50;

} // namespace

void CatchStopSignals()
{
    struct sigaction Action = {};
    Action.sa_handler = AskToStop;
    sigemptyset(&Action.sa_mask);
    sigaction(SIGINT, &Action, nullptr);
    sigaction(SIGTERM, &Action, nullptr);
}

bool DecodeLiveSource(const TOptions &Options, TSymbolWriter &Writer, TAudioCounter *Counter)
{
    TPulseSource Source(Options.Device);
    if (!Source.Error().empty()) {
        Writer.Failure(Source.Error());
        return false;
    }
    const TWriterHandlers Handlers(Options, Writer);
    TDecoder Decoder(DetectorSampleRate, 1, Options.Detector, Options.Limits, Handlers.OnEnded,
                     Handlers.OnStarted, TChannelChoice{Options.Channel, Options.Mix});
    if (!Decoder.Error().empty()) {
        Writer.Failure(Decoder.Error());
        return false;
    }
    Writer.Begin();
    std::vector<int16_t> Samples(ReadSamples);
    bool Lost = false;
    while (!StopAsked && !Lost) {
        Lost = !Source.Read(Samples.data(), Samples.size());
        if (Lost)
            break;
        Decoder.FeedShorts(Samples.data(), Samples.size());
        *Counter += static_cast<int64_t>(Samples.size()) * 1000000 / DetectorSampleRate;
    }
    Decoder.Finish();
    Writer.End();
    if (Lost)
        Writer.Failure(Source.Error());
    return !Lost;
}
