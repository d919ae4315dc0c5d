#include "StrictDetector.h"

#include <algorithm>

TStrictDetector::TStrictDetector(THandler OnSymbol) : OnSymbol(std::move(OnSymbol)) {}

void TStrictDetector::ReceiveShorts(const int16_t *Samples, size_t Count)
{
    Floats.resize(Count);
    std::transform(Samples, Samples + Count, Floats.begin(),
                   [](int16_t S) { return static_cast<float>(S) * (1.0f / 32768.0f); });
    ReceiveFloats(Floats.data(), Count);
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
    for (const TStrictSymbol &S : Decided)
        OnSymbol({S.Symbol, S.Start, S.End});
    Decided.clear();
}
