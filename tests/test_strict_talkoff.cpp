// Talk-off: minutes of speech in several voices and languages, made by
// espeak-ng at test time, give the strict receiver no digit at all; nor does
// a voice whose harmonics land on a pair.
#include "ToneSignals.h"
#include "strict/StrictReceiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TSpeaker
{
    const char *Voice;
    int Speed;
    int Pitch;
    const char *Text;
};

const char *English =
    "The north wind and the sun were disputing which was the stronger, when a traveller came "
    "along wrapped in a warm cloak. They agreed that the one who first succeeded in making the "
    "traveller take his cloak off should be considered stronger than the other. Then the north "
    "wind blew as hard as he could, but the more he blew the more closely did the traveller fold "
    "his cloak around him; and at last the north wind gave up the attempt. Please hold the line, "
    "your call is important to us. Press one for sales, two for support, or stay on the line.";
const char *German =
    "Einst stritten sich Nordwind und Sonne, wer von ihnen beiden wohl der Stärkere wäre, als ein "
    "Wanderer, der in einen warmen Mantel gehüllt war, des Weges daherkam. Sie wurden einig, dass "
    "derjenige für den Stärkeren gelten sollte, der den Wanderer zwingen würde, seinen Mantel "
    "abzunehmen. Der Nordwind blies mit aller Macht, aber je mehr er blies, desto fester hüllte "
    "sich der Wanderer in seinen Mantel ein.";
const char *French =
    "La bise et le soleil se disputaient, chacun assurant qu'il était le plus fort, quand ils ont "
    "vu un voyageur qui s'avançait, enveloppé dans son manteau. Ils sont tombés d'accord que "
    "celui qui arriverait le premier à le lui faire ôter serait regardé comme le plus fort. Alors "
    "la bise s'est mise à souffler de toute sa force mais plus elle soufflait, plus le voyageur "
    "serrait son manteau autour de lui.";
const char *Spanish =
    "El viento norte y el sol porfiaban sobre cuál de ellos era el más fuerte, cuando acertó a "
    "pasar un viajero envuelto en ancha capa. Convinieron en que quien antes lograra obligar al "
    "viajero a quitarse la capa sería considerado más poderoso. El viento norte sopló con gran "
    "furia, pero cuanto más soplaba, más se arrebujaba en su capa el viajero.";

const TSpeaker Speakers[] = {
    {"en+m1", 160, 50, English}, {"en-us+f2", 175, 70, English}, {"de+m3", 150, 40, German},
    {"de+f1", 165, 60, German},  {"fr+f3", 170, 75, French},     {"fr+m2", 155, 35, French},
    {"es+f4", 180, 65, Spanish}, {"es+m7", 145, 45, Spanish},
};

// The speaker's words as 48 kHz samples on the scale [-1, 1).
std::vector<float> Speak(const TSpeaker &Speaker)
{
    const std::string Command = std::string("espeak-ng -v ") + Speaker.Voice + " -s " +
                                std::to_string(Speaker.Speed) + " -p " +
                                std::to_string(Speaker.Pitch) + " --stdout \"" + Speaker.Text +
                                "\" | sox -t wav - -t raw -r 48000 -e signed -b 16 -c 1 - norm -3";
    std::vector<float> Samples;
    std::FILE *Pipe = popen(Command.c_str(), "r");
    if (Pipe == nullptr)
        return Samples;
    int16_t Buffer[4096];
    size_t Got = 0;
    while ((Got = std::fread(Buffer, sizeof Buffer[0], 4096, Pipe)) > 0)
        for (size_t i = 0; i < Got; ++i)
            Samples.push_back(Buffer[i] / 32768.0f);
    pclose(Pipe);
    return Samples;
}

