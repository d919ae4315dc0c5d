// Recording from a sound source until SIGINT or SIGTERM asks to stop.
#pragma once

#include "InputDecoding.h"
#include "Options.h"
#include "SymbolWriter.h"

// Decodes Options.Device until a stop is asked for (true: every finished
// symbol has been written) or the source is lost (false, reported to Writer).
bool DecodeLiveSource(const TOptions &Options, TSymbolWriter &Writer, TAudioCounter *Counter);

// From now on SIGINT and SIGTERM ask a recording to stop instead of ending
// the process at once.
void CatchStopSignals();
