// Writes the symbols of one input to standard output: all on one line, or
// one line per symbol with the start time of the block that emitted it.
#pragma once

#include <cstdint>
#include <string>

class TSymbolWriter
{
  public:
    // Prefix starts every line; Live flushes every symbol as it comes.
    TSymbolWriter(bool Timestamps, std::string Prefix, bool Live);

    void Begin();
    void Symbol(char Symbol, int64_t Block);
    void End();

  private:
    void Write(const char *Text);

    bool Timestamps;
    std::string Prefix;
    bool Live;
};
