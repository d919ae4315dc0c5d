// Writes what was found in one input, in one of the output formats:
//   text   the symbols on one line, or with timestamps one line per symbol
//          with its start, a tab and the symbol; "NAME: " before every line
//          when there are several inputs;
//   tsv    one line per symbol: input, start, end, duration, symbol and,
//          for an input of several channels, the channel;
//   jsonl  one JSON object per symbol, and one with "error" for a failure.
#pragma once

#include "Options.h"
#include "OutputSink.h"
#include "Symbol.h"
#include "SymbolDetector.h"

#include <chrono>
#include <cstdint>
#include <string>

class TSymbolWriter
{
  public:
    // Prefixed: text lines start with the input's name.
    TSymbolWriter(TOutputFormat Format, TTimestamps Timestamps, const std::string &Name,
                  bool Prefixed, TOutputSink &Sink);

    // The line that heads a tsv output, "" for the other formats.
    static std::string Header(TOutputFormat Format);

    // The input is open and its audio starts now.
    void Begin();
    void Symbol(const TDecodedSymbol &Symbol);
    // The input has been read.
    void End();
    // Reports a failure, after End() if Begin() was called.
    void Failure(const std::string &Reason);
    // The record of the whole input, last: how many symbols, how many
    // seconds of audio, and whether it was decoded whole.
    void Summary(double Seconds, bool Whole);

  private:
    std::string Time(int64_t Sample) const;

    TOutputFormat Format;
    TTimestamps Timestamps;
    std::string Name;
    std::string Prefix;
    TOutputSink &Sink;
    std::chrono::system_clock::time_point Started;
    int64_t Count = 0;
};

// The handlers that give Writer its symbols: text output has no end, so the
// window detector's symbols go out at their start, the others at their end.
struct TWriterHandlers
{
    TWriterHandlers(const TOptions &Options, TSymbolWriter &Writer);

    TSymbolDetector::THandler OnEnded;
    TSymbolDetector::THandler OnStarted;
};

// Local ISO 8601 time with milliseconds and the offset from UTC.
std::string WallTime(std::chrono::system_clock::time_point Time);
