#include "SymbolWriter.h"

#include "Decoder.h"

#include <cstdio>
#include <utility>

TSymbolWriter::TSymbolWriter(bool Timestamps, std::string Prefix, bool Live)
    : Timestamps(Timestamps), Prefix(std::move(Prefix)), Live(Live)
{
}

void TSymbolWriter::Begin()
{
    if (!Timestamps)
        Write(Prefix.c_str());
}

void TSymbolWriter::Symbol(char Symbol, int64_t Block)
{
    if (Timestamps)
        std::printf("%s%.3f\t%c\n", Prefix.c_str(), TDecoder::BlockStart(Block), Symbol);
    else
        std::putchar(Symbol);
    if (Live)
        std::fflush(stdout);
}

void TSymbolWriter::End()
{
    if (!Timestamps)
        Write("\n");
}

void TSymbolWriter::Write(const char *Text)
{
    std::fputs(Text, stdout);
    if (Live)
        std::fflush(stdout);
}
