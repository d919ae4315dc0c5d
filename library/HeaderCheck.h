// Checks of a header's fields against each other, for what libsndfile takes
// on trust: a WAV header whose frame size doesn't fit its channel count would
// otherwise be decoded as noise.
#pragma once

#include <string>
#include <vector>

// Why the header at the start of a file contradicts itself, or "" when it
// doesn't (or is no RIFF or RF64 WAVE header).
std::string HeaderContradiction(const std::vector<unsigned char> &Start);
