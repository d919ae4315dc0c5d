// Writes dtmf-decode's bash completion to standard output; run when it is built.
#include "BashCompletion.h"

#include <cstdio>

int main()
{
    const std::string Script = BashCompletion();
    return std::fwrite(Script.data(), 1, Script.size(), stdout) == Script.size() ? 0 : 1;
}
