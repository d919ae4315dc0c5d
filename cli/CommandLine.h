// dtmf-decode's command line.
#pragma once

#include "Decoder.h"
#include "InputDecoding.h"
#include "SymbolWriter.h"
#include "strict/StrictLimits.h"

#include <string>
#include <vector>

struct TOptions
{
    TDetectorKind Detector = TDetectorKind::Strict;
    TOutputFormat Format = TOutputFormat::Text;
    TTimestamps Timestamps = TTimestamps::None;
    bool Raw = false;            // named files are raw PCM too
    bool RawFormatGiven = false; // --encoding, --rate or --channels
    TRawEncoding Encoding = TRawEncoding::S16le;
    int Rate = 48000;
    int Channels = 1;
    int Jobs = -1; // 0: one per core; -1: not given
    TStrictLimits Limits;
    std::vector<std::string> Inputs;
};

// Parses the arguments. Prints the help or the version and exits with 0 when
// asked for them; prints a one-line usage error and exits with 2 on wrong ones.
TOptions ParseCommandLine(int Argc, char **Argv);
