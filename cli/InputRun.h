// One input of a run from its name to its reported symbols: a file,
// standard input for "-", or the sound source of --device.
#pragma once

#include "InputDecoding.h"
#include "Options.h"
#include "OutputSink.h"

#include <string>

// True when the input was decoded whole; what went wrong is reported to Sink.
// Counter counts the input's audio, in microseconds, as it is read. With
// TwoThreads, a file may be decoded on two threads (see TInputSettings).
bool DecodeInput(const TOptions &Options, const std::string &Name, TOutputSink &Sink,
                 TAudioCounter &Counter, bool TwoThreads = true);
