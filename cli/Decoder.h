// Runs audio of any supported rate and channel count through a fresh spine:
// mixdown to mono by the mean of the channels, resampling to 48000 Hz, blocks
// of 1024 samples through ReceiveBlock, and a report of every symbol the gate
// lets through together with the block whose analysis emitted it.
#pragma once

#include "DigitLine.h"
#include "DtmfSpine.h"
#include "MonoResampler.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

constexpr int MinInputRate = 1000;
constexpr int MaxInputRate = 1000000;
constexpr int MaxInputChannels = 1024;

bool IsSupportedInput(int Rate, int Channels);

class TDecoder
{
  public:
    // Block is the index of the analysed block, counted from the input's
    // first sample at 48000 Hz.
    using TSymbolHandler = std::function<void(char Symbol, int64_t Block)>;

    // Rate and Channels must pass IsSupportedInput.
    TDecoder(int Rate, int Channels, TSymbolHandler OnSymbol);
    TDecoder(const TDecoder &) = delete;
    TDecoder &operator=(const TDecoder &) = delete;

    // False when the resampler could not be set up.
    bool Ok() const { return !Resampler || Resampler->Ok(); }
    int Channels() const { return ChannelCount; }

    // Interleaved frames. 48000 Hz mono shorts reach the spine unchanged.
    void FeedShorts(const int16_t *Frames, size_t Count);
    // Interleaved frames on the scale [-1, 1).
    void FeedFloats(const float *Frames, size_t Count);
    // Pads the last partial block with zeros and sends one all-zero block
    // after it, so that the last real block is analysed too.
    void Finish();

    const TDtmfSpine &Spine() const { return TheSpine; }

    // Start time in seconds of an analysed block.
    static double BlockStart(int64_t Block);

  private:
    void MixDown(const float *Frames, size_t Count);
    void PushMono(const float *Samples, size_t Count);
    void PushSamples(const int16_t *Samples, size_t Count);
    void SendBlock();

    int ChannelCount;
    TSymbolHandler OnSymbol;
    TStringDigitLine Line;
    TDtmfSpine TheSpine{Line};
    std::unique_ptr<TMonoResampler> Resampler;
    std::vector<float> Mono;
    std::vector<float> Converted;
    std::vector<int16_t> Shorts;
    int16_t Block[BlockSamples] = {};
    int Filled = 0;
    int64_t Received = 0;
};
