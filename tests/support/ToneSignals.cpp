#include "ToneSignals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

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

// ---- Receiver requirement signals ----

namespace {

float Clipped(double x)
{
    return static_cast<float>(std::clamp(x, -1.0, 32767.0 / 32768));
}

double Rms(const std::vector<double> &x)
{
    double Sum = 0;
    for (double v : x)
        Sum += v * v;
    return x.empty() ? 0 : std::sqrt(Sum / x.size());
}

// A windowed-sinc band pass from 300 to 3400 Hz.
std::vector<double> BandPass(const std::vector<double> &x, double Rate)
{
    const int Half = 128;
    std::vector<double> h(2 * Half + 1);
    for (int k = -Half; k <= Half; ++k) {
        auto LowPass = [&](double Cut) {
            const double w = 2 * Cut / Rate;
            return k == 0 ? w : std::sin(M_PI * w * k) / (M_PI * k);
        };
        const double Window = 0.42 + 0.5 * std::cos(M_PI * k / Half) +
                              0.08 * std::cos(2 * M_PI * k / Half); // Blackman
        h[k + Half] = (LowPass(3400) - LowPass(300)) * Window;
    }
    std::vector<double> y(x.size(), 0.0);
    for (size_t n = 0; n < x.size(); ++n) {
        double Sum = 0;
        for (int k = 0; k <= 2 * Half; ++k)
            if (n + Half >= static_cast<size_t>(k) && n + Half - k < x.size())
                Sum += h[k] * x[n + Half - k];
        y[n] = Sum;
    }
    return y;
}

// Gaussian noise through first-order low passes, one an octave, each weighted
// by one over the square root of its corner: roughly -3 dB per octave from
// 20 Hz up.
std::vector<double> Pinked(const std::vector<double> &x, double Rate)
{
    const int Sections = 12;
    double State[Sections] = {};
    double Pole[Sections];
    double Weight[Sections];
    for (int s = 0; s < Sections; ++s) {
        const double Corner = 10 * std::pow(2.0, s); // 10 Hz .. 20 kHz
        Pole[s] = std::exp(-2 * M_PI * Corner / Rate);
        Weight[s] = 1 / std::sqrt(Corner);
    }
    std::vector<double> y(x.size());
    for (size_t n = 0; n < x.size(); ++n) {
        double Sum = 0;
        for (int s = 0; s < Sections; ++s) {
            State[s] = Pole[s] * State[s] + (1 - Pole[s]) * x[n];
            Sum += State[s] * Weight[s];
        }
        y[n] = Sum;
    }
    return y;
}

} // namespace

std::vector<float> KeypadSignal(const std::string &Symbols, const TKeypadPlay &Play, double Rate)
{
    const double LowAmplitude = std::pow(10.0, Play.LowDbfs / 20);
    const double HighAmplitude = std::pow(10.0, Play.HighDbfs / 20);
    const long ToneCount = std::lround(Play.ToneSeconds * Rate);
    const long GapCount = std::lround(Play.GapSeconds * Rate);
    const long DropFrom = std::lround(Play.DropoutAt * Rate);
    const long DropTo = DropFrom + std::lround(Play.DropoutSeconds * Rate);
    std::vector<float> Samples;
    for (char Symbol : Symbols) {
        double Low = 0;
        double High = 0;
        DtmfPair(Symbol, Low, High);
        Low *= 1 + Play.Offset;
        High *= Play.Apart ? 1 - Play.Offset : 1 + Play.Offset;
        for (long n = 0; n < ToneCount; ++n) {
            const bool Dropped = n >= DropFrom && n < DropTo;
            const double t = n / Rate;
            const double x = LowAmplitude * std::sin(2 * M_PI * Low * t) +
                             HighAmplitude * std::sin(2 * M_PI * High * t + Play.HighPhase);
            Samples.push_back(Dropped ? 0.0f : Clipped(x));
        }
        Samples.insert(Samples.end(), static_cast<size_t>(GapCount), 0.0f);
    }
    return Samples;
}

double PairPower(const TKeypadPlay &Play)
{
    return (std::pow(10.0, Play.LowDbfs / 10) + std::pow(10.0, Play.HighDbfs / 10)) / 2;
}

std::vector<float> Noise(size_t Count, TNoiseColour Colour, double Rms, unsigned Seed, double Rate)
{
    std::mt19937 Random(Seed);
    std::normal_distribution<double> Gauss(0, 1);
    std::vector<double> x(Count);
    for (double &v : x)
        v = Gauss(Random);
    if (Colour == TNoiseColour::Pink)
        x = Pinked(x, Rate);
    else if (Colour == TNoiseColour::Band300To3400)
        x = BandPass(x, Rate);
    const double Scale = Rms / std::max(::Rms(x), 1e-30);
    std::vector<float> Samples(Count);
    for (size_t n = 0; n < Count; ++n)
        Samples[n] = Clipped(x[n] * Scale);
    return Samples;
}

