// A keypad symbol as the detectors decide it and the outputs write it.
#pragma once

#include <cstdint>

struct TDecodedSymbol
{
    char Symbol;     // one of "0123456789ABCD*#"
    int64_t Start;   // first sample of the tone, counted from the input's first sample
    int64_t End;     // one past its last sample; -1 in a start event, before it is known
    int Channel = 0; // 1-based channel of a multi-channel input; 0 for mono
};
