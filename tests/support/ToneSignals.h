// DTMF test signals: keypad symbols as pairs of sine tones, 16-bit samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Which of a symbol's two tones a signal carries.
enum class TToneGroups
{
    Both,
    LowOnly,
    HighOnly
};

// The row (low) and column (high) frequency of one of "0123456789ABCD*#".
// Returns false for any other character.
bool DtmfPair(char Symbol, double &Low, double &High);

// Appends Count samples of two sines at Rate, F1 of amplitude A1 and F2 of
// amplitude A2, both from phase 0; a frequency of 0 leaves its sine out. The
// sum is rounded to the nearest integer and clamped to 16 bits.
void AppendTonePair(std::vector<int16_t> &Samples, double F1, double A1, double F2, double A2,
                    int Count, double Rate);

// One block of 1024 samples at 48000 Hz of AppendTonePair.
std::vector<int16_t> TonePairBlock(double F1, double F2, double A1 = 8192, double A2 = 8192);

// Appends Count samples of Symbol's tones at Rate, each tone of Amplitude,
// both starting at phase 0; the sum is rounded to the nearest integer.
void AppendTone(std::vector<int16_t> &Samples, char Symbol, int Count, double Rate,
                double Amplitude = 8000, TToneGroups Groups = TToneGroups::Both);

void AppendSilence(std::vector<int16_t> &Samples, int Count);

// Each symbol for ToneSeconds followed by GapSeconds of silence.
std::vector<int16_t> DtmfSequence(const std::string &Symbols, double Rate,
                                  TToneGroups Groups = TToneGroups::Both, double ToneSeconds = 0.08,
                                  double GapSeconds = 0.06);

// Frame by frame interleaving of equally long channels.
std::vector<int16_t> Interleave(const std::vector<int16_t> &Left,
                                const std::vector<int16_t> &Right);
