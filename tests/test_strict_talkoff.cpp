// Talk-off: minutes of speech in several voices and languages, made by
// espeak-ng at test time, give the strict receiver no digit at all.
#include "strict/StrictReceiver.h"

#include <gtest/gtest.h>

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

} // namespace
