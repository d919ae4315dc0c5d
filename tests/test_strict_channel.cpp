// The strict receiver on a short telephone channel corpus made at test time:
// keypad digits at 8000 Hz through GSM 06.10 (sox), a DC offset, an echo,
// hard clipping, a dial tone under them and music on hold
// (asterisk-moh-opsound-wav) under them.
#include "ToneSignals.h"
#include "strict/StrictReceiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr double Rate = 8000;

std::vector<float> ReadShorts(std::FILE *Pipe)
{
    std::vector<float> Samples;
    int16_t Buffer[4096];
    size_t Got = 0;
    while ((Got = std::fread(Buffer, sizeof Buffer[0], 4096, Pipe)) > 0)
        for (size_t i = 0; i < Got; ++i)
            Samples.push_back(Buffer[i] / 32768.0f);
    return Samples;
}

// The samples through a sox command that reads raw 16-bit 8000 Hz mono from
// the file it is given and writes the same to standard output.
std::vector<float> ThroughSox(const std::vector<float> &Samples, const std::string &Command)
{
    char Path[] = "/tmp/strict-channel-XXXXXX";
    const int Fd = mkstemp(Path);
    if (Fd < 0)
        return {};
    std::vector<int16_t> Shorts(Samples.size());
    for (size_t n = 0; n < Samples.size(); ++n)
        Shorts[n] = static_cast<int16_t>(std::lround(Samples[n] * 32767));
    const bool Written =
        write(Fd, Shorts.data(), Shorts.size() * 2) == static_cast<ssize_t>(Shorts.size() * 2);
    close(Fd);
    std::vector<float> Out;
    if (Written) {
        const std::string Raw = "-t raw -r 8000 -e signed -b 16 -c 1";
        std::FILE *Pipe = popen((Command + " " + Raw + " " + Path).c_str(), "r");
        if (Pipe != nullptr) {
            Out = ReadShorts(Pipe);
            pclose(Pipe);
        }
    }
    std::remove(Path);
    return Out;
}

std::vector<float> Gsm(const std::vector<float> &Samples)
{
    return ThroughSox(Samples, "sh -c 'sox -V1 \"$@\" -t gsm - | sox -V1 -t gsm - -t raw -e "
                               "signed -b 16 -'"
                               " sox");
}

double Power(const std::vector<float> &x)
{
    double Sum = 0;
    for (float v : x)
        Sum += static_cast<double>(v) * v;
    return x.empty() ? 0 : Sum / x.size();
}

// Ten seconds of music on hold from Start seconds on, at the given power.
std::vector<float> Music(double Power, int Start = 60)
{
    const std::string Command = "sox -V1 /usr/share/asterisk/moh/macroform-the_simplicity.wav "
                                "-t raw -r 8000 -e signed -b 16 -c 1 - trim " +
                                std::to_string(Start) + " 10";
    std::FILE *Pipe = popen(Command.c_str(), "r");
    if (Pipe == nullptr)
        return {};
    std::vector<float> Samples = ReadShorts(Pipe);
    pclose(Pipe);
    const double Scale = std::sqrt(Power / ::Power(Samples));
    for (float &v : Samples)
        v = static_cast<float>(v * Scale);
    return Samples;
}

std::vector<float> Tones(const std::vector<std::pair<double, double>> &Parts, size_t Count)
{
    std::vector<float> x(Count);
    for (size_t n = 0; n < Count; ++n) {
        double v = 0;
        for (const auto &[Hertz, Dbfs] : Parts)
            v += std::pow(10.0, Dbfs / 20) * std::sin(2 * M_PI * Hertz * n / Rate);
        x[n] = static_cast<float>(v);
    }
    return x;
}

// Digits of 80 ms with 80 ms gaps, each tone at its level.
TKeypadPlay Keyed(double LowDbfs, double HighDbfs)
{
    TKeypadPlay Play;
    Play.ToneSeconds = 0.08;
    Play.GapSeconds = 0.08;
    Play.LowDbfs = LowDbfs;
    Play.HighDbfs = HighDbfs;
    return Play;
}

// The samples with a copy of themselves Seconds later, times Gain, added.
std::function<std::vector<float>(std::vector<float>)> Echo(double Seconds, float Gain)
{
    return [Seconds, Gain](std::vector<float> x) {
        const std::vector<float> Direct = x;
        const size_t Delay = static_cast<size_t>(Seconds * Rate);
        for (size_t n = Delay; n < x.size(); ++n)
            x[n] += Gain * Direct[n - Delay];
        return x;
    };
}

// The symbols that a receiver at At Hz finds in Heard.
std::string Decoded(const std::vector<float> &Heard, int At = static_cast<int>(Rate))
{
    TStrictReceiver Receiver(At);
    std::vector<TDecodedSymbol> Found;
    Receiver.Receive(Heard.data(), Heard.size(), Found);
    Receiver.Finish(Found);
    std::string Text;
    for (const TDecodedSymbol &S : Found)
        Text += S.Symbol;
    return Text;
}

