// Decides whether one 20 ms window of the tone bank holds a clean DTMF tone
// pair: one dominant tone in each group, neither of them off its nominal
// frequency, both above the level floor, a twist inside the window, little
// second harmonic, and the pair carrying a good share of the window's power. The
// twist is checked loosely here: the louder tone's sidelobes move one window's
// twist by up to about 2 dB, so the tracker checks it strictly on the mean
// over a digit's windows.
#pragma once

#include "ToneBank.h"

struct TPairVerdict
{
    char Symbol = 0;      // one of "0123456789ABCD*#", or 0 when the window holds no pair
    double Level = 0;     // |low| + |high| of the two correlations, for comparing windows
    double Twist = 0;     // low tone over high tone, dB
    double Share = 0;     // the pair's power over the window's
    double LowOffset = 0; // each tone's offset from its nominal frequency, a fraction of it
    double HighOffset = 0;
    // Whether each tone's second harmonic stands out, and then its offset
    // less the tone's (fractions of their frequencies): a note's harmonic
    // moves with it.
    bool LowHeard = false;
    bool HighHeard = false;
    double LowSlip = 0;
    double HighSlip = 0;
    double LowRival = 0; // the strongest other tone of each group, power over the tone's
    double HighRival = 0;
};

// How much a window must show to hold a pair.
struct TPairLimits
{
    double MinShare = 0.40;    // the pair's power over the window's
    double MinDominance = 6.3; // each tone's power over the other tones of its group (8 dB)
};

// Why a window was turned down; kept for measuring the receiver.
enum class TPairReject
{
    None,
    Share,
    Dominance,
    Harmonic,
    Frequency,
    Floor,
    Twist
};

// What the checks measured in one window; kept for measuring the receiver.
struct TPairTrace
{
    TPairReject Why = TPairReject::None;
    int Low = 0; // strongest tone of each group
    int High = 4;
    double Share = 0;        // the pair's power over the window's
    double LowDominance = 0; // dB over the group's next strongest
    double HighDominance = 0;
    double LowHarmonic = 0; // second harmonic, dB under the tone
    double HighHarmonic = 0;
    double LowHarmonicRise = 0; // second harmonic, dB over the background
    double HighHarmonicRise = 0;
    double LowHarmonicOffset = 0; // the second harmonic's offset, fraction of its frequency
    double HighHarmonicOffset = 0;
    double LowOffset = 0; // fraction of the nominal frequency
    double HighOffset = 0;
    double LowDbfs = 0;
    double HighDbfs = 0;
};

class TPairJudge
{
  public:
    // Low tone over high tone in dB: low louder by 8 dB is kept, by 10 dB is
    // not; high louder by 4 dB is kept, by 6 dB is not.
    static constexpr double MaxLowOverHigh = 9.0;
    static constexpr double MaxHighOverLow = 5.0;
    static constexpr double WindowTwistSlack = 3.0;

    // Before is the window one step earlier; the phase turn between the two
    // gives each tone's offset from its nominal frequency.
    static TPairVerdict Judge(const TToneWindow &Now, const TToneWindow &Before,
                              TPairTrace *Trace = nullptr, const TPairLimits &Limits = {});
};
