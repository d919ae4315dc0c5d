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

// The strict receiver's own rate, or the window detector's.
int RecordingRate(TDetectorKind Detector)
{
    return static_cast<int>(Detector == TDetectorKind::Strict ? TToneBank::Rate
                                                              : DetectorSampleRate);
}

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
    const int Rate = RecordingRate(Options.Detector);
    TPulseSource Source(Options.Device, Rate);
    if (!Source.Error().empty()) {
        Writer.Failure(Source.Error());
        return false;
    }
    const TWriterHandlers Handlers(Options, Writer);
    TDecoder Decoder(Rate, 1, Options.Detector, Options.Limits, Handlers.OnEnded,
                     Handlers.OnStarted, TChannelChoice{Options.Channel, Options.Mix});
    if (!Decoder.Error().empty()) {
        Writer.Failure(Decoder.Error());
        return false;
    }
    Writer.Begin();
    // 20 ms: a stop is noticed within a fragment.
    std::vector<int16_t> Samples(static_cast<size_t>(Rate / 50));
    bool Lost = false;
    while (!StopAsked && !Lost) {
        Lost = !Source.Read(Samples.data(), Samples.size());
        if (Lost)
            break;
        Decoder.FeedShorts(Samples.data(), Samples.size());
        *Counter += static_cast<int64_t>(Samples.size()) * 1000000 / Rate;
    }
    Decoder.Finish();
    Writer.End();
    if (Lost)
        Writer.Failure(Source.Error());
    return !Lost;
}
