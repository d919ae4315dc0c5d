#include "Options.h"

#include <cstdio>

namespace {

constexpr size_t HelpColumn = 26;

const char *Usage = "Usage: dtmf-decode [OPTION]... FILE...\n"
                    "  or:  dtmf-decode [OPTION]... --device=NAME\n"
                    "Print the DTMF keypad symbols (0-9, A-D, * and #) found in each FILE: any\n"
                    "sound file that libsndfile reads (MP3 included), or raw PCM. With FILE -,\n"
                    "read standard input: a sound file is told by its first bytes, anything\n"
                    "else is raw PCM, and either is decoded as it arrives. With --device, record\n"
                    "from a sound source until interrupted. Each channel of a file is decoded\n"
                    "on its own.\n"
                    "\n"
                    "Options:\n";

const char *Epilogue =
    "\n"
    "A symbol starts where its tone starts; with the window detector, at the\n"
    "block that let it through, and it ends with the last block that carried it.\n"
    "Offsets are in seconds with three decimals. The same symbol at the same\n"
    "time on several channels is given once, with the channel where it is\n"
    "loudest; tsv and jsonl name the channel (from 1) of an input with several.\n"
    "In text output with several inputs, every line starts with the input's\n"
    "name and \": \". Lines of tsv and jsonl are written as each symbol is\n"
    "decided; the output of several inputs comes in their order, whatever\n"
    "--jobs. In names in text, tsv and messages, a control character or\n"
    "backslash is written \\t, \\n, \\r, \\xHH or \\\\; in jsonl, a byte of a name\n"
    "that is not UTF-8 is written \\udcXX, which Python's surrogateescape reads\n"
    "back. A progress line is shown on standard error when it is a terminal and\n"
    "a batch takes more than a second. A device is recorded until SIGINT or\n"
    "SIGTERM, which end the run once every finished symbol is printed.\n"
    "\n"
    "Exit status: 0 when every input was decoded whole, 1 when one could not be\n"
    "read or was cut short (its symbols are printed all the same) or the sound\n"
    "source was lost, 2 for wrong arguments.\n";

std::string Label(const TOptionEntry &Entry)
{
    std::string Text = Entry.Key < KeyMix ? std::string("  -") + char(Entry.Key) + ", " : "      ";
    Text += std::string("--") + Entry.Long;
    if (Entry.Argument == TArgument::Required)
        Text += std::string("=") + Entry.Value;
    else if (Entry.Argument == TArgument::Optional)
        Text += std::string("[=") + Entry.Value + "]";
    return Text;
}

} // namespace

