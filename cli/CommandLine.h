// dtmf-decode's command line, parsed after the option table.
#pragma once

#include "Options.h"

// Parses the arguments. Prints the help, the version or the sound sources and
// exits when asked for them; prints a one-line usage error and exits with 2
// on wrong ones.
TOptions ParseCommandLine(int Argc, char **Argv);
