// The last samples of the 8000 Hz signal, kept to tell a voice's harmonics
// from a keypad's pair. A voice's tones are whole multiples of its pitch:
// two of them may land on a pair's frequencies (941 and 1336 Hz are the 7th
// and 10th harmonics of a voice at 134 Hz) and stand out over the keypad's
// other tones, in a long window most of all, whose bins are narrow. The
// harmonics between and beside them sound too, where a keypad puts nothing.
#pragma once

#include "ToneBank.h"

class TVoiceComb
{
  public:
    static constexpr int Kept = 16 * TToneBank::SubBlock; // 80 ms
    // Pitches of a voice, in Hz, and its highest harmonic on a pair's tones.
    static constexpr double MinPitch = 90;
    static constexpr double MaxPitch = 420;
    static constexpr int MostHarmonic = 13;
    // Both tones lie within Fit of two harmonics of one pitch (a fraction of
    // the high tone's frequency).
    static constexpr double Fit = 0.01;
    // A voice's: at least Around of the harmonics between and beside the
    // pair's at AroundPower or more of the weaker tone's power, or, when two
    // or more lie between them, all those at BetweenPower or more.
    static constexpr int Around = 3;
    static constexpr double AroundPower = 0.1;
    static constexpr double BetweenPower = 0.25;

    // Takes the next sub-block, or silence when Samples is null.
    void Take(const float *Samples);

    // Whether the last Length samples (at most Kept) sound like a voice
    // whose harmonics fall on the keypad tones Low and High.
    bool Voiced(int Low, int High, int Length) const;

    void Reset();

  private:
    // The last Length samples through a Hann window.
    void Windowed(float *Out, int Length) const;
    // The Goertzel filter's power at Frequency.
    static double Power(const float *Samples, int Length, double Frequency);

    float Recent[Kept] = {};
    int Newest = 0; // where the next sub-block goes
};
