// The steady power under the keypad's band: DC and call-progress tones (350,
// 425, 440, 480 Hz) hold it still, speech and music move it. A window's share
// of that power does not count against a pair, so a dial tone or an offset
// under the digits leaves their share as it is.
//
// The power under the band is that of the signal summed over runs of eight
// samples (1 ms, a low pass that passes DC whole, the call-progress tones 2
// to 3 dB down and the keypad's tones 8.5 dB down or more); it is steady when
// it has stayed within a factor of two over the last ten windows 20 ms apart,
// and their least is then what steadily sounds.
//
// Where it has stayed within 1 dB, as only a call-progress tone or DC does,
// the tones' part of it is measured again over runs of four samples, which
// take those tones only 0.3 to 0.7 dB down (and can never measure more than
// a tone holds): a dial tone 10 dB or more over the digits would otherwise
// leave a third of its power against them. The runs of four pass the
// keypad's tones far less well, so they count for at most twice what the
// runs of eight found.
#pragma once

#include "ToneBank.h"

#include <iterator>
#include <numeric>

class TSteadyLow
{
  public:
    // Takes the next sub-block of TToneBank::SubBlock samples at 8000 Hz and
    // gives the steady power under the band in the window that ends with it,
    // as an energy (a sum of squares over the window).
    double Take(const float *SubBlock);
    // The power under the band in that window, steady or not.
    double Window() const { return std::accumulate(std::begin(Parts), std::end(Parts), 0.0); }

    void Reset();

  private:
    static constexpr int Run = 8;
    // The windows that end every 20 ms, the last 200 ms of them.
    static constexpr int Windows = 10;
    static constexpr double MaxSpread = 2.0;
    static constexpr double ConstantSpread = 1.26; // 1 dB
    static constexpr double MostShortGain = 2.0;

    // The steady power of a window that stayed within ConstantSpread.
    double Constant(int Least) const;

    // Each sub-block's power over runs of eight and of four samples, and
    // the sum of its samples.
    double Parts[TToneBank::SubBlocksPerWindow] = {};
    double ShortParts[TToneBank::SubBlocksPerWindow] = {};
    double Sums[TToneBank::SubBlocksPerWindow] = {};
    // Each window's power over runs of eight and of four samples, and its DC.
    double Recent[Windows] = {};
    double RecentShort[Windows] = {};
    double RecentDc[Windows] = {};
    int Part = 0;
    int Newest = 0;
    double Steady = 0; // as found when the last of Recent came
};
