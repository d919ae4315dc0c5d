// dtmf-decode: prints the DTMF keypad symbols found in sound files or in raw
// PCM on standard input.
#include "InputDecoding.h"
#include "SymbolWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char *Usage = "Usage: dtmf-decode [--timestamps] [--rate HZ] [--channels N] FILE...\n"
                    "Prints the DTMF keypad symbols found in each FILE: any sound file that\n"
                    "libsndfile reads, or - for raw signed 16-bit little-endian PCM on standard\n"
                    "input, which is decoded as it arrives.\n"
                    "\n"
                    "  --timestamps   one line per symbol: the start time in seconds of the block\n"
                    "                 whose analysis emitted it, a tab, the symbol\n"
                    "  --rate HZ      sample rate of standard input (default 48000)\n"
                    "  --channels N   channel count of standard input (default 1)\n"
                    "  --help         print this help\n"
                    "\n"
                    "With several inputs every line starts with the input's name and \": \".\n"
                    "Exit status: 0 when every input was decoded, 1 when one could not be read,\n"
                    "2 for wrong arguments.\n";

struct TOptions
{
    bool Timestamps = false;
    int Rate = 48000;
    int Channels = 1;
    std::vector<std::string> Inputs;
};

[[noreturn]] void WrongArguments(const std::string &Reason)
{
    std::fprintf(stderr, "dtmf-decode: %s\n%s", Reason.c_str(), Usage);
    std::exit(2);
}

int ParseCount(const std::string &Option, const std::string &Text, int Low, int High)
{
    long Value = 0;
    bool Valid = !Text.empty() && Text.size() <= 9;
    for (char C : Text) {
        Valid = Valid && C >= '0' && C <= '9';
        Value = Value * 10 + (C - '0');
    }
    if (!Valid || Value < Low || Value > High)
        WrongArguments(Option + " wants a whole number from " + std::to_string(Low) + " to " +
                       std::to_string(High) + ", not \"" + Text + "\"");
    return static_cast<int>(Value);
}

// The value of --name VALUE or --name=VALUE; Index moves past what it took.
std::string OptionValue(const std::string &Name, const std::string &Arg, int Argc, char **Argv,
                        int &Index)
{
    if (Arg.size() > Name.size())
        return Arg.substr(Name.size() + 1);
    if (Index + 1 >= Argc)
        WrongArguments(Name + " wants a value");
    return Argv[++Index];
}

bool IsOption(const std::string &Arg, const std::string &Name)
{
    return Arg == Name || Arg.rfind(Name + "=", 0) == 0;
}

TOptions ParseArguments(int Argc, char **Argv)
{
    TOptions Options;
    bool OptionsEnded = false;
    for (int i = 1; i < Argc; ++i) {
        const std::string Arg = Argv[i];
        if (OptionsEnded || Arg == "-" || Arg.empty() || Arg[0] != '-') {
            Options.Inputs.push_back(Arg);
        } else if (Arg == "--") {
            OptionsEnded = true;
        } else if (Arg == "--help") {
            std::fputs(Usage, stdout);
            std::exit(0);
        } else if (Arg == "--timestamps") {
            Options.Timestamps = true;
        } else if (IsOption(Arg, "--rate")) {
            Options.Rate = ParseCount("--rate", OptionValue("--rate", Arg, Argc, Argv, i),
                                      MinInputRate, MaxInputRate);
        } else if (IsOption(Arg, "--channels")) {
            Options.Channels = ParseCount(
                "--channels", OptionValue("--channels", Arg, Argc, Argv, i), 1, MaxInputChannels);
        } else {
            WrongArguments("unknown option " + Arg);
        }
    }
    if (Options.Inputs.empty())
        WrongArguments("no input given");
    return Options;
}

void ReportFailure(const std::string &Name, const std::string &Reason)
{
    std::fflush(stdout);
    std::fprintf(stderr, "dtmf-decode: %s: %s\n", Name.c_str(), Reason.c_str());
}

bool DecodeInput(const TOptions &Options, const std::string &Name)
{
    const bool Live = Name == "-";
    TSoundFile File;
    if (!Live && !File.OpenPath(Name)) {
        ReportFailure(Name, File.Error());
        return false;
    }
    TSymbolWriter Writer(Options.Timestamps, Options.Inputs.size() > 1 ? Name + ": " : "", Live);
    TDecoder Decoder(Live ? Options.Rate : File.Rate(), Live ? Options.Channels : File.Channels(),
                     [&Writer](char Symbol, int64_t Block) { Writer.Symbol(Symbol, Block); });
    if (!Decoder.Ok()) {
        ReportFailure(Name, "the resampler could not be set up");
        return false;
    }
    std::string Error;
    bool Decoded = true;
    Writer.Begin();
    if (Live)
        Decoded = DecodeRawStream(STDIN_FILENO, Decoder, Error);
    else
        Decoded = DecodeSoundFile(File, Decoder, Error);
    Writer.End();
    if (!Decoded)
        ReportFailure(Name, Error);
    return Decoded;
}

} // namespace

int main(int Argc, char **Argv)
{
    const TOptions Options = ParseArguments(Argc, Argv);
    bool AllDecoded = true;
    for (const std::string &Name : Options.Inputs)
        AllDecoded = DecodeInput(Options, Name) && AllDecoded;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "dtmf-decode: standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return AllDecoded ? 0 : 1;
}
