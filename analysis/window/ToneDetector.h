// The tone detector: single-frequency correlation levels at the eight DTMF
// frequencies and the decision of which keypad symbol a block carries.
#pragma once

#include "Keypad.h"

#include <cstdint>

constexpr int BlockSamples = 1024;
constexpr int BlockBytes = BlockSamples * 2;
constexpr double DetectorSampleRate = 48000.0;
// 8 rows of 8: the row is the index of the second-strongest frequency, the
// column the index of the strongest.
extern const char SymbolTable[65];

// The angle step per sample, 2 pi Frequency / SampleRate worked out in
// extended precision and rounded to double.
double ToneAngleStep(double Frequency, double SampleRate);

// Level of Samples at Frequency: (|S| + |C|) / Count of the sine and cosine
// correlations on samples scaled to [-1, 1). Phases are worked out in extended
// precision from n for every sample; each accumulator is rounded to double
// after every addition. A Count of 0 or less gives 0.
double ToneLevel(const int16_t *Samples, int32_t Count, double Frequency, double SampleRate);

// The eight levels of one block at 48000 Hz, bit for bit equal to
// ToneLevel(Block, 1024, DtmfFrequencies[i], 48000.0) but without working out
// a single sine or cosine per block.
void DtmfLevels(const int16_t *Block, double Levels[DtmfToneCount]);

// The decision on eight levels: a symbol of SymbolTable, "." or a space.
char ClassifyLevels(const double Levels[DtmfToneCount]);

// The symbol of a block of BlockSamples samples: always ClassifyLevels of
// DtmfLevels, mostly worked out from the fast double-precision levels.
char ClassifyBlock(const int16_t *Block);
