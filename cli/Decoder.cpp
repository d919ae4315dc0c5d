#include "Decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int16_t ToSample(float Value)
{
    const float Scaled = Value * 32768.0f;
    if (std::isnan(Scaled))
        return 0;
    if (Scaled >= 32767.0f)
        return 32767;
    if (Scaled <= -32768.0f)
        return -32768;
    return static_cast<int16_t>(std::lrint(Scaled));
}

} // namespace

bool IsSupportedInput(int Rate, int Channels)
{
    return Rate >= MinInputRate && Rate <= MaxInputRate && Channels >= 1 &&
           Channels <= MaxInputChannels;
}

TDecoder::TDecoder(int Rate, int Channels, TSymbolHandler OnSymbol)
    : ChannelCount(Channels), OnSymbol(std::move(OnSymbol))
{
    if (Rate != static_cast<int>(DetectorSampleRate))
        Resampler = std::make_unique<TMonoResampler>(
            Rate, [this](const float *Samples, size_t Count) { PushMono(Samples, Count); });
}

double TDecoder::BlockStart(int64_t Block)
{
    return static_cast<double>(Block) * BlockSamples / DetectorSampleRate;
}

void TDecoder::FeedShorts(const int16_t *Frames, size_t Count)
{
    if (ChannelCount == 1 && !Resampler) {
        PushSamples(Frames, Count);
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
        PushMono(MonoFrames, Count);
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

void TDecoder::PushMono(const float *Samples, size_t Count)
{
    Shorts.resize(Count);
    std::transform(Samples, Samples + Count, Shorts.begin(), ToSample);
    PushSamples(Shorts.data(), Count);
}

void TDecoder::PushSamples(const int16_t *Samples, size_t Count)
{
    while (Count > 0) {
        const size_t Take = std::min<size_t>(Count, BlockSamples - Filled);
        std::memcpy(Block + Filled, Samples, Take * sizeof(int16_t));
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled == BlockSamples)
            SendBlock();
    }
}

void TDecoder::SendBlock()
{
    TheSpine.ReceiveBlock(Block, BlockBytes);
    // Receiving block k analyses block k - 1.
    const char Symbol = TheSpine.EmittedSymbol();
    if (Symbol != ' ')
        OnSymbol(Symbol, Received - 1);
    ++Received;
    Filled = 0;
}

void TDecoder::Finish()
{
    if (Resampler)
        Resampler->Finish();
    if (Filled > 0) {
        std::fill(Block + Filled, Block + BlockSamples, 0);
        Filled = BlockSamples;
        SendBlock();
    }
    std::fill(std::begin(Block), std::end(Block), 0);
    SendBlock();
}
