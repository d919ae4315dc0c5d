// The strict receiver behind the decoder's detector interface: samples at a
// rate the receiver takes, positions handed over at 48000 Hz.
#pragma once

#include "SymbolDetector.h"
#include "strict/StrictReceiver.h"

#include <vector>

class TStrictDetector : public TSymbolDetector
{
  public:
    TStrictDetector(THandler OnSymbol, int Rate, const TStrictLimits &Limits);

    void ReceiveShorts(const int16_t *Samples, size_t Count) override;
    void ReceiveFloats(const float *Samples, size_t Count) override;
    void Finish() override;

  private:
    void HandOver();

    THandler OnSymbol;
    TStrictReceiver Receiver;
    int64_t Scale; // samples at 48000 Hz per sample of the input
    std::vector<TDecodedSymbol> Decided;
    static constexpr size_t Piece = 2048;
};