TEST(StrictReceiver, NoDigitsFromSpeech)
{
    double Seconds = 0;
    for (const TSpeaker &Speaker : Speakers) {
        const std::vector<float> Samples = Speak(Speaker);
        ASSERT_GT(Samples.size(), 10u * 48000) << Speaker.Voice << ": no speech from espeak-ng";
        Seconds += Samples.size() / 48000.0;
        TStrictReceiver Receiver;
        std::vector<TDecodedSymbol> Found;
        Receiver.Receive(Samples.data(), Samples.size(), Found);
        Receiver.Finish(Found);
        for (const TDecodedSymbol &S : Found)
            ADD_FAILURE() << Speaker.Voice << ": '" << S.Symbol << "' at " << S.Start / 48000.0
                          << " s";
    }
    EXPECT_GT(Seconds, 180.0);
}

// A held vowel: harmonics First to Last of Pitch, the two On at full
// amplitude and the others AroundDb down, at -20 dBFS in all.
std::vector<float> Vowel(double Pitch, int First, int Last, int On1, int On2, double AroundDb)
{
    constexpr double Rate = 48000;
    std::vector<float> Samples(static_cast<size_t>(Rate));
    const double Around = std::pow(10.0, AroundDb / 20);
    double Sum = 0;
    for (size_t n = 0; n < Samples.size(); ++n) {
        double x = 0;
        for (int k = First; k <= Last; ++k)
            x +=
                (k == On1 || k == On2 ? 1 : Around) * std::cos(2 * M_PI * k * Pitch * n / Rate + k);
        Samples[n] = static_cast<float>(x);
        Sum += x * x;
    }
    const double Scale = 0.1 / std::sqrt(Sum / Samples.size());
    for (float &x : Samples)
        x = static_cast<float>(x * Scale);
    return Samples;
}

// Two harmonics of a steady voice that stand a few dB over the others of the
// keypad's band pass for a pair in every window; the harmonics between and
// beside them tell the voice. A digit keyed over a voice whose harmonics
// miss its tones keeps them apart.
TEST(StrictReceiver, NoDigitsFromAVoicesHarmonics)
{
    struct TRow
    {
        const char *Name;
        double Pitch;
        int On1, On2;      // the harmonics on the pair's tones
        int Beside;        // harmonics beside them that sound too
        double AroundDb;   // the others' level under theirs
        const char *Keyed; // over the voice, 10 dB over its harmonics per tone
        const char *Expected;
    } Rows[] = {
        {"941 and 1336 Hz, 7th and 10th of 134 Hz", 133.9, 7, 10, 1, -7, "", ""},
        {"770 and 1209 Hz, 7th and 11th of 110 Hz", 109.9, 7, 11, 1, -7, "", ""},
        {"852 and 1209 Hz, 7th and 10th of 121 Hz", 121.2, 7, 10, 1, -7, "", ""},
        {"697 and 1209 Hz, 4th and 7th of 173 Hz, none beside", 173.3, 4, 7, 0, -4, "", ""},
        {"a '0' over a voice at 127 Hz", 127, 7, 10, 1, -7, "0", "0"},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        std::vector<float> Samples = Vowel(Row.Pitch, Row.On1 - Row.Beside, Row.On2 + Row.Beside,
                                           Row.On1, Row.On2, Row.AroundDb);
        if (*Row.Keyed != 0) {
            TKeypadPlay Play;
            Play.ToneSeconds = 0.2;
            Play.GapSeconds = 0.4;
            Play.LowDbfs = Play.HighDbfs = -20;
            std::vector<float> Keyed(static_cast<size_t>(0.3 * 48000));
            const std::vector<float> Pair = KeypadSignal(Row.Keyed, Play);
            Keyed.insert(Keyed.end(), Pair.begin(), Pair.end());
            Mix(Samples, Keyed);
        }
        std::vector<float> Silence(48000 / 5);
        Samples.insert(Samples.begin(), Silence.begin(), Silence.end());
        Samples.insert(Samples.end(), Silence.begin(), Silence.end());
        TStrictReceiver Receiver;
        std::vector<TDecodedSymbol> Found;
        Receiver.Receive(Samples.data(), Samples.size(), Found);
        Receiver.Finish(Found);
        std::string Symbols;
        for (const TDecodedSymbol &S : Found)
            Symbols += S.Symbol;
        EXPECT_EQ(Symbols, Row.Expected);
    }
}

} // namespace
