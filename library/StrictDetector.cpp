#include "StrictDetector.h"

#include <algorithm>

namespace {

// Longer than the receiver takes to be sure of a digit at its longest minimum tone.
constexpr int64_t SureAfter = 2 * TStrictReceiver::SampleRate;

} // namespace

TStrictDetector::TStrictDetector(THandler OnSymbol) : OnSymbol(std::move(OnSymbol)) {}

void TStrictDetector::ReceiveShorts(const int16_t *Samples, size_t Count)
{
    // Pieces of a fixed length, so that the conversion vectorises.
    float Floats[Piece];
    while (Count >= Piece) {
        for (size_t i = 0; i < Piece; ++i)
            Floats[i] = static_cast<float>(Samples[i]) * (1.0f / 32768.0f);
        Receiver.Receive(Floats, Piece, Decided, &Started);
        Received += static_cast<int64_t>(Piece);
        Samples += Piece;
        Count -= Piece;
    }
    for (size_t i = 0; i < Count; ++i)
        Floats[i] = static_cast<float>(Samples[i]) * (1.0f / 32768.0f);
    ReceiveFloats(Floats, Count);
}

void TStrictDetector::ReceiveFloats(const float *Samples, size_t Count)
{
    Receiver.Receive(Samples, Count, Decided, &Started);
    Received += static_cast<int64_t>(Count);
    HandOver();
}

void TStrictDetector::Finish()
{
    Receiver.Finish(Decided);
    HandOver();
}

int64_t TStrictDetector::Frontier() const
{
    return OpenStart >= 0 ? OpenStart : Received - SureAfter;
}

// The digits of one channel don't overlap: one that ends past the start of
// the digit sounding now is that digit.
void TStrictDetector::HandOver()
{
    if (!Started.empty())
        OpenStart = Started.back().Start;
    for (const TDecodedSymbol &S : Decided) {
        if (OpenStart >= 0 && S.End > OpenStart)
            OpenStart = -1;
        OnSymbol(S);
    }
    Started.clear();
    Decided.clear();
}
