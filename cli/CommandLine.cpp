#include "CommandLine.h"

#include "TextEscape.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#ifndef DTMF_VERSION
#define DTMF_VERSION "unknown"
#endif

namespace {

[[noreturn]] void WrongArguments(const std::string &Reason)
{
    std::fprintf(stderr, "dtmf-decode: %s; try 'dtmf-decode --help'\n",
                 EscapedText(Reason).c_str());
    std::exit(2);
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

double ParseNumber(const char *Option, const std::string &Text)
{
    char *End = nullptr;
    const double Value = std::strtod(Text.c_str(), &End);
    if (Text.empty() || End != Text.c_str() + Text.size() || !std::isfinite(Value))
        WrongArguments(std::string(Option) + " wants a number, not '" + Text + "'");
    return Value;
}

// The index of Text among the option's choices, which are listed for the error.
int ParseChoice(const char *Option, const std::string &Text, const char *Choices)
{
    std::vector<std::string> Names;
    for (const char *C = Choices; *C != '\0';) {
        const char *End = std::strchr(C, ' ');
        End = End != nullptr ? End : C + std::strlen(C);
        Names.emplace_back(C, End);
        C = *End == ' ' ? End + 1 : End;
    }
    std::string List;
    for (size_t i = 0; i < Names.size(); ++i) {
        if (Text == Names[i])
            return static_cast<int>(i);
        List += std::string(i == 0 ? "" : i + 1 == Names.size() ? " or " : ", ") + Names[i];
    }
    WrongArguments(std::string(Option) + " wants " + List + ", not '" + Text + "'");
}

const char *ChoicesOf(int Key)
{
    for (const TOptionEntry &Entry : OptionTable)
        if (Entry.Key == Key)
            return Entry.Choices;
    return "";
}

// getopt's tables, made from the option table.
struct TGetoptTables
{
    TGetoptTables()
    {
        Short = ":";
        for (const TOptionEntry &Entry : OptionTable) {
            const int Has = Entry.Argument == TArgument::None       ? no_argument
                            : Entry.Argument == TArgument::Required ? required_argument
                                                                    : optional_argument;
            Long.push_back({Entry.Long, Has, nullptr, Entry.Key});
            if (Entry.Key >= KeyMix)
                continue;
            Short += char(Entry.Key);
            Short += Has == no_argument ? "" : Has == required_argument ? ":" : "::";
        }
        Long.push_back({nullptr, 0, nullptr, 0});
    }
    std::string Short;
    std::vector<option> Long;
};

// The option as it was written, without any value joined to it.
std::string Written(const char *Arg)
{
    const std::string Text = Arg;
    return Text.substr(0, Text.find('='));
}

[[noreturn]] void WrongOption(int Result, char **Argv, const std::string &Short)
{
    // A long option always takes a whole argument; a short one may share it.
    const std::string Arg = Argv[optind - 1];
    const bool Long =
        (Result == ':' || optopt == 0 || optopt >= KeyMix || std::strchr(Short.c_str(), optopt)) &&
        Arg.rfind("--", 0) == 0;
    const std::string Name = Long ? Written(Arg.c_str()) : std::string("-") + char(optopt);
    if (Result == ':')
        WrongArguments("option '" + Name + "' wants a value");
    if (Long && optopt != 0)
        WrongArguments("option '" + Name + "' takes no value");
    WrongArguments("unknown option '" + Name + "'");
}

void ApplyOption(int Key, const std::string &Value, TOptions &Options)
{
    const char *Choices = ChoicesOf(Key);
    switch (Key) {
    case 'd':
        Options.Detector = static_cast<TDetectorKind>(ParseChoice("--detector", Value, Choices));
        break;
    case 'f':
        Options.Format = static_cast<TOutputFormat>(ParseChoice("--format", Value, Choices));
        break;
    case 't':
        Options.Timestamps = optarg == nullptr || ParseChoice("--timestamps", Value, Choices) == 0
                                 ? TTimestamps::Offset
                                 : TTimestamps::Wall;
        break;
    case 'C':
        Options.Channel = ParseCount("--channel", Value, 1, MaxInputChannels);
        break;
    case KeyMix:
        Options.Mix = true;
        break;
    case KeySummary:
        Options.Summary = true;
        break;
    case KeyLabel:
        Options.Label = Value;
        break;
    case 'D':
        Options.Device = Value;
        if (Value.empty())
            WrongArguments("--device wants the name of a sound source, or default");
        break;
    case KeyListDevices:
        Options.ListDevices = true;
        break;
    case 'R':
        Options.Raw = true;
        break;
    case 'e':
        Options.RawFormatGiven = true;
        Options.Encoding = static_cast<TRawEncoding>(ParseChoice("--encoding", Value, Choices));
        break;
    case 'r':
        Options.RawFormatGiven = true;
        Options.Rate = ParseCount("--rate", Value, MinInputRate, MaxInputRate);
        break;
    case 'c':
        Options.RawFormatGiven = true;
        Options.Channels = ParseCount("--channels", Value, 1, MaxInputChannels);
        break;
    case KeyNormalTwist:
        Options.Limits.NormalTwist = ParseNumber("--normal-twist", Value);
        break;
    case KeyReverseTwist:
        Options.Limits.ReverseTwist = ParseNumber("--reverse-twist", Value);
        break;
    case KeyMinLevel:
        Options.Limits.MinLevel = ParseNumber("--min-level", Value);
        break;
    case KeyMinTone:
        Options.Limits.MinTone = ParseNumber("--min-tone", Value);
        break;
    case KeyMinPause:
        Options.Limits.MinPause = ParseNumber("--min-pause", Value);
        break;
    case 'j':
        Options.Jobs = ParseCount("--jobs", Value, 0, 1024);
        break;
    case 'h':
        std::fputs(HelpText().c_str(), stdout);
        std::exit(0);
    case 'V':
        std::printf("dtmf-decode (DTMF) %s\n", DTMF_VERSION);
        std::exit(0);
    }
}

// Options that can't go together, or that would be ignored.
void CheckTogether(const TOptions &Options)
{
    const std::string Fault = Options.Limits.Fault();
    if (!Fault.empty())
        WrongArguments(Fault);
    if (Options.Mix && Options.Channel != 0)
        WrongArguments("--mix and --channel exclude each other");
    if (Options.ListDevices)
        return;
    const long Standard = std::count(Options.Inputs.begin(), Options.Inputs.end(), "-");
    if (Options.IsLive() && !Options.Inputs.empty())
        WrongArguments("--device records from a sound source and reads no FILE");
    if (!Options.IsLive() && Options.Inputs.empty())
        WrongArguments("no input given");
    if (Standard > 1)
        WrongArguments("standard input '-' is named more than once");
    if (!Options.Label.empty() && Standard == 0 && !Options.IsLive())
        WrongArguments("--label names standard input or the device, and neither is read");
}

} // namespace

TOptions ParseCommandLine(int Argc, char **Argv)
{
    static const TGetoptTables Tables;
    TOptions Options;
    opterr = 0;
    int Option;
    while ((Option = getopt_long(Argc, Argv, Tables.Short.c_str(), Tables.Long.data(), nullptr)) !=
           -1) {
        if (Option == '?' || Option == ':')
            WrongOption(Option, Argv, Tables.Short);
        ApplyOption(Option, optarg != nullptr ? optarg : "", Options);
    }
    for (int i = optind; i < Argc; ++i)
        Options.Inputs.push_back(Argv[i]);
    CheckTogether(Options);
    if (Options.IsLive())
        Options.Inputs = {Options.Device};
    // Text without timestamps has no times; the other formats always do.
    if (Options.Format != TOutputFormat::Text && Options.Timestamps == TTimestamps::None)
        Options.Timestamps = TTimestamps::Offset;
    return Options;
}
