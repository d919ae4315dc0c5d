// What one run of dtmf-decode is asked to do, and the one table of its
// options from which the parser, --help and the bash completion are made.
#pragma once

#include "DecodeChoices.h"
#include "strict/StrictLimits.h"

#include <string>
#include <vector>

enum class TOutputFormat
{
    Text,
    Tsv,
    Jsonl
};

enum class TTimestamps
{
    None,   // text only: the symbols on one line
    Offset, // seconds from the start of the input
    Wall    // local ISO 8601 time, with milliseconds
};

struct TOptions
{
    TDetectorKind Detector = TDetectorKind::Strict;
    TOutputFormat Format = TOutputFormat::Text;
    TTimestamps Timestamps = TTimestamps::None;
    int Channel = 0;             // the one channel decoded; 0: each on its own
    bool Mix = false;            // channels mixed down to one
    bool Raw = false;            // named files are raw PCM too
    bool RawFormatGiven = false; // --encoding, --rate or --channels
    TRawEncoding Encoding = TRawEncoding::S16le;
    int Rate = 48000;
    int Channels = 1;
    int Jobs = -1;      // 0: one per core; -1: not given
    std::string Device; // the sound source recorded from, or "" for none
    std::string Label;  // the name of standard input or the device, or ""
    bool Summary = false;
    bool ListDevices = false; // list the sound sources instead of decoding
    TStrictLimits Limits;
    std::vector<std::string> Inputs; // with a device: its one name

    // The name an input goes by in the output.
    std::string Shown(const std::string &Input) const;
    // Recording from a sound source rather than reading inputs.
    bool IsLive() const { return !Device.empty(); }
};

// What follows an option on the command line.
enum class TArgument
{
    None,
    Required,
    Optional // only joined by "="
};

// Keys of the options that have no short form.
enum TLongOnly : int
{
    KeyMix = 256,
    KeyListDevices,
    KeyLabel,
    KeySummary,
    KeyNormalTwist,
    KeyReverseTwist,
    KeyMinLevel,
    KeyMinTone,
    KeyMinPause,
};

struct TOptionEntry
{
    int Key; // the short letter, or a TLongOnly key
    const char *Long;
    TArgument Argument;
    const char *Value;   // what --help calls the value
    const char *Choices; // the values offered for completion, space-separated;
                         // "@devices": the names --list-devices prints
    const char *Help;    // lines of --help, separated by '\n'
};

extern const std::vector<TOptionEntry> OptionTable;

// The --help text, its option list made from the table.
std::string HelpText();
