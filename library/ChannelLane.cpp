#include "ChannelLane.h"

#include <algorithm>

TChannelLane::TChannelLane(int Rate, int Channel, TDetectorKind Kind, const TStrictLimits &Limits,
                           TSymbolDetector::THandler OnSymbol)
    : Rate(Rate), BlockLength(std::max(1, Rate / 100))
{
    const bool Direct = DetectorTakes(Kind, Rate);
    Detector = TSymbolDetector::Make(
        Kind, Limits,
        [Channel, OnSymbol = std::move(OnSymbol)](const TDecodedSymbol &Symbol) {
            TDecodedSymbol Tagged = Symbol;
            Tagged.Channel = Channel;
            OnSymbol(Tagged);
        },
        nullptr, Direct ? Rate : static_cast<int>(DetectorSampleRate));
    if (!Direct)
        Resampler =
            std::make_unique<TMonoResampler>(Rate, [this](const float *Samples, size_t Count) {
                Detector->ReceiveFloats(Samples, Count);
            });
}

void TChannelLane::Feed(const float *Samples, size_t Count)
{
    for (size_t i = 0; i < Count; ++i) {
        Sum += double(Samples[i]) * Samples[i];
        if (++Filled == BlockLength) {
            Blocks.push_back(Sum / static_cast<double>(BlockLength));
            Sum = 0;
            Filled = 0;
        }
    }
    if (Resampler)
        Resampler->Feed(Samples, Count);
    else
        Detector->ReceiveFloats(Samples, Count);
}

void TChannelLane::Finish()
{
    if (Filled > 0)
        Blocks.push_back(Sum / static_cast<double>(Filled));
    Filled = 0;
    Sum = 0;
    if (Resampler)
        Resampler->Finish();
    Detector->Finish();
}

std::string TChannelLane::Error() const
{
    if (Resampler && !Resampler->Error().empty())
        return "the resampler failed: " + Resampler->Error();
    return "";
}

int64_t TChannelLane::BlockOf(int64_t Position) const
{
    return Position * Rate / static_cast<int64_t>(DetectorSampleRate) / BlockLength;
}

double TChannelLane::Power(int64_t Start, int64_t End) const
{
    const int64_t Last = static_cast<int64_t>(Blocks.size()) + FirstBlock;
    const int64_t From = std::clamp(BlockOf(Start), FirstBlock, Last);
    const int64_t To = std::clamp(BlockOf(End) + 1, From, Last);
    double Total = 0;
    for (int64_t b = From; b < To; ++b)
        Total += Blocks[static_cast<size_t>(b - FirstBlock)];
    return To > From ? Total / static_cast<double>(To - From) : 0;
}

void TChannelLane::Forget(int64_t Position)
{
    const int64_t Block = BlockOf(Position);
    while (FirstBlock < Block && !Blocks.empty()) {
        Blocks.pop_front();
        ++FirstBlock;
    }
}
