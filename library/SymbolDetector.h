// The detector end of the decoder: mono samples at 48000 Hz in, keypad
// symbols out, each with where it starts and ends.
#pragma once

#include "Symbol.h"

#include <cstddef>
#include <cstdint>
#include <functional>

class TSymbolDetector
{
  public:
    using THandler = std::function<void(const TDecodedSymbol &Symbol)>;

    virtual ~TSymbolDetector() = default;
    virtual void ReceiveShorts(const int16_t *Samples, size_t Count) = 0;
    // On the scale [-1, 1).
    virtual void ReceiveFloats(const float *Samples, size_t Count) = 0;
    // The input has ended: whatever is still pending is decided.
    virtual void Finish() = 0;
    // No symbol still to be handed over starts before this position.
    virtual int64_t Frontier() const = 0;
};
