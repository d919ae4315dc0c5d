// The strict receiver on the window's digit line: fed from the same capture
// buffers as the meter, it puts each digit on the line as soon as the
// receiver confirms its start, while the key is still held.
#pragma once

#include "strict/StrictReceiver.h"
#include "window/DtmfSpine.h"

#include <cstdint>
#include <vector>

class TStrictBlockDetector : public TBlockDetector
{
  public:
    TStrictBlockDetector();

    void DetectBlock(const int16_t *Samples, int32_t Count, TDtmfSpine &Spine) override;

  private:
    // With the logging category "dtmf.detector" on: the digit and how long
    // after its tone began it reached the line.
    void LogShown(const TDecodedSymbol &Digit) const;

    TStrictReceiver Receiver;
    float Scaled[BlockSamples];
    std::vector<TDecodedSymbol> Ended;
    std::vector<TDecodedSymbol> Started;
    int64_t Taken = 0; // samples taken in so far
};
