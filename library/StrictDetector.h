// The strict receiver behind the decoder's detector interface.
#pragma once

#include "SymbolDetector.h"
#include "strict/StrictReceiver.h"

#include <vector>

class TStrictDetector : public TSymbolDetector
{
  public:
    explicit TStrictDetector(THandler OnSymbol);

    void ReceiveShorts(const int16_t *Samples, size_t Count) override;
    void ReceiveFloats(const float *Samples, size_t Count) override;
    void Finish() override;

  private:
    void HandOver();

    THandler OnSymbol;
    TStrictReceiver Receiver;
    std::vector<TDecodedSymbol> Decided;
    static constexpr size_t Piece = 2048;
};
