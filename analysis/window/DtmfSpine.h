// Block reception, sample history, symbol gate and digit line: everything
// between a filled capture buffer and the characters on the digit line.
#pragma once

#include "DigitLine.h"
#include "ToneDetector.h"

#include <cstdint>

constexpr int DigitLineLength = 48;

class TDtmfSpine
{
  public:
    explicit TDtmfSpine(TDigitLine &Line);

    // Copies BytesRecorded bytes (clamped to 0..2048) of Data into
    // CurrentBlock, moves the history on, analyses PreviousBlock and returns
    // the peak absolute sample value of CurrentBlock (0..32768).
    int32_t ReceiveBlock(const void *Data, int32_t BytesRecorded);

    // Zeroes LatestBlock and PreviousBlock; CurrentBlock keeps its contents.
    void ClearHistory();

    // Detector, gate and digit-line update for one block.
    void AnalyseBlock(const int16_t *Block);

    // Lets a symbol through on the second consecutive block that carries it;
    // returns it then, a space otherwise.
    char SymbolGate(char C);

    // What the gate let through on the most recent AnalyseBlock (a space if
    // nothing), for callers that want every symbol rather than the line.
    char EmittedSymbol() const { return Emitted; }

    int16_t CurrentBlock[BlockSamples] = {};
    int16_t LatestBlock[BlockSamples] = {};
    int16_t PreviousBlock[BlockSamples] = {};

    char LastSymbol = 0;
    int32_t HitCount = 0;
    int32_t MissCount = 0;

  private:
    TDigitLine &Line;
    char Emitted = ' ';
};

// The last DigitLineLength characters (UTF-8 code points) of Text, or Text
// itself when it is no longer than that.
std::string CutDigitLine(const std::string &Text);
