#include "Decoder.h"

#include <algorithm>

std::string UnsupportedInput(int Rate, int Channels)
{
    if (Rate < MinInputRate || Rate > MaxInputRate)
        return "unsupported format: a sample rate of " + std::to_string(Rate) + " Hz (" +
               std::to_string(MinInputRate) + " to " + std::to_string(MaxInputRate) +
               " Hz can be decoded)";
    if (Channels < 1 || Channels > MaxInputChannels)
        return "unsupported format: " + std::to_string(Channels) + " channels (1 to " +
               std::to_string(MaxInputChannels) + " can be decoded)";
    return "";
}

namespace {

constexpr int DetectorRate = static_cast<int>(DetectorSampleRate);

// Whether samples at Rate reach the detector as they are: 48000 Hz always,
// and the strict receiver's own 8000 Hz too.
bool Direct(int Rate, TDetectorKind Kind)
{
    return Rate == DetectorRate ||
           (Kind == TDetectorKind::Strict && TStrictReceiver::TakesRate(Rate));
}

} // namespace

double SampleSeconds(int64_t Sample)
{
    return static_cast<double>(Sample) / DetectorSampleRate;
}

TDecoder::TDecoder(int Rate, int Channels, TDetectorKind Kind, const TStrictLimits &Limits,
                   TSymbolDetector::THandler OnEnded, TSymbolDetector::THandler OnStarted)
    : InputRate(Rate), ChannelCount(Channels),
      TheDetector(TSymbolDetector::Make(Kind, Limits, std::move(OnEnded), std::move(OnStarted),
                                        Direct(Rate, Kind) ? Rate : DetectorRate))
{
    if (!Direct(Rate, Kind))
        Resampler =
            std::make_unique<TMonoResampler>(Rate, [this](const float *Samples, size_t Count) {
                TheDetector->ReceiveFloats(Samples, Count);
            });
}

void TDecoder::FeedShorts(const int16_t *Frames, size_t Count)
{
    if (ChannelCount == 1 && !Resampler) {
        TheDetector->ReceiveShorts(Frames, Count);
        return;
    }
    Converted.resize(Count * static_cast<size_t>(ChannelCount));
    std::transform(Frames, Frames + Converted.size(), Converted.begin(),
                   [](int16_t S) { return static_cast<float>(S) / 32768.0f; });
    FeedFloats(Converted.data(), Count);
}

void TDecoder::FeedFloats(const float *Frames, size_t Count)
{
    const float *MonoFrames = Frames;
    if (ChannelCount > 1) {
        MixDown(Frames, Count);
        MonoFrames = Mono.data();
    }
    if (Resampler)
        Resampler->Feed(MonoFrames, Count);
    else
        TheDetector->ReceiveFloats(MonoFrames, Count);
}

void TDecoder::MixDown(const float *Frames, size_t Count)
{
    Mono.resize(Count);
    for (size_t f = 0; f < Count; ++f) {
        const float *Frame = Frames + f * static_cast<size_t>(ChannelCount);
        double Sum = 0;
        for (int c = 0; c < ChannelCount; ++c)
            Sum += Frame[c];
        Mono[f] = static_cast<float>(Sum / ChannelCount);
    }
}

void TDecoder::Finish()
{
    if (Resampler)
        Resampler->Finish();
    TheDetector->Finish();
}

std::string TDecoder::Error() const
{
    if (Resampler && !Resampler->Error().empty())
        return "the resampler failed: " + Resampler->Error();
    return "";
}
