// Block reception, sample history, symbol gate and digit line: everything
// between a filled capture buffer and the characters on the digit line.
#pragma once

#include "DigitLine.h"
#include "ToneDetector.h"

#include <cstdint>

constexpr int DigitLineLength = 48;

class TDtmfSpine;

// A detector in place of the tone detector and the gate: it gets the samples
// of every block as they are recorded and puts the symbols it decides on the
// line through AppendToLine, at least once per block so the line is cut.
class TBlockDetector
{
  public:
    virtual ~TBlockDetector() = default;
    virtual void DetectBlock(const int16_t *Samples, int32_t Count, TDtmfSpine &Spine) = 0;
};

class TDtmfSpine
{
  public:
    explicit TDtmfSpine(TDigitLine &Line);

    // Copies BytesRecorded bytes (clamped to 0..2048) of Data into
    // CurrentBlock, moves the history on, analyses PreviousBlock (or hands
    // the samples copied to the detector in use) and returns the peak
    // absolute sample value of CurrentBlock (0..32768).
    int32_t ReceiveBlock(const void *Data, int32_t BytesRecorded);

    // Detector takes the place of the tone detector and the gate; nullptr
    // brings them back. The spine does not own it.
    void UseDetector(TBlockDetector *Detector) { Replacement = Detector; }

    // Zeroes LatestBlock and PreviousBlock; CurrentBlock keeps its contents.
    void ClearHistory();

    // Detector, gate and digit-line update for one block.
    void AnalyseBlock(const int16_t *Block);

    // Appends Symbol to the line unless it is a space, then cuts the line to
    // its last DigitLineLength characters.
    void AppendToLine(char Symbol);

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
    TBlockDetector *Replacement = nullptr;
    char Emitted = ' ';
};

// The last DigitLineLength characters (UTF-8 code points) of Text, or Text
// itself when it is no longer than that.
std::string CutDigitLine(const std::string &Text);
