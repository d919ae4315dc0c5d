// The sound server's sources, for --list-devices.
#pragma once

#include <string>
#include <vector>

struct TSourceEntry
{
    std::string Name;
    std::string Description;
    bool Default = false;
};

// Fills Sources and returns "", or returns why the server could not be asked.
std::string ListSources(std::vector<TSourceEntry> &Sources);
