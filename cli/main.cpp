// dtmf-decode: prints the DTMF keypad symbols found in sound files, in raw
// PCM streams or in what a sound source records.
#include "Batch.h"
#include "CommandLine.h"
#include "LiveInput.h"
#include "SourceList.h"
#include "TextEscape.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int ListDevices()
{
    std::vector<TSourceEntry> Sources;
    const std::string Problem = ListSources(Sources);
    if (!Problem.empty()) {
        std::fprintf(stderr, "dtmf-decode: %s\n", Problem.c_str());
        return 1;
    }
    for (const TSourceEntry &Source : Sources)
        std::printf("%s\t%s%s\n", EscapedText(Source.Name).c_str(),
                    EscapedText(Source.Description).c_str(), Source.Default ? "\tdefault" : "");
    return 0;
}

} // namespace

int main(int Argc, char **Argv)
{
    const TOptions Options = ParseCommandLine(Argc, Argv);
    if (Options.IsLive())
        CatchStopSignals();
    const int Status = Options.ListDevices ? ListDevices() : TBatch(Options).Run();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "dtmf-decode: standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return Status;
}