// Played, keyed as Play, through each condition of a telephone channel.
void ChannelRows(const std::string &Played, const TKeypadPlay &Play)
{
    std::vector<float> Digits(static_cast<size_t>(0.3 * Rate), 0.0f);
    const std::vector<float> Keyed = KeypadSignal(Played, Play, Rate);
    Digits.insert(Digits.end(), Keyed.begin(), Keyed.end());
    Digits.resize(Digits.size() + static_cast<size_t>(0.3 * Rate), 0.0f);
    const double PairPower = ::PairPower(Play);

    using TCondition = std::function<std::vector<float>(std::vector<float>)>;
    struct TRow
    {
        const char *Name;
        TCondition Apply;
        int MinFound;
        int MaxExtra;
    };
    const TRow Rows[] = {
        {"GSM 06.10", Gsm, 19, 0},
        {"DC offset -8000",
         [](std::vector<float> x) {
             for (float &v : x)
                 v = std::max(-1.0f, v - 8000 / 32768.0f);
             return x;
         },
         20, 0},
        {"echo 45 ms, 6 dB down", Echo(0.045, 0.5f), 20, 0},
        {"echo 20 ms, 3 dB down, which combs a tone of many pairs 5 to 9 dB down",
         Echo(0.020, 0.708f), 20, 0},
        {"echo 30 ms, 3 dB down, which combs 852 Hz 10 dB down: 7, 8, 9 and C, and 1336 Hz up",
         Echo(0.030, 0.708f), 20, 0},
        {"echo 20 ms, as loud as the tones, which combs 1477 Hz out: 3, 6, 9 and #",
         Echo(0.020, 1.0f), 20, 0},
        {"a line that lifts the high group, then hard clipping 20 dB over full scale",
         [](std::vector<float> x) {
             for (size_t n = x.size() - 1; n > 0; --n)
                 x[n] -= 0.2f * x[n - 1];
             float Peak = 0;
             for (float v : x)
                 Peak = std::max(Peak, std::fabs(v));
             for (float &v : x)
                 v = std::clamp(v * 10.0f / Peak, -1.0f, 32767 / 32768.0f);
             return x;
         },
         20, 0},
        {"dial tone 350 + 440 Hz under the digits",
         [](std::vector<float> x) {
             Mix(x, Tones({{350, -16}, {440, -16}}, x.size()));
             return x;
         },
         20, 0},
        {"music on hold 6 dB under the pair",
         [PairPower](std::vector<float> x) {
             Mix(x, Music(PairPower / 4));
             return x;
         },
         19, 1},
        {"music on hold 6 dB over the pair",
         [PairPower](std::vector<float> x) {
             Mix(x, Music(PairPower * 4));
             return x;
         },
         18, 0},
        {"music on hold 6 dB over the pair, a minute later: pairs that only spans of 60 ms "
         "tell, and a key pressed again while the music fills the gap",
         [PairPower](std::vector<float> x) {
             Mix(x, Music(PairPower * 4, 120));
             return x;
         },
         16, 0},
        {"music on hold at the pair's power",
         [PairPower](std::vector<float> x) {
             Mix(x, Music(PairPower));
             return x;
         },
         19, 0},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        const std::vector<float> Heard = Row.Apply(Digits);
        ASSERT_GE(Heard.size(), Digits.size() * 9 / 10) << "the channel gave too little back";
        const std::string Text = Decoded(Heard);
        const int Correct = InOrder(Played, Text);
        EXPECT_GE(Correct, Row.MinFound) << Text;
        EXPECT_LE(static_cast<int>(Text.size()) - Correct, Row.MaxExtra) << Text;
    }
}

TEST(StrictReceiver, ChannelConditions)
{
    // Every symbol, and an equal pair after an ordinary gap; the high tone
    // 2 dB over the low one, then as loud.
    const std::string Played = "0123456789ABCD*#1155";
    for (const double HighDbfs : {-12.0, -14.0}) {
        SCOPED_TRACE(HighDbfs);
        ChannelRows(Played, Keyed(-14, HighDbfs));
    }
}

