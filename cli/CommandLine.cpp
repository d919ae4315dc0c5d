#include "CommandLine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#ifndef DTMF_VERSION
#define DTMF_VERSION "unknown"
#endif

namespace {

const char *Help =
    "Usage: dtmf-decode [OPTION]... FILE...\n"
    "Print the DTMF keypad symbols (0-9, A-D, * and #) found in each FILE: any\n"
    "sound file that libsndfile reads, or raw PCM. With FILE -, read standard\n"
    "input: a WAV, RF64, AIFF, FLAC or Ogg stream is told by its first bytes,\n"
    "anything else is raw PCM, and either is decoded as it arrives.\n"
    "\n"
    "Options:\n"
    "  -d, --detector=KIND     strict (default): wants a clean tone pair for about\n"
    "                          40 ms, rejects speech and music; window: the\n"
    "                          detector of the window program, block by block\n"
    "  -f, --format=FORMAT     text (default): the symbols of each input on one\n"
    "                          line; tsv: a header line, then one line per symbol\n"
    "                          with the input, start, end, duration and symbol;\n"
    "                          jsonl: one JSON object per symbol, {\"input\", \"start\",\n"
    "                          \"end\", \"symbol\"}, and one with \"error\" for an input\n"
    "                          that fails\n"
    "  -t, --timestamps[=KIND]\n"
    "                          offset (default): seconds from the start of the\n"
    "                          input; wall: the local ISO 8601 time, counted from\n"
    "                          when the input was opened (standard input: when\n"
    "                          its first bytes came); in text, one line per\n"
    "                          symbol with its start, a tab and the symbol\n"
    "  -R, --raw               read named files as raw PCM too\n"
    "  -e, --encoding=ENC      raw samples: s16le (default), u8, f32le, mulaw, alaw\n"
    "  -r, --rate=HZ           raw sample rate (default 48000)\n"
    "  -c, --channels=N        raw channel count (default 1)\n"
    "  -j, --jobs=N            decode N inputs at a time; 0 means one per core,\n"
    "                          the default with several inputs\n"
    "  -h, --help              print this help and exit\n"
    "  -V, --version           print the version and exit\n"
    "\n"
    "Limits of the strict receiver:\n"
    "      --normal-twist=DB   how far the low tone may stand over the high one\n"
    "                          (default 9 dB)\n"
    "      --reverse-twist=DB  how far the high tone may stand over the low one\n"
    "                          (default 5 dB)\n"
    "      --min-level=DBFS    the weakest tone taken, dB of its amplitude under\n"
    "                          full scale (default -51)\n"
    "      --min-tone=SECONDS  tones shorter than about this make no digit\n"
    "                          (default 0.030: 40 ms is a digit, 23 ms is not)\n"
    "      --min-pause=SECONDS a shorter gap does not end a digit (default\n"
    "                          0.025: a 10 ms dropout is bridged, a 40 ms pause\n"
    "                          is not)\n"
    "\n"
    "A symbol starts where its tone starts; with the window detector, at the\n"
    "block that let it through, and it ends with the last block that carried it.\n"
    "Offsets are in seconds with three decimals. In text output with several\n"
    "inputs, every line starts with the input's name and \": \". Lines of tsv\n"
    "and jsonl are written as each symbol is decided; the output of several\n"
    "inputs comes in their order, whatever --jobs. In tsv, a tab, line end or\n"
    "backslash in a name is written \\t, \\n or \\\\; in jsonl, a byte of a name\n"
    "that is not UTF-8 is written \\udcXX, which Python's surrogateescape reads\n"
    "back. A progress line is shown on standard error when it is a terminal and\n"
    "a batch takes more than a second.\n"
    "\n"
    "Exit status: 0 when every input was decoded whole, 1 when one could not be\n"
    "read or was cut short (its symbols are printed all the same), 2 for wrong\n"
    "arguments.\n";

[[noreturn]] void WrongArguments(const std::string &Reason)
{
    std::fprintf(stderr, "dtmf-decode: %s; try 'dtmf-decode --help'\n", Reason.c_str());
    std::exit(2);
}

double ParseNumber(const char *Option, const std::string &Text)
{
    char *End = nullptr;
    const double Value = Text.empty() ? 0 : std::strtod(Text.c_str(), &End);
    if (Text.empty() || End != Text.c_str() + Text.size() || !std::isfinite(Value))
        WrongArguments(std::string(Option) + " wants a number, not '" + Text + "'");
    return Value;
}

int ParseCount(const char *Option, const std::string &Text, int Low, int High)
{
    long Value = 0;
    bool Valid = !Text.empty() && Text.size() <= 9;
    for (char C : Text) {
        Valid = Valid && C >= '0' && C <= '9';
        Value = Value * 10 + (C - '0');
    }
    if (!Valid || Value < Low || Value > High)
        WrongArguments(std::string(Option) + " wants a whole number from " + std::to_string(Low) +
                       " to " + std::to_string(High) + ", not '" + Text + "'");
    return static_cast<int>(Value);
}

// The index of Text among Names, which are listed for the error.
template <size_t N>
int ParseChoice(const char *Option, const std::string &Text, const char *const (&Names)[N])
{
    std::string List;
    for (size_t i = 0; i < N; ++i) {
        if (Text == Names[i])
            return static_cast<int>(i);
        List += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + Names[i];
    }
    WrongArguments(std::string(Option) + " wants " + List + ", not '" + Text + "'");
}

// The long options without a letter.
enum
{
    NormalTwistOption = 1000,
    ReverseTwistOption,
    MinLevelOption,
    MinToneOption,
    MinPauseOption
};

const option LongOptions[] = {
    {"detector", required_argument, nullptr, 'd'},
    {"format", required_argument, nullptr, 'f'},
    {"timestamps", optional_argument, nullptr, 't'},
    {"raw", no_argument, nullptr, 'R'},
    {"encoding", required_argument, nullptr, 'e'},
    {"rate", required_argument, nullptr, 'r'},
    {"channels", required_argument, nullptr, 'c'},
    {"jobs", required_argument, nullptr, 'j'},
    {"normal-twist", required_argument, nullptr, NormalTwistOption},
    {"reverse-twist", required_argument, nullptr, ReverseTwistOption},
    {"min-level", required_argument, nullptr, MinLevelOption},
    {"min-tone", required_argument, nullptr, MinToneOption},
    {"min-pause", required_argument, nullptr, MinPauseOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
const char *ShortOptions = ":d:f:t::Re:r:c:j:hV";

// The option as it was written, without any value joined to it.
std::string Written(const char *Arg)
{
    const std::string Text = Arg;
    return Text.substr(0, Text.find('='));
}

[[noreturn]] void WrongOption(int Result, char **Argv)
{
    // A long option always takes a whole argument; a short one may share it.
    const std::string Arg = Argv[optind - 1];
    const bool Long = (Result == ':' || optopt == 0 || std::strchr(ShortOptions, optopt)) &&
                      Arg.rfind("--", 0) == 0;
    const std::string Name = Long ? Written(Arg.c_str()) : std::string("-") + char(optopt);
    if (Result == ':')
        WrongArguments("option '" + Name + "' wants a value");
    if (Long && optopt != 0)
        WrongArguments("option '" + Name + "' takes no value");
    WrongArguments("unknown option '" + Name + "'");
}

void ApplyOption(int Option, const std::string &Value, TOptions &Options)
{
    static const char *const Detectors[] = {"strict", "window"};
    static const char *const Formats[] = {"text", "tsv", "jsonl"};
    static const char *const Stamps[] = {"offset", "wall"};
    static const char *const Encodings[] = {"s16le", "u8", "f32le", "mulaw", "alaw"};
    switch (Option) {
    case 'd':
        Options.Detector = static_cast<TDetectorKind>(ParseChoice("--detector", Value, Detectors));
        break;
    case 'f':
        Options.Format = static_cast<TOutputFormat>(ParseChoice("--format", Value, Formats));
        break;
    case 't':
        Options.Timestamps = optarg == nullptr || ParseChoice("--timestamps", Value, Stamps) == 0
                                 ? TTimestamps::Offset
                                 : TTimestamps::Wall;
        break;
    case 'R':
        Options.Raw = true;
        break;
    case 'e':
        Options.RawFormatGiven = true;
        Options.Encoding = static_cast<TRawEncoding>(ParseChoice("--encoding", Value, Encodings));
        break;
    case 'r':
        Options.RawFormatGiven = true;
        Options.Rate = ParseCount("--rate", Value, MinInputRate, MaxInputRate);
        break;
    case 'c':
        Options.RawFormatGiven = true;
        Options.Channels = ParseCount("--channels", Value, 1, MaxInputChannels);
        break;
    case 'j':
        Options.Jobs = ParseCount("--jobs", Value, 0, 1024);
        break;
    case NormalTwistOption:
        Options.Limits.NormalTwist = ParseNumber("--normal-twist", Value);
        break;
    case ReverseTwistOption:
        Options.Limits.ReverseTwist = ParseNumber("--reverse-twist", Value);
        break;
    case MinLevelOption:
        Options.Limits.MinLevel = ParseNumber("--min-level", Value);
        break;
    case MinToneOption:
        Options.Limits.MinTone = ParseNumber("--min-tone", Value);
        break;
    case MinPauseOption:
        Options.Limits.MinPause = ParseNumber("--min-pause", Value);
        break;
    case 'h':
        std::fputs(Help, stdout);
        std::exit(0);
    case 'V':
        std::printf("dtmf-decode (DTMF) %s\n", DTMF_VERSION);
        std::exit(0);
    }
}

} // namespace

TOptions ParseCommandLine(int Argc, char **Argv)
{
    TOptions Options;
    opterr = 0;
    int Option;
    while ((Option = getopt_long(Argc, Argv, ShortOptions, LongOptions, nullptr)) != -1) {
        if (Option == '?' || Option == ':')
            WrongOption(Option, Argv);
        ApplyOption(Option, optarg != nullptr ? optarg : "", Options);
    }
    for (int i = optind; i < Argc; ++i)
        Options.Inputs.push_back(Argv[i]);
    if (Options.Inputs.empty())
        WrongArguments("no input given");
    const std::string Fault = Options.Limits.Fault();
    if (!Fault.empty())
        WrongArguments(Fault);
    // Text without timestamps has no times; the other formats always do.
    if (Options.Format != TOutputFormat::Text && Options.Timestamps == TTimestamps::None)
        Options.Timestamps = TTimestamps::Offset;
    return Options;
}