void Mix(std::vector<float> &Samples, const std::vector<float> &Other)
{
    for (size_t n = 0; n < std::min(Samples.size(), Other.size()); ++n)
        Samples[n] = Clipped(static_cast<double>(Samples[n]) + Other[n]);
}

std::vector<TReceiverCase> ReceiverCases()
{
    const std::string All = "0123456789ABCD*#";
    const std::string Repeats = "1123455678899*##";
    auto Play = [](double ToneMs, double GapMs, double LowDbfs, double HighDbfs) {
        TKeypadPlay P;
        P.ToneSeconds = ToneMs / 1000;
        P.GapSeconds = GapMs / 1000;
        P.LowDbfs = LowDbfs;
        P.HighDbfs = HighDbfs;
        return P;
    };
    auto Offset = [&](double Fraction) {
        TKeypadPlay P = Play(100, 100, -10, -10);
        P.Offset = Fraction;
        return P;
    };
    auto Short = [&](double Fraction) {
        TKeypadPlay P = Play(40, 100, -10, -10);
        P.Offset = Fraction;
        return P;
    };
    auto Apart = [&](double Fraction) {
        TKeypadPlay P = Offset(Fraction);
        P.Apart = true;
        return P;
    };
    TKeypadPlay Dropout = Play(200, 100, -10, -10);
    Dropout.DropoutAt = 0.095;
    Dropout.DropoutSeconds = 0.010;
    std::vector<TReceiverCase> Cases = {
        {"40 ms tones", All, Play(40, 100, -10, -10), false, 0, All, 16, 0},
        {"40 ms tones, 1 % off", All, Short(0.01), false, 0, All, 16, 0},
        {"23 ms tones", All, Play(23, 100, -10, -10), false, 0, "", 0, 0},
        {"20 ms tones", All, Play(20, 100, -10, -10), false, 0, "", 0, 0},
        {"+1.5 % off", All, Offset(0.015), false, 0, All, 16, 0},
        {"-1.5 % off", All, Offset(-0.015), false, 0, All, 16, 0},
        {"low +1.5 % off, high -1.5 %", All, Apart(0.015), false, 0, All, 16, 0},
        {"low -1.5 % off, high +1.5 %", All, Apart(-0.015), false, 0, All, 16, 0},
        {"+3.5 % off", All, Offset(0.035), false, 0, "", 0, 0},
        {"-3.5 % off", All, Offset(-0.035), false, 0, "", 0, 0},
        {"low louder by 8 dB", All, Play(100, 100, -6, -14), false, 0, All, 16, 0},
        {"high louder by 4 dB", All, Play(100, 100, -12, -8), false, 0, All, 16, 0},
        {"low louder by 10 dB", All, Play(100, 100, -6, -16), false, 0, "", 0, 0},
        {"high louder by 6 dB", All, Play(100, 100, -13, -7), false, 0, "", 0, 0},
        {"-3 dBFS per tone (peaks clipped)", All, Play(100, 100, -3, -3), false, 0, All, 16, 0},
        {"-6 dBFS per tone", All, Play(100, 100, -6, -6), false, 0, All, 16, 0},
        {"-42 dBFS per tone", All, Play(100, 100, -42, -42), false, 0, All, 16, 0},
        {"-60 dBFS per tone", All, Play(100, 100, -60, -60), false, 0, "", 0, 0},
        {"3 dB SNR", All, Play(100, 100, -20, -20), true, 3, All, 16, 0},
        {"0 dB SNR", All, Play(100, 100, -20, -20), true, 0, All, 15, 1},
        {"10 ms dropout in 200 ms", All, Dropout, false, 0, All, 16, 0},
        {"40 ms tones, 40 ms pauses", Repeats, Play(40, 40, -10, -10), false, 0, Repeats, 16, 0},
    };
    return Cases;
}

std::vector<float> CaseSignal(const TReceiverCase &Case)
{
    std::vector<float> Samples = KeypadSignal(Case.Played, Case.Play);
    if (Case.Noisy) {
        const double Rms = std::sqrt(PairPower(Case.Play) / std::pow(10.0, Case.SnrDb / 10));
        Mix(Samples, Noise(Samples.size(), TNoiseColour::Band300To3400, Rms, 1));
    }
    return Samples;
}

int InOrder(const std::string &Expected, const std::string &Found)
{
    std::vector<int> Row(Found.size() + 1, 0);
    for (char e : Expected) {
        int Diagonal = 0;
        for (size_t j = 1; j <= Found.size(); ++j) {
            const int Above = Row[j];
            Row[j] = e == Found[j - 1] ? Diagonal + 1 : std::max(Row[j], Row[j - 1]);
            Diagonal = Above;
        }
    }
    return Row[Found.size()];
}
