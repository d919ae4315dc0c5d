// dtmf-decode: prints the DTMF keypad symbols found in sound files or in raw
// PCM streams.
#include "Batch.h"
#include "CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int Argc, char **Argv)
{
    const TOptions Options = ParseCommandLine(Argc, Argv);
    const int Status = TBatch(Options).Run();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "dtmf-decode: standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return Status;
}
