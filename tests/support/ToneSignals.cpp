#include "ToneSignals.h"

#include <algorithm>
#include <cmath>
#include <cstring>

bool DtmfPair(char Symbol, double &Low, double &High)
{
    static const char Keypad[] = "123A456B789C*0#D";
    static const double Rows[] = {697, 770, 852, 941};
    static const double Columns[] = {1209, 1336, 1477, 1633};
    const char *Key = Symbol != 0 ? std::strchr(Keypad, Symbol) : nullptr;
    if (Key == nullptr)
        return false;
    const long Index = Key - Keypad;
    Low = Rows[Index / 4];
    High = Columns[Index % 4];
    return true;
}

void AppendTonePair(std::vector<int16_t> &Samples, double F1, double A1, double F2, double A2,
                    int Count, double Rate)
{
    const double TwoPi = 2 * M_PI;
    for (int n = 0; n < Count; ++n) {
        double Value = 0;
        if (F1 > 0)
            Value += A1 * std::sin(TwoPi * F1 * n / Rate);
        if (F2 > 0)
            Value += A2 * std::sin(TwoPi * F2 * n / Rate);
        Samples.push_back(static_cast<int16_t>(std::clamp(std::lround(Value), -32768L, 32767L)));
    }
}

std::vector<int16_t> TonePairBlock(double F1, double F2, double A1, double A2)
{
    std::vector<int16_t> Block;
    AppendTonePair(Block, F1, A1, F2, A2, 1024, 48000);
    return Block;
}

void AppendTone(std::vector<int16_t> &Samples, char Symbol, int Count, double Rate,
                double Amplitude, TToneGroups Groups)
{
    double Low = 0;
    double High = 0;
    DtmfPair(Symbol, Low, High);
    const double LowGain = Groups == TToneGroups::HighOnly ? 0 : Amplitude;
    const double HighGain = Groups == TToneGroups::LowOnly ? 0 : Amplitude;
    AppendTonePair(Samples, Low, LowGain, High, HighGain, Count, Rate);
}

void AppendSilence(std::vector<int16_t> &Samples, int Count)
{
    Samples.insert(Samples.end(), static_cast<size_t>(Count), 0);
}

std::vector<int16_t> DtmfSequence(const std::string &Symbols, double Rate, TToneGroups Groups,
                                  double ToneSeconds, double GapSeconds)
{
    std::vector<int16_t> Samples;
    for (char Symbol : Symbols) {
        AppendTone(Samples, Symbol, static_cast<int>(std::lround(ToneSeconds * Rate)), Rate, 8000,
                   Groups);
        AppendSilence(Samples, static_cast<int>(std::lround(GapSeconds * Rate)));
    }
    return Samples;
}

std::vector<int16_t> Interleave(const std::vector<int16_t> &Left, const std::vector<int16_t> &Right)
{
    std::vector<int16_t> Frames;
    for (size_t i = 0; i < std::min(Left.size(), Right.size()); ++i) {
        Frames.push_back(Left[i]);
        Frames.push_back(Right[i]);
    }
    return Frames;
}
