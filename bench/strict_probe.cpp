// strict_probe: runs the strict receiver over a 48 or 8 kHz mono 16-bit WAV
// (or raw signed 16-bit little-endian PCM at 48 kHz with --raw, - for
// standard input) and prints
// one line per symbol: the symbol, its start and its end in seconds. With
// --reasons it prints instead how many windows each check turned down, and
// with --trace what the checks measured in every window; --long does either
// for the long windows.
#include "Keypad.h"
#include "strict/Decimator.h"
#include "strict/PairJudge.h"
#include "strict/SteadyLow.h"
#include "strict/StrictReceiver.h"
#include "strict/ToneBank.h"

#include <algorithm>
#include <array>
#include <cmath>
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
bool WavSamples(const std::vector<unsigned char> &Bytes, std::vector<float> &Samples, int &Rate)
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
                       TStrictReceiver::TakesRate(static_cast<int>(Little(Chunk + 12, 4))) &&
                       Little(Chunk + 22, 2) == 16;
            Rate = static_cast<int>(Little(Chunk + 12, 4));
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

// What the checks measure in one window.
struct TTrace
{
    int Low = 0; // strongest tone of each group
    int High = 4;
    double Share = 0;        // the pair's power over the window's
    double LowDominance = 0; // dB over the group's next strongest
    double HighDominance = 0;
    double LowHarmonic = 0; // second harmonic, dB under the tone
    double HighHarmonic = 0;
    double LowHarmonicRise = 0; // second harmonic, dB over the background
    double HighHarmonicRise = 0;
    double LowHarmonicOffset = 0; // the second harmonic's offset, fraction of its frequency
    double HighHarmonicOffset = 0;
    double LowOffset = 0; // fraction of the nominal frequency
    double HighOffset = 0;
    double LowDbfs = 0;
    double HighDbfs = 0;
};

double Db(double PowerRatio)
{
    return 10 * std::log10(PowerRatio);
}

TTrace Measure(const TPairJudge &Judge, const TToneWindow &Now, const TToneWindow &Before)
{
    double Power[BankTones];
    for (int k = 0; k < BankTones; ++k)
        Power[k] = std::norm(Now.Tone[k]);
    TTrace T;
    const int Low = T.Low = TPairJudge::Strongest(Power, 0);
    const int High = T.High = TPairJudge::Strongest(Power, 4);
    const double LowHz = DtmfFrequencies[Low];
    const double HighHz = DtmfFrequencies[High];
    T.Share = 2 * (Power[Low] + Power[High]) / Now.Length / Now.Energy;
    T.LowDominance = Db(Power[Low] / TPairJudge::NextStrongest(Power, Low, 0));
    T.HighDominance = Db(Power[High] / TPairJudge::NextStrongest(Power, High, 4));
    T.LowHarmonic = Db(Power[Low] / Power[Low + DtmfToneCount]);
    T.HighHarmonic = Db(Power[High] / Power[High + DtmfToneCount]);
    const double Floor = TPairJudge::Background(Power, Low, High);
    T.LowHarmonicRise = Db(Power[Low + DtmfToneCount] / Floor);
    T.HighHarmonicRise = Db(Power[High + DtmfToneCount] / Floor);
    const double LowOffset = TPairJudge::Offset(Now, Before, Low);
    const double HighOffset = TPairJudge::Offset(Now, Before, High);
    T.LowHarmonicOffset = TPairJudge::Offset(Now, Before, Low + DtmfToneCount) / (2 * LowHz);
    T.HighHarmonicOffset = TPairJudge::Offset(Now, Before, High + DtmfToneCount) / (2 * HighHz);
    T.LowOffset = LowOffset / LowHz;
    T.HighOffset = HighOffset / HighHz;
    T.LowDbfs = 20 * std::log10(Judge.Amplitude(Now, Low, LowOffset));
    T.HighDbfs = 20 * std::log10(Judge.Amplitude(Now, High, HighOffset));
    return T;
}

void PrintReasons(const std::vector<float> &Samples, int Rate, bool Trace, bool Long)
{
    const bool Decimate = Rate != static_cast<int>(TToneBank::Rate);
    TDecimator Decimator;
    TSteadyLow SteadyLow;
    TToneBank Bank;
    TToneWindow Previous;
    std::array<double, DtmfToneCount> Gain;
    for (int k = 0; k < DtmfToneCount; ++k)
        Gain[k] = Decimate ? TDecimator::Gain(DtmfFrequencies[k]) : 1.0;
    const TPairJudge Judge(Gain, TStrictLimits());
    std::vector<float> Low(Samples);
    if (Decimate)
        Low.resize(Decimator.Process(Samples.data(), Samples.size(), Low.data()));
    const char *Names[] = {"pair", "share", "dominance", "harmonic", "frequency", "floor", "twist"};
    long Counts[7] = {};
    for (size_t i = 0; i + TToneBank::SubBlock <= Low.size(); i += TToneBank::SubBlock) {
        const TToneWindow &Short = Bank.Analyse(Low.data() + i, -SteadyLow.Take(Low.data() + i));
        const TToneWindow &Now = Long ? Bank.LongWindow() : Short;
        const TPairVerdict Verdict = Judge.Judge(
            Now, Previous, Long ? TStrictReceiver::LongLimits : TStrictReceiver::ShortLimits);
        const int Why = static_cast<int>(Verdict.Why);
        ++Counts[Why];
        if (Trace) {
            const TTrace T = Measure(Judge, Now, Previous);
            std::printf(
                "%.4f\t%c\t%s\t%d%d\tshare %.2f\tdom %.1f %.1f\tharm %.1f %.1f\trise %.1f %.1f\t"
                "off %+.2f %+.2f %%\tdBFS %.1f %.1f\theard %d\tharmonic off %+.2f %+.2f %%\n",
                (static_cast<double>(i) + TToneBank::SubBlock - Now.Length) / 8000.0,
                Verdict.Symbol ? Verdict.Symbol : '-', Names[Why], T.Low, T.High, T.Share,
                T.LowDominance, T.HighDominance, T.LowHarmonic, T.HighHarmonic, T.LowHarmonicRise,
                T.HighHarmonicRise, 100 * T.LowOffset, 100 * T.HighOffset, T.LowDbfs, T.HighDbfs,
                Verdict.LowHeard + Verdict.HighHeard, 100 * T.LowHarmonicOffset,
                100 * T.HighHarmonicOffset);
        }
        Previous = Now;
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
    int Rate = TStrictReceiver::SampleRate;
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
    } else if (!WavSamples(Bytes, Samples, Rate)) {
        std::fprintf(stderr, "strict_probe: %s is not a mono 16-bit 48000 or 8000 Hz WAV\n",
                     Path.c_str());
        return 1;
    }
    if (Reasons || Trace) {
        PrintReasons(Samples, Rate, Trace, Long);
        return 0;
    }
    TStrictReceiver Receiver(Rate);
    std::vector<TDecodedSymbol> Symbols;
    Receiver.Receive(Samples.data(), Samples.size(), Symbols);
    Receiver.Finish(Symbols);
    for (const TDecodedSymbol &S : Symbols)
        std::printf("%c\t%.4f\t%.4f\n", S.Symbol, S.Start / double(Rate), S.End / double(Rate));
    return 0;
}