// A call-progress tone that goes on under digits 12 dB and more weaker than
// it: what the receiver leaves of its power counts against their share, two
// tones beat, and a tone inside the band leaks into the keypad's bins.
// Every symbol.
TEST(StrictReceiver, CallProgressOverWeakDigits)
{
    struct TRow
    {
        const char *Name;
        std::vector<std::pair<double, double>> Tones;
        float Offset;
        double PairDbfs; // each of the pair's tones
    };
    const TRow Rows[] = {
        {"dial tone 350 + 440 Hz, each tone 12 dB over each of the pair's",
         {{350, -16}, {440, -16}},
         0,
         -28},
        {"the same, 18 dB over them: the two tones beat", {{350, -16}, {440, -16}}, 0, -34},
        {"busy tone 480 + 620 Hz, 16 dB over each of the pair's tones",
         {{480, -16}, {620, -16}},
         0,
         -32},
        {"European dial tone 425 Hz, 17 dB over each of the pair's tones", {{425, -13}}, 0, -30},
        {"1004 Hz test tone, 16 dB over them", {{1004, -16}}, 0, -32},
        {"the same 14 dB over them, on a DC offset of -8000", {{425, -16}}, -8000 / 32768.0f, -30},
    };
    const std::string Played = "0123456789ABCD*#1155";
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        std::vector<float> Heard(static_cast<size_t>(0.3 * Rate), 0.0f);
        const std::vector<float> Keyed =
            KeypadSignal(Played, ::Keyed(Row.PairDbfs, Row.PairDbfs), Rate);
        Heard.insert(Heard.end(), Keyed.begin(), Keyed.end());
        Heard.resize(Heard.size() + static_cast<size_t>(0.3 * Rate), 0.0f);
        Mix(Heard, Tones(Row.Tones, Heard.size()));
        for (float &v : Heard)
            v += Row.Offset;
        EXPECT_EQ(Decoded(Heard), Played);
    }
}

// An echo that fills part of the gap between two presses of one key, the
// second quieter, leaves a pause before it that separates them, and the
// second rises out of one that fills all of the gap; an echo that
// comes after a pause of its own, or whose tail the windows lose for a moment
// where it joins the tone, is no digit.
TEST(StrictReceiver, KeyPressedAgainAfterAnEcho)
{
    struct TRow
    {
        const char *Name;
        double ToneSeconds;
        double GapSeconds;
        double EchoSeconds;
        float EchoGain;
        const char *Pressed; // each press, by how many dB it is under -12 dBFS
        const char *Given;
    };
    const TRow Rows[] = {
        {"echo 45 ms, 6 dB down, a pause of 50 ms, then 7 dB quieter", 0.07, 0.095, 0.045, 0.5f,
         "07", "55"},
        {"echo 45 ms, 6 dB down, a pause of 25 ms, then 6 dB quieter", 0.07, 0.07, 0.045, 0.5f,
         "06", "55"},
        {"echo 80 ms, 12 dB down, all through a gap of 70 ms, then 6 dB quieter", 0.08, 0.07, 0.08,
         0.25f, "06", "55"},
        {"a 40 ms tone, its echo 80 ms later, 6 dB down", 0.04, 0.3, 0.08, 0.5f, "0", "5"},
        {"a 94 ms tone, its echo 60 ms later, 10 dB down", 0.094, 0.3, 0.06, 0.316f, "0", "5"},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TKeypadPlay Play = Keyed(-12, -11);
        Play.ToneSeconds = Row.ToneSeconds;
        Play.GapSeconds = Row.GapSeconds;
        std::vector<float> Heard(static_cast<size_t>(0.3 * Rate), 0.0f);
        for (const char *Db = Row.Pressed; *Db != 0; ++Db) {
            TKeypadPlay Press = Play;
            Press.LowDbfs -= *Db - '0';
            Press.HighDbfs -= *Db - '0';
            const std::vector<float> Samples = KeypadSignal("5", Press, Rate);
            Heard.insert(Heard.end(), Samples.begin(), Samples.end());
        }
        Heard.resize(Heard.size() + static_cast<size_t>(0.3 * Rate), 0.0f);
        EXPECT_EQ(Decoded(Echo(Row.EchoSeconds, Row.EchoGain)(Heard)), Row.Given);
    }
}

// Hard clipping adds odd products of a pair, two of which sit either side of
// the high tone's harmonic and read there as a harmonic locked to the tone,
// and it crushes the weaker tone, so that the twist widens, either way; at
// 48000 Hz the decimator's filter rounds off the rail. Every symbol, clipped.
TEST(StrictReceiver, ClippedPairs)
{
    struct TClip
    {
        int At;
        double HighDbfs; // the low tone at -14
        float OverDb;    // the pair's peak over full scale
    };
    const std::string Played = "0123456789ABCD*#";
    for (const TClip &Clip : {TClip{8000, -14, 20}, TClip{48000, -14, 20}, TClip{8000, -10, 6},
                              TClip{48000, -10, 6}, TClip{8000, -20, 14}, TClip{48000, -20, 14}}) {
        SCOPED_TRACE(std::to_string(Clip.At) + " Hz, high tone at " +
                     std::to_string(Clip.HighDbfs) + ", " + std::to_string(Clip.OverDb) +
                     " dB over");
        std::vector<float> Heard = KeypadSignal(Played, Keyed(-14, Clip.HighDbfs), Clip.At);
        const double Peak = std::pow(10.0, -14.0 / 20) + std::pow(10.0, Clip.HighDbfs / 20);
        const float Gain = static_cast<float>(std::pow(10.0, Clip.OverDb / 20) / Peak);
        for (float &v : Heard)
            v = std::clamp(v * Gain, -1.0f, 32767 / 32768.0f);
        EXPECT_EQ(Decoded(Heard, Clip.At), Played);
    }
}

} // namespace
