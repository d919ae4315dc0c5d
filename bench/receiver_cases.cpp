// receiver_cases: writes the signals of the receiver's requirement cases as
// 48 kHz mono 16-bit WAVs for receiver-vs-peers.sh.
//
// receiver_cases list
//     one line per case: index, expected, min correct, max extra, name
// receiver_cases case N OUT.wav
//     the signal of case N
// receiver_cases noise white|pink SECONDS OUT.wav
//     noise at -20 dBFS RMS
// receiver_cases digits COUNT DBFS OUT.wav
//     COUNT random symbols, 100 ms on, 100 ms off, DBFS per tone; prints them
// receiver_cases score EXPECTED FOUND
//     the symbols of EXPECTED found in order, and the rest of FOUND
#include "ToneSignals.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

void Put(std::FILE *File, uint32_t Value, int Bytes)
{
    for (int i = 0; i < Bytes; ++i)
        std::fputc(static_cast<int>(Value >> (8 * i) & 0xFF), File);
}

bool WriteWav(const std::string &Path, const std::vector<float> &Samples)
{
    std::FILE *File = std::fopen(Path.c_str(), "wb");
    if (File == nullptr)
        return false;
    const uint32_t DataBytes = static_cast<uint32_t>(Samples.size() * 2);
    std::fputs("RIFF", File);
    Put(File, 36 + DataBytes, 4);
    std::fputs("WAVEfmt ", File);
    Put(File, 16, 4);
    Put(File, 1, 2);
    Put(File, 1, 2);
    Put(File, 48000, 4);
    Put(File, 96000, 4);
    Put(File, 2, 2);
    Put(File, 16, 2);
    std::fputs("data", File);
    Put(File, DataBytes, 4);
    for (float x : Samples) {
        const long v = std::lround(std::max(-32768.0f, std::min(32767.0f, x * 32768.0f)));
        Put(File, static_cast<uint32_t>(v) & 0xFFFF, 2);
    }
    return std::fclose(File) == 0;
}

} // namespace

int main(int Argc, char **Argv)
{
    const std::string What = Argc > 1 ? Argv[1] : "";
    const std::vector<TReceiverCase> Cases = ReceiverCases();
    if (What == "list") {
        for (size_t i = 0; i < Cases.size(); ++i)
            std::printf("%zu\t%s\t%d\t%d\t%s\n", i,
                        Cases[i].Expected.empty() ? "-" : Cases[i].Expected.c_str(),
                        Cases[i].MinCorrect, Cases[i].MaxExtra, Cases[i].Name.c_str());
        return 0;
    }
    if (What == "case" && Argc == 4) {
        const size_t Index = std::strtoul(Argv[2], nullptr, 10);
        return Index < Cases.size() && WriteWav(Argv[3], CaseSignal(Cases[Index])) ? 0 : 1;
    }
    if (What == "noise" && Argc == 5) {
        const std::string Colour = Argv[2];
        const size_t Count = static_cast<size_t>(std::atof(Argv[3]) * 48000);
        return WriteWav(Argv[4],
                        Noise(Count, Colour == "pink" ? TNoiseColour::Pink : TNoiseColour::White,
                              0.1, 2))
                   ? 0
                   : 1;
    }
    if (What == "digits" && Argc == 5) {
        const int Count = std::atoi(Argv[2]);
        std::mt19937 Random(3);
        std::string Symbols;
        for (int i = 0; i < Count; ++i)
            Symbols += "0123456789ABCD*#"[Random() % 16];
        std::printf("%s\n", Symbols.c_str());
        TKeypadPlay Play;
        Play.LowDbfs = Play.HighDbfs = std::atof(Argv[3]);
        return WriteWav(Argv[4], KeypadSignal(Symbols, Play)) ? 0 : 1;
    }
    if (What == "score" && Argc == 4) {
        const std::string Found = Argv[3];
        const int Correct = InOrder(Argv[2], Found);
        std::printf("%d %d\n", Correct, static_cast<int>(Found.size()) - Correct);
        return 0;
    }
    std::fprintf(stderr, "usage: receiver_cases list | case N OUT.wav | noise white|pink "
                         "SECONDS OUT.wav | digits COUNT DBFS OUT.wav | score EXPECTED FOUND\n");
    return 2;
}
