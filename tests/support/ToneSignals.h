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

// ---- Receiver requirement signals: float samples on the scale [-1, 1) ----

// How a keypad sequence is played: levels are each tone's peak amplitude in
// dB under full scale, Offset moves both tones by that fraction of their
// frequency, and a dropout (if DropoutSeconds > 0) silences every tone for
// that long from DropoutAt seconds into it.
struct TKeypadPlay
{
    double ToneSeconds = 0.1;
    double GapSeconds = 0.1;
    double LowDbfs = -10;
    double HighDbfs = -10;
    double Offset = 0;
    bool Apart = false;   // the high tone off the other way, by -Offset
    double HighPhase = 0; // radians the high tone starts at; the low one starts at 0
    double DropoutAt = 0;
    double DropoutSeconds = 0;
};

// Symbols played one after the other at Rate, each followed by its gap; the
// sum is clipped to [-1, 1).
std::vector<float> KeypadSignal(const std::string &Symbols, const TKeypadPlay &Play,
                                double Rate = 48000);

// The power of both tones of a symbol played at these levels.
double PairPower(const TKeypadPlay &Play);

enum class TNoiseColour
{
    White,
    Pink,
    Band300To3400
};

// Count samples of Gaussian noise of the given colour with an RMS of Rms,
// the same for the same Seed.
std::vector<float> Noise(size_t Count, TNoiseColour Colour, double Rms, unsigned Seed,
                         double Rate = 48000);

// Adds Other into Samples sample by sample (as far as both reach), clipped.
void Mix(std::vector<float> &Samples, const std::vector<float> &Other);

// One row of the receiver's requirements: what is played, what a receiver
// must give back. Noise, when SnrDb is set, is band-limited to 300-3400 Hz
// and spans the whole signal, SnrDb being the pair's power over the noise's.
struct TReceiverCase
{
    std::string Name;
    std::string Played;
    TKeypadPlay Play;
    bool Noisy = false;
    double SnrDb = 0;
    std::string Expected; // in order; other symbols are extras
    int MinCorrect = 0;   // of Expected
    int MaxExtra = 0;
};

std::vector<TReceiverCase> ReceiverCases();

// The played signal of a case, noise included.
std::vector<float> CaseSignal(const TReceiverCase &Case);

// How many of Expected appear in Found in order (longest common subsequence).
int InOrder(const std::string &Expected, const std::string &Found);