const std::vector<TOptionEntry> OptionTable = {
    {'d', "detector", TArgument::Required, "KIND", "strict window",
     "strict (default): wants a clean tone pair for about\n"
     "40 ms, rejects speech and music; window: the\n"
     "detector of the window program, block by block"},
    {'f', "format", TArgument::Required, "FORMAT", "text tsv jsonl",
     "text (default): the symbols of each input on one\n"
     "line; tsv: a header line, then one line per symbol\n"
     "with the input, start, end, duration, symbol and\n"
     "channel; jsonl: one JSON object per symbol,\n"
     "{\"input\", \"start\", \"end\", \"symbol\"} and \"channel\",\n"
     "and one with \"error\" for an input that fails"},
    {'t', "timestamps", TArgument::Optional, "KIND", "offset wall",
     "offset (default): seconds from the start of the\n"
     "input; wall: the local ISO 8601 time, counted from\n"
     "when the input was opened (standard input: when\n"
     "its first bytes came); in text, one line per\n"
     "symbol with its start, a tab and the symbol"},
    {'C', "channel", TArgument::Required, "N", "", "decode only channel N (from 1) of each input"},
    {KeyMix, "mix", TArgument::None, "", "", "mix the channels down to one and decode that"},
    {KeySummary, "summary", TArgument::None, "", "",
     "after the symbols of each input, one record of\n"
     "their count, the seconds decoded and the status\n"
     "(ok or failed): in jsonl {\"input\", \"summary\"}, in\n"
     "tsv and text a line that starts with #"},
    {KeyLabel, "label", TArgument::Required, "NAME", "",
     "the name of standard input (or of the device) in\n"
     "the output, instead of - (or the device's name)"},
    {'D', "device", TArgument::Required, "NAME", "@devices",
     "record from the sound source NAME (default: the\n"
     "sound server's default source) at 48000 Hz, mono"},
    {KeyListDevices, "list-devices", TArgument::None, "", "",
     "list the sound sources: name, description, and\n"
     "\"default\" by the default one"},
    {'R', "raw", TArgument::None, "", "", "read named files as raw PCM too"},
    {'e', "encoding", TArgument::Required, "ENC", "s16le u8 f32le mulaw alaw",
     "raw samples: s16le (default), u8, f32le, mulaw, alaw"},
    {'r', "rate", TArgument::Required, "HZ", "", "raw sample rate (default 48000)"},
    {'c', "channels", TArgument::Required, "N", "", "raw channel count (default 1)"},
    {'j', "jobs", TArgument::Required, "N", "",
     "decode N inputs at a time; 0 means one per core,\n"
     "the default with several inputs"},
    {'h', "help", TArgument::None, "", "", "print this help and exit"},
    {'V', "version", TArgument::None, "", "", "print the version and exit"},
    {KeyNormalTwist, "normal-twist", TArgument::Required, "DB", "",
     "how far the low tone may stand over the high one"},
    {KeyReverseTwist, "reverse-twist", TArgument::Required, "DB", "",
     "how far the high tone may stand over the low one"},
    {KeyMinLevel, "min-level", TArgument::Required, "DBFS", "",
     "the weakest tone taken, dB of its amplitude under\n"
     "full scale"},
    {KeyMinTone, "min-tone", TArgument::Required, "SECONDS", "",
     "tones shorter than about this make no digit: by\n"
     "default 40 ms is a digit, 23 ms is not"},
    {KeyMinPause, "min-pause", TArgument::Required, "SECONDS", "",
     "a shorter gap does not end a digit: by default a\n"
     "10 ms dropout is bridged, a 40 ms pause is not"},
};

namespace {

// The default of a limit of the strict receiver, as its own type gives it.
std::string LimitDefault(int Key)
{
    const TStrictLimits Limits;
    char Text[48];
    if (Key == KeyNormalTwist || Key == KeyReverseTwist)
        std::snprintf(Text, sizeof Text, "(default %g dB)",
                      Key == KeyNormalTwist ? Limits.NormalTwist : Limits.ReverseTwist);
    else if (Key == KeyMinLevel)
        std::snprintf(Text, sizeof Text, "(default %g)", Limits.MinLevel);
    else
        std::snprintf(Text, sizeof Text, "(default %.3f)",
                      Key == KeyMinTone ? Limits.MinTone : Limits.MinPause);
    return Text;
}

} // namespace

std::string HelpText()
{
    std::string Text = Usage;
    for (const TOptionEntry &Entry : OptionTable) {
        const bool Limit = Entry.Key >= KeyNormalTwist && Entry.Key <= KeyMinPause;
        if (Entry.Key == KeyNormalTwist)
            Text += "\nLimits of the strict receiver:\n";
        std::string Line = Label(Entry);
        Line += Line.size() + 2 <= HelpColumn ? std::string(HelpColumn - Line.size(), ' ')
                                              : "\n" + std::string(HelpColumn, ' ');
        for (const char *C = Entry.Help; *C != '\0'; ++C)
            Line += *C == '\n' ? "\n" + std::string(HelpColumn, ' ') : std::string(1, *C);
        if (Limit)
            Line += "\n" + std::string(HelpColumn, ' ') + LimitDefault(Entry.Key);
        Text += Line + "\n";
    }
    return Text + Epilogue;
}

std::string TOptions::Shown(const std::string &Input) const
{
    return IsLive() || Input == "-" ? (Label.empty() ? Input : Label) : Input;
}
