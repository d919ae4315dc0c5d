// The strict receiver's limits that a caller may set at run time.
#pragma once

#include <string>

// The defaults keep what Q.24 asks of a receiver: a twist of 8 dB with the
// low tone louder and 4 dB with the high one is taken, 10 and 6 dB are not;
// -42 dBFS per tone is taken, -60 is not; a 40 ms tone is a digit, a 23 ms
// burst is not; a 10 ms dropout does not split a digit, a 40 ms pause does.
struct TStrictLimits
{
    double NormalTwist = 9.0;  // dB the low tone may stand over the high, on a digit's mean
    double ReverseTwist = 5.0; // dB the high tone may stand over the low
    double MinLevel = -51.0;   // dBFS of each tone's amplitude
    double MinTone = 0.030;    // seconds: tones shorter than about this make no digit
    double MinPause = 0.025;   // seconds: a shorter absence does not end a digit

    // Why these limits can't be used, or "" when they can.
    std::string Fault() const;
};
