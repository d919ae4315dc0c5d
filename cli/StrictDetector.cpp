#include "StrictDetector.h"

#include <algorithm>

TStrictDetector::TStrictDetector(THandler OnSymbol, int Rate, const TStrictLimits &Limits)
    : OnSymbol(std::move(OnSymbol)), Receiver(Rate, Limits),
      Scale(TStrictReceiver::SampleRate / Receiver.Rate())
{
}

void TStrictDetector::ReceiveShorts(const int16_t *Samples, size_t Count)
{
    // Pieces of a fixed length, so that the conversion vectorises.
    float Floats[Piece];
    while (Count >= Piece) {
        for (size_t i = 0; i < Piece; ++i)
            Floats[i] = static_cast<float>(Samples[i]) * (1.0f / 32768.0f);
        Receiver.Receive(Floats, Piece, Decided);
        Samples += Piece;
        Count -= Piece;
    }
    for (size_t i = 0; i < Count; ++i)
        Floats[i] = static_cast<float>(Samples[i]) * (1.0f / 32768.0f);
    ReceiveFloats(Floats, Count);
}

void TStrictDetector::ReceiveFloats(const float *Samples, size_t Count)
{
    Receiver.Receive(Samples, Count, Decided);
    HandOver();
}

void TStrictDetector::Finish()
{
    Receiver.Finish(Decided);
    HandOver();
}

void TStrictDetector::HandOver()
{
    for (TDecodedSymbol &S : Decided) {
        S.Start *= Scale;
        S.End *= Scale;
        OnSymbol(S);
    }
    Decided.clear();
}
