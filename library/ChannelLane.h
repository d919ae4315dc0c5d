// One channel of a multi-channel input on its way to a detector of its own:
// resampled to the detector's rate when needed, with the channel's level
// kept in 10 ms blocks so that a symbol heard on several channels can be
// given to the one where it is loudest.
#pragma once

#include "Decoder.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

class TChannelLane
{
  public:
    // Symbols are handed over with Channel set.
    TChannelLane(int Rate, int Channel, TDetectorKind Kind, const TStrictLimits &Limits,
                 TSymbolDetector::THandler OnSymbol);

    // Samples of this channel alone, on the scale [-1, 1).
    void Feed(const float *Samples, size_t Count);
    void Finish();
    std::string Error() const;

    // No symbol still to come from this channel starts before this position
    // (in samples at the detector's rate).
    int64_t Frontier() const { return Detector->Frontier(); }
    // The mean power between two positions at the detector's rate.
    double Power(int64_t Start, int64_t End) const;
    // The level before Position is no longer needed.
    void Forget(int64_t Position);

  private:
    int64_t BlockOf(int64_t Position) const;

    int Rate;
    int64_t BlockLength;
    std::unique_ptr<TSymbolDetector> Detector;
    std::unique_ptr<TMonoResampler> Resampler;
    std::deque<double> Blocks; // the power of each whole block from FirstBlock on
    int64_t FirstBlock = 0;
    double Sum = 0; // of the block being filled
    int64_t Filled = 0;
};
