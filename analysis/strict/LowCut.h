// A fourth-order Butterworth high pass at 600 Hz on the 8000 Hz signal: it
// takes out DC and the call-progress tones under the keypad's band (350, 425,
// 440 and 480 Hz down by 9 to 19 dB) before the tone bank, so that they no
// longer count against a pair's share of the window's power. The keypad's
// tones lose at most 1.1 dB, which the pair judge gives back.
#pragma once

#include <cstddef>

class TLowCut
{
  public:
    // In and Out may be the same.
    void Process(const float *In, size_t Count, float *Out);

    // The filter's gain at Frequency (Hz, at 8000 Hz).
    static double Gain(double Frequency);

    void Reset();

  private:
    struct TSection
    {
        double b0, b1, b2, a1, a2;
    };
    static const TSection Sections[2];
    double State[2][2] = {}; // each section's two delays (transposed direct form II)
};
