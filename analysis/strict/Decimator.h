// Brings 48000 Hz samples down to 8000 Hz: four cascaded six-sample moving
// sums (a 21-tap kernel) then every sixth sample. The kernel has its zeros on
// the multiples of 8000 Hz, so whatever folds onto the DTMF band is at least
// 48 dB down. Each output is one vectorised dot product.
#pragma once

#include <cstddef>

class TDecimator
{
  public:
    static constexpr int Factor = 6;
    static constexpr int Taps = 21;
    // The kernel with zeros in front, a whole number of vectors long.
    static constexpr int PaddedTaps = 24;

    TDecimator();

    // Filters Count input samples and writes every output that became
    // complete to Out, which must hold Count / Factor + 1 values. Returns the
    // number written.
    size_t Process(const float *In, size_t Count, float *Out);

    // The kernel's gain at Frequency (Hz, input rate 48000).
    static double Gain(double Frequency);

    // Output m is centred on input sample Factor * m + CentreOffset.
    static constexpr double CentreOffset = (Factor - 1) - (Taps - 1) / 2.0;

    void Reset();

  private:
    // Made outputs, the first with its oldest sample at Oldest and
    // PaddedTaps - Taps samples readable before it.
    using TRun = void (*)(const float *Padded, const float *Oldest, size_t Made, float *Out);
    static TRun ChooseRun();

    const TRun Run;

    float Padded[PaddedTaps] = {};
    float History[PaddedTaps - 1] = {}; // the last input samples, oldest first
    size_t Due = Factor;                // inputs still needed for the next output
    bool QuietHistory = true;           // every kept sample is zero
};
