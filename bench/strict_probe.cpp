// strict_probe: runs the strict receiver over a 48 kHz mono 16-bit WAV (or raw
// signed 16-bit little-endian PCM with --raw, - for standard input) and prints
// one line per symbol: the symbol, its start and its end in seconds. With
// --reasons it prints instead how many windows each check turned down, and
// with --trace what the checks measured in every window; --long does either
// for the long windows.
#include "strict/Decimator.h"
#include "strict/PairJudge.h"
#include "strict/StrictReceiver.h"
#include "strict/ToneBank.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool ReadAll(std::FILE *File, std::vector<unsigned char> &Bytes)
{
    unsigned char Buffer[65536];
    size_t Got = 0;
    while ((Got = std::fread(Buffer, 1, sizeof Buffer, File)) > 0)
        Bytes.insert(Bytes.end(), Buffer, Buffer + Got);
    return !std::ferror(File);
}

uint32_t Little(const unsigned char *p, int Bytes)
{
    uint32_t Value = 0;
    for (int i = Bytes - 1; i >= 0; --i)
        Value = Value << 8 | p[i];
    return Value;
}

// The samples of a mono 16-bit 48000 Hz WAV; an empty result with a message
// for anything else.
bool WavSamples(const std::vector<unsigned char> &Bytes, std::vector<float> &Samples)
{
    if (Bytes.size() < 12 || std::memcmp(Bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(Bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    bool FormatOk = false;
    for (size_t At = 12; At + 8 <= Bytes.size();) {
        const unsigned char *Chunk = Bytes.data() + At;
        const size_t Size = Little(Chunk + 4, 4);
        const size_t Body = At + 8;
        if (std::memcmp(Chunk, "fmt ", 4) == 0 && Size >= 16 && Body + 16 <= Bytes.size()) {
            const unsigned Format = Little(Chunk + 8, 2);
            FormatOk = (Format == 1 || Format == 0xFFFE) && Little(Chunk + 10, 2) == 1 &&
                       Little(Chunk + 12, 4) == 48000 && Little(Chunk + 22, 2) == 16;
        } else if (std::memcmp(Chunk, "data", 4) == 0 && FormatOk) {
            const size_t End = std::min(Bytes.size(), Body + Size);
            for (size_t i = Body; i + 1 < End; i += 2)
                Samples.push_back(static_cast<int16_t>(Little(Bytes.data() + i, 2)) / 32768.0f);
            return true;
        }
        At = Body + Size + (Size & 1);
    }
    return false;
}

void PrintReasons(const std::vector<float> &Samples, bool Trace, bool Long)
{
    TDecimator Decimator;
    TToneBank Bank;
    TToneWindow Previous;
    std::vector<float> Low(Samples.size() / TDecimator::Factor + 1);
    Low.resize(Decimator.Process(Samples.data(), Samples.size(), Low.data()));
    const char *Names[] = {"pair", "share", "dominance", "harmonic", "frequency", "floor", "twist"};
    long Counts[7] = {};
    for (size_t i = 0; i + TToneBank::SubBlock <= Low.size(); i += TToneBank::SubBlock) {
        const TToneWindow &Short = Bank.Analyse(Low.data() + i);
        const TToneWindow &Now = Long ? Bank.LongWindow() : Short;
        TPairTrace T;
        const TPairVerdict Verdict = TPairJudge::Judge(
            Now, Previous, &T, Long ? TStrictReceiver::LongLimits : TPairLimits());
        Previous = Now;
        ++Counts[static_cast<int>(T.Why)];
        if (Trace)
            std::printf(
                "%.4f\t%c\t%s\t%d%d\tshare %.2f\tdom %.1f %.1f\tharm %.1f %.1f\trise %.1f %.1f\t"
                "off %+.2f %+.2f %%\tdBFS %.1f %.1f\theard %d\tharmonic off %+.2f %+.2f %%\n",
                (static_cast<double>(i) + TToneBank::SubBlock - Now.Length) / 8000.0,
                Verdict.Symbol ? Verdict.Symbol : '-', Names[static_cast<int>(T.Why)], T.Low,
                T.High, T.Share, T.LowDominance, T.HighDominance, T.LowHarmonic, T.HighHarmonic,
                T.LowHarmonicRise, T.HighHarmonicRise, 100 * T.LowOffset, 100 * T.HighOffset,
                T.LowDbfs, T.HighDbfs, Verdict.LowHeard + Verdict.HighHeard,
                100 * T.LowHarmonicOffset, 100 * T.HighHarmonicOffset);
    }
    if (Trace)
        return;
    for (int i = 0; i < 7; ++i)
        std::printf("%s\t%ld\n", Names[i], Counts[i]);
}

} // namespace

int main(int Argc, char **Argv)
{
    bool Raw = false;
    bool Reasons = false;
    bool Trace = false;
    bool Long = false;
    std::string Path;
    for (int i = 1; i < Argc; ++i) {
        const std::string Arg = Argv[i];
        if (Arg == "--raw")
            Raw = true;
        else if (Arg == "--reasons")
            Reasons = true;
        else if (Arg == "--trace")
            Trace = true;
        else if (Arg == "--long")
            Long = true;
        else
            Path = Arg;
    }
    if (Path.empty()) {
        std::fprintf(stderr, "usage: strict_probe [--raw] [--reasons|--trace] [--long] FILE|-\n");
        return 2;
    }
    std::FILE *File = Path == "-" ? stdin : std::fopen(Path.c_str(), "rb");
    std::vector<unsigned char> Bytes;
    if (File == nullptr || !ReadAll(File, Bytes)) {
        std::fprintf(stderr, "strict_probe: cannot read %s\n", Path.c_str());
        return 1;
    }
    std::vector<float> Samples;
    if (Raw) {
        for (size_t i = 0; i + 1 < Bytes.size(); i += 2)
            Samples.push_back(static_cast<int16_t>(Little(Bytes.data() + i, 2)) / 32768.0f);
    } else if (!WavSamples(Bytes, Samples)) {
        std::fprintf(stderr, "strict_probe: %s is not a mono 16-bit 48000 Hz WAV\n", Path.c_str());
        return 1;
    }
    if (Reasons || Trace) {
        PrintReasons(Samples, Trace, Long);
        return 0;
    }
    TStrictReceiver Receiver;
    std::vector<TDecodedSymbol> Symbols;
    Receiver.Receive(Samples.data(), Samples.size(), Symbols);
    Receiver.Finish(Symbols);
    for (const TDecodedSymbol &S : Symbols)
        std::printf("%c\t%.4f\t%.4f\n", S.Symbol, S.Start / 48000.0, S.End / 48000.0);
    return 0;
}
