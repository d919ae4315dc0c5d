// Decides whether one 20 ms window of the tone bank holds a clean DTMF tone
// pair: one dominant tone in each group, neither of them off its nominal
// frequency, both above the level floor, a twist inside the window, little
// second harmonic, and the pair carrying a good share of the window's power. The
// twist is checked loosely here: the louder tone's sidelobes move one window's
// twist by up to about 2 dB, so the tracker checks it strictly on the mean
// over a digit's windows.
#pragma once

#include "Keypad.h"
#include "StrictLimits.h"
#include "ToneBank.h"

#include <array>

// Why a window holds no pair.
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

struct TPairVerdict
{
    char Symbol = 0; // one of "0123456789ABCD*#", or 0 when the window holds no pair
    // The pair of a window that passes every test but the twist, which then
    // tells all that a pair's verdict tells: an echo that combs the tones
    // may move the twist out of bounds, and the tracker knows when.
    char Twisted = 0;
    TPairReject Why = TPairReject::None;
    double Level = 0;     // |low| + |high| of the two correlations, for comparing windows
    double Twist = 0;     // low tone over high tone, dB
    double Share = 0;     // the pair's power over the window's, all of it
    double LowOffset = 0; // each tone's offset from its nominal frequency, a fraction of it
    double HighOffset = 0;
    // Whether each tone's second harmonic stands out, and then its offset
    // less the tone's (fractions of their frequencies): a note's harmonic
    // moves with it.
    bool LowHeard = false;
    bool HighHeard = false;
    bool Clipped = false; // the window comes from a clipped line (see TPairJudge::ClipTwistSlack)
    // Some of the window's samples reach full scale, however few: the clip
    // makes harmonics of its own, locked to the tones.
    bool Railed = false;
    double LowSlip = 0;
    double HighSlip = 0;
    double LowRival = 0; // the strongest other tone of each group, power over the tone's
    double HighRival = 0;
    // |correlation|^2 of each keypad tone, whether or not the window holds
    // a pair: how much of a digit's pair is left in a pause.
    float Power[DtmfToneCount] = {};

    // |low| + |high| of Symbol's pair in this window.
    double PairLevel(char Symbol) const;
};

// How much a window must show to hold a pair.
struct TPairLimits
{
    double MinShare = 0.40;    // the pair's power over the window's
    double MinDominance = 6.3; // each tone's power over the other tones of its group (8 dB)
    // Whether the share is of the power in the keypad's band only: what
    // sounds under it, the bass of music or a voice's low notes, left out.
    bool InBand = false;
    // Over another tone of its group whose bin holds a frequency OffRival or
    // more off the keypad's (a fraction of it), each tone need only stand
    // MinOffDominance: a window long enough to measure that frequency finely
    // tells sound around the pair, a voice's harmonic or a note, from a
    // second keypad tone. 0: every other tone alike.
    double OffRival = 0;
    double MinOffDominance = 0;
};

class TPairJudge
{
  public:
    // The twist of one window may stand this far outside the limits: the
    // tracker checks them on the mean.
    static constexpr double WindowTwistSlack = 3.0;
    // Clipping keeps the louder tone and crushes the weaker one, which widens
    // the twist by a few dB: the twist allowed either way, meant for the line
    // before the clip, widens by this much for windows that clip, where at
    // least ClippedShare of the samples sit at full scale.
    static constexpr double ClipTwistSlack = 3.0;
    static constexpr double ClippedShare = 0.1;

    // Gain holds what the path in front of the tone bank does to each keypad
    // tone, which the judge undoes for the level floor and the twist.
    TPairJudge(const std::array<double, DtmfToneCount> &Gain, const TStrictLimits &Limits);

    // Before is the window one step earlier; the phase turn between the two
    // gives each tone's offset from its nominal frequency. A window that holds
    // the pair of Carried (a digit sounding) at no less than CarriedLevel
    // carries that digit on, and its verdict tells no more than the symbol,
    // the level, the twist, the share, the offsets and the powers.
    TPairVerdict Judge(const TToneWindow &Now, const TToneWindow &Before,
                       const TPairLimits &Limits = {}, char Carried = 0,
                       double CarriedLevel = 0) const;
    // A Carried that no window carries: the verdict tells all.
    static constexpr char NoneCarried = '\x7f';
    // The verdict that Judge gives with Carried and CarriedLevel, from the
    // one it gives with NoneCarried.
    static TPairVerdict Carrying(const TPairVerdict &Whole, char Carried, double CarriedLevel);

    // A tone's offset from its nominal frequency in Hz, from the phase turn
    // between Before and Now.
    static double Offset(const TToneWindow &Now, const TToneWindow &Before, int Tone);

    // Gain of a rectangular window of Length samples (at the bank's rate) at
    // Offset Hz from its centre frequency.
    static double WindowGain(double Offset, double Length);

    // A keypad tone's amplitude on the scale [-1, 1) in front of the path,
    // for a tone Offset Hz off its frequency.
    double Amplitude(const TToneWindow &Now, int Tone, double Offset) const;

    // Of the four powers of a group from First: the strongest tone, and the
    // strongest power but Best's.
    static int Strongest(const double *Power, int First);
    static double NextStrongest(const double *Power, int Best, int First);
    // The median power of the bins that hold neither the pair nor its harmonics.
    static double Background(const double *Power, int Low, int High);

  private:
    std::array<double, DtmfToneCount> Gain;
    double Floor;          // amplitude
    double MaxLowOverHigh; // dB
    double MaxHighOverLow;
    double TwistedPower; // the high tone's power over the low one's past the window's reverse twist
};
