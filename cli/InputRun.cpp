#include "InputRun.h"

#include <memory>
#include <unistd.h>

bool DecodeInput(const TOptions &Options, const std::string &Name, TOutputSink &Sink,
                 TAudioCounter *Counter)
{
    TSymbolWriter Writer(Options.Format, Options.Timestamps, Name, Options.Inputs.size() > 1, Sink);
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
    // Text output gives no end, so the window's symbols need not wait for theirs.
    const auto Write = [&Writer](const TDecodedSymbol &Symbol) { Writer.Symbol(Symbol); };
    const bool AtOnce =
        Options.Format == TOutputFormat::Text && Options.Detector == TDetectorKind::Window;
    TSymbolDetector::THandler OnEnded = AtOnce ? nullptr : TSymbolDetector::THandler(Write);
    TSymbolDetector::THandler OnStarted = AtOnce ? TSymbolDetector::THandler(Write) : nullptr;
    const auto Input =
        Standard ? std::make_unique<TInputDecoding>(STDIN_FILENO, Settings, OnEnded, OnStarted)
                 : std::make_unique<TInputDecoding>(Name, Settings, OnEnded, OnStarted);
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
