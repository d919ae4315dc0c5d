#include "SymbolWriter.h"

#include "Decoder.h"
#include "JsonText.h"
#include "TextEscape.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>

namespace {

std::string Fixed(double Value)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.3f", Value);
    return Text;
}

} // namespace

std::string WallTime(std::chrono::system_clock::time_point Time)
{
    using namespace std::chrono;
    const int64_t Milliseconds = duration_cast<milliseconds>(Time.time_since_epoch()).count();
    const auto Whole = static_cast<std::time_t>(std::floor(Milliseconds / 1000.0));
    std::tm Local{};
    localtime_r(&Whole, &Local);
    char Date[40];
    std::strftime(Date, sizeof Date, "%Y-%m-%dT%H:%M:%S", &Local);
    const long Offset = Local.tm_gmtoff / 60;
    const long AbsOffset = std::labs(Offset);
    char Text[64];
    std::snprintf(Text, sizeof Text, "%s.%03d%c%02ld:%02ld", Date,
                  static_cast<int>(Milliseconds - static_cast<int64_t>(Whole) * 1000),
                  Offset < 0 ? '-' : '+', AbsOffset / 60, AbsOffset % 60);
    return Text;
}

TSymbolWriter::TSymbolWriter(TOutputFormat Format, TTimestamps Timestamps, const std::string &Name,
                             bool Prefixed, TOutputSink &Sink)
    : Format(Format), Timestamps(Timestamps), Name(Name),
      Prefix(Prefixed ? EscapedText(Name) + ": " : ""), Sink(Sink)
{
    if (Format == TOutputFormat::Jsonl)
        Prefix = "{\"input\":" + JsonQuoted(Name);
    else if (Format == TOutputFormat::Tsv)
        Prefix = EscapedText(Name) + "\t";
}

std::string TSymbolWriter::Header(TOutputFormat Format)
{
    return Format == TOutputFormat::Tsv ? "input\tstart\tend\tduration\tsymbol\tchannel\n" : "";
}

void TSymbolWriter::Begin()
{
    Started = std::chrono::system_clock::now();
    if (Format == TOutputFormat::Text && Timestamps == TTimestamps::None)
        Sink.Out(Prefix);
}

std::string TSymbolWriter::Time(int64_t Sample) const
{
    if (Timestamps != TTimestamps::Wall)
        return Fixed(SampleSeconds(Sample));
    const auto Offset = std::chrono::microseconds(Sample * 1000000 / int64_t(DetectorSampleRate));
    const std::string Text =
        WallTime(Started + std::chrono::duration_cast<std::chrono::system_clock::duration>(Offset));
    return Format == TOutputFormat::Jsonl ? "\"" + Text + "\"" : Text;
}

void TSymbolWriter::Symbol(const TDecodedSymbol &Symbol)
{
    ++Count;
    // Bare symbols need no times.
    if (Format == TOutputFormat::Text && Timestamps == TTimestamps::None) {
        Sink.Out(std::string(1, Symbol.Symbol));
        return;
    }
    const std::string Start = Time(Symbol.Start);
    const std::string Channel = Symbol.Channel > 0 ? std::to_string(Symbol.Channel) : "";
    switch (Format) {
    case TOutputFormat::Text:
        Sink.Out(Prefix + Start + "\t" + Symbol.Symbol + "\n");
        break;
    case TOutputFormat::Tsv:
        Sink.Out(Prefix + Start + "\t" + Time(Symbol.End) + "\t" +
                 Fixed(SampleSeconds(Symbol.End - Symbol.Start)) + "\t" + Symbol.Symbol +
                 (Channel.empty() ? "" : "\t" + Channel) + "\n");
        break;
    case TOutputFormat::Jsonl:
        Sink.Out(Prefix + ",\"start\":" + Start + ",\"end\":" + Time(Symbol.End) +
                 ",\"symbol\":\"" + Symbol.Symbol + "\"" +
                 (Channel.empty() ? "" : ",\"channel\":" + Channel) + "}\n");
        break;
    }
}

void TSymbolWriter::End()
{
    if (Format == TOutputFormat::Text && Timestamps == TTimestamps::None)
        Sink.Out("\n");
}

void TSymbolWriter::Failure(const std::string &Reason)
{
    Sink.Err("dtmf-decode: " + EscapedText(Name) + ": " + EscapedText(Reason) + "\n");
    if (Format == TOutputFormat::Jsonl)
        Sink.Out(
            Prefix + ",\"error\":" +
            nlohmann::json(Reason).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
            "}\n");
}

void TSymbolWriter::Summary(double Seconds, bool Whole)
{
    const std::string Status = Whole ? "ok" : "failed";
    switch (Format) {
    case TOutputFormat::Text:
        Sink.Out("# " + EscapedText(Name) + ": " + std::to_string(Count) + " symbols in " +
                 Fixed(Seconds) + " s, " + Status + "\n");
        break;
    case TOutputFormat::Tsv:
        Sink.Out("# summary\t" + EscapedText(Name) + "\t" + std::to_string(Count) + "\t" +
                 Fixed(Seconds) + "\t" + Status + "\n");
        break;
    case TOutputFormat::Jsonl:
        Sink.Out(Prefix + ",\"summary\":{\"symbols\":" + std::to_string(Count) +
                 ",\"seconds\":" + Fixed(Seconds) + ",\"status\":\"" + Status + "\"}}\n");
        break;
    }
}

TWriterHandlers::TWriterHandlers(const TOptions &Options, TSymbolWriter &Writer)
{
    const auto Write = [&Writer](const TDecodedSymbol &Symbol) { Writer.Symbol(Symbol); };
    if (Options.Format == TOutputFormat::Text && Options.Detector == TDetectorKind::Window)
        OnStarted = Write;
    else
        OnEnded = Write;
}
