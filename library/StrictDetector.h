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
    // A digit starts a while before the receiver is sure of it: until then
    // the frontier stays that far behind.
    int64_t Frontier() const override;

  private:
    void HandOver();

    THandler OnSymbol;
    TStrictReceiver Receiver;
    std::vector<TDecodedSymbol> Decided;
    std::vector<TDecodedSymbol> Started;
    int64_t OpenStart = -1; // start of the digit sounding now, or -1
    int64_t Received = 0;
    static constexpr size_t Piece = 2048;
};
