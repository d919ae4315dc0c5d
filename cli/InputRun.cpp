#include "InputRun.h"

#include "LiveInput.h"
#include "SymbolWriter.h"

#include <memory>
#include <unistd.h>

namespace {

bool DecodeStream(const TOptions &Options, const std::string &Name, TSymbolWriter &Writer,
                  TAudioCounter *Counter, bool TwoThreads)
{
    const bool Standard = Name == "-";
    TInputSettings Settings;
    Settings.Raw = Options.Raw;
    Settings.Sniff = Standard;
    Settings.Live = Standard;
    Settings.Encoding = Options.Encoding;
    Settings.Rate = Options.Rate;
    Settings.Channels = Options.Channels;
    Settings.Detector = Options.Detector;
    Settings.Limits = Options.Limits;
    Settings.Channel = TChannelChoice{Options.Channel, Options.Mix};
    Settings.TwoThreads = TwoThreads;
    const TWriterHandlers Handlers(Options, Writer);
    const auto Input = Standard ? std::make_unique<TInputDecoding>(
                                      STDIN_FILENO, Settings, Handlers.OnEnded, Handlers.OnStarted)
                                : std::make_unique<TInputDecoding>(Name, Settings, Handlers.OnEnded,
                                                                   Handlers.OnStarted);
    if (!Input->Problem().empty()) {
        const bool Hint = Options.RawFormatGiven && Input->Problem().rfind("not audio", 0) == 0;
        Writer.Failure(Input->Problem() + (Hint ? " (--raw reads it as raw samples)" : ""));
        return false;
    }
    Writer.Begin();
    const bool Whole = Input->Decode(Counter);
    Writer.End();
    if (!Whole)
        Writer.Failure(Input->Problem());
    return Whole;
}

} // namespace

bool DecodeInput(const TOptions &Options, const std::string &Name, TOutputSink &Sink,
                 TAudioCounter &Counter, bool TwoThreads)
{
    TSymbolWriter Writer(Options.Format, Options.Timestamps, Options.Shown(Name),
                         Options.Inputs.size() > 1, Sink);
    const bool Whole = Options.IsLive() ? DecodeLiveSource(Options, Writer, &Counter)
                                        : DecodeStream(Options, Name, Writer, &Counter, TwoThreads);
    if (Options.Summary)
        Writer.Summary(static_cast<double>(Counter.load()) / 1e6, Whole);
    return Whole;
}
