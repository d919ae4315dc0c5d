#include "Decoder.h"

#include "ChannelLane.h"
#include "SymbolMerger.h"

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

} // namespace

bool DetectorTakes(TDetectorKind Kind, int Rate)
{
    return Rate == DetectorRate ||
           (Kind == TDetectorKind::Strict && TStrictReceiver::TakesRate(Rate));
}

double SampleSeconds(int64_t Sample)
{
    return static_cast<double>(Sample) / DetectorSampleRate;
}

TDecoder::TDecoder(int Rate, int Channels, TDetectorKind Kind, const TStrictLimits &Limits,
                   TSymbolDetector::THandler OnEnded, TSymbolDetector::THandler OnStarted,
                   TChannelChoice Choice)
    : InputRate(Rate), ChannelCount(Channels)
{
    if (Choice.Channel > Channels)
        ChoiceError = "there is no channel " + std::to_string(Choice.Channel) + ": it has " +
                      std::to_string(Channels) + " channels";
    if (Channels > 1 && !Choice.Mix && ChoiceError.empty()) {
        // Symbols of channels decoded each on their own are handed over
        // whole, to whichever handler there is.
        const TSymbolDetector::THandler Report = OnEnded ? OnEnded : OnStarted;
        Picked = Choice.Channel;
        if (Picked > 0) {
            Lanes.push_back(std::make_unique<TChannelLane>(Rate, Picked, Kind, Limits, Report));
        } else {
            Merger = std::make_unique<TSymbolMerger>(
                Report, [this](int Channel, int64_t Start, int64_t End) {
                    return Lanes[static_cast<size_t>(Channel - 1)]->Power(Start, End);
                });
            for (int c = 1; c <= Channels; ++c)
                Lanes.push_back(std::make_unique<TChannelLane>(
                    Rate, c, Kind, Limits, [this](const TDecodedSymbol &S) { Merger->Add(S); }));
            Frontiers.resize(Lanes.size());
        }
        return;
    }
    const bool Direct = DetectorTakes(Kind, Rate);
    TheDetector = TSymbolDetector::Make(Kind, Limits, std::move(OnEnded), std::move(OnStarted),
                                        Direct ? Rate : DetectorRate);
    if (!Direct)
        Resampler =
            std::make_unique<TMonoResampler>(Rate, [this](const float *Samples, size_t Count) {
                TheDetector->ReceiveFloats(Samples, Count);
            });
}

TDecoder::~TDecoder() = default;

TStrictDetector *TDecoder::Strict()
{
    return dynamic_cast<TStrictDetector *>(TheDetector.get());
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
    if (!Lanes.empty()) {
        FeedLanes(Frames, Count);
        return;
    }
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

void TDecoder::FeedLanes(const float *Frames, size_t Count)
{
    LaneSamples.resize(Count);
    const auto Stride = static_cast<size_t>(ChannelCount);
    for (size_t i = 0; i < Lanes.size(); ++i) {
        const size_t Channel = Picked > 0 ? static_cast<size_t>(Picked - 1) : i;
        for (size_t f = 0; f < Count; ++f)
            LaneSamples[f] = Frames[f * Stride + Channel];
        Lanes[i]->Feed(LaneSamples.data(), Count);
    }
    if (!Merger)
        return;
    for (size_t i = 0; i < Lanes.size(); ++i)
        Frontiers[i] = Lanes[i]->Frontier();
    const int64_t Needed = Merger->Release(Frontiers);
    for (const auto &Lane : Lanes)
        Lane->Forget(Needed);
}

void TDecoder::Finish()
{
    if (!Lanes.empty()) {
        for (const auto &Lane : Lanes)
            Lane->Finish();
        if (Merger)
            Merger->Flush();
        return;
    }
    if (Resampler)
        Resampler->Finish();
    TheDetector->Finish();
}

std::string TDecoder::Error() const
{
    if (!ChoiceError.empty())
        return ChoiceError;
    for (const auto &Lane : Lanes)
        if (!Lane->Error().empty())
            return Lane->Error();
    if (Resampler && !Resampler->Error().empty())
        return "the resampler failed: " + Resampler->Error();
    return "";
}
