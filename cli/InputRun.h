// One input of a run from its name to its reported symbols: a file, or
// standard input for "-".
#pragma once

#include "CommandLine.h"
#include "OutputSink.h"

#include <string>

// True when the input was decoded whole; what went wrong is reported to Sink.
bool DecodeInput(const TOptions &Options, const std::string &Name, TOutputSink &Sink,
                 TAudioCounter *Counter);
