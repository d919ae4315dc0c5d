// The strict receiver's limits that a caller may set at run time.
#pragma once

#include <string>

struct TStrictLimits
{
    double NormalTwist = 9.0;  // dB the low tone may stand over the high
    double ReverseTwist = 5.0; // dB the high tone may stand over the low
    double MinLevel = -51.0;   // dBFS of each tone's amplitude
    double MinTone = 0.040;    // seconds a tone must last to make a digit
    double MinPause = 0.025;   // seconds of absence that end a digit

    // Why these limits can't be used, or "" when they can.
    std::string Fault() const;
};
