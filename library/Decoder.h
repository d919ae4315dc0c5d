// Runs audio of any supported rate and channel count through a detector:
// mixdown to mono by the mean of the channels, resampling to 48000 Hz (8000 Hz
// stays as it is for the strict receiver), and a report of every symbol the
// detector decides, with its start and end at 48000 Hz.
#pragma once

#include "MonoResampler.h"
#include "SymbolDetector.h"
#include "window/ToneDetector.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr int MinInputRate = 1000;
constexpr int MaxInputRate = 1000000;
constexpr int MaxInputChannels = 1024;

// Why a rate and channel count can't be decoded, or "" when they can.
std::string UnsupportedInput(int Rate, int Channels);

class TDecoder
{
  public:
    // Rate and Channels must be supported, Limits without a fault. OnEnded
    // gets each symbol once it has ended, OnStarted (if given) each as soon
    // as the detector is sure of it.
    TDecoder(int Rate, int Channels, TDetectorKind Kind, const TStrictLimits &Limits,
             TSymbolDetector::THandler OnEnded, TSymbolDetector::THandler OnStarted = nullptr);
    TDecoder(const TDecoder &) = delete;
    TDecoder &operator=(const TDecoder &) = delete;

    int Channels() const { return ChannelCount; }
    int Rate() const { return InputRate; }

    // Interleaved frames. Mono shorts at a rate the detector takes reach it
    // unchanged.
    void FeedShorts(const int16_t *Frames, size_t Count);
    // Interleaved frames on the scale [-1, 1).
    void FeedFloats(const float *Frames, size_t Count);
    void Finish();

    // Why decoding went wrong (the resampler failed), or "".
    std::string Error() const;

    TSymbolDetector &Detector() { return *TheDetector; }

  private:
    void MixDown(const float *Frames, size_t Count);

    int InputRate;
    int ChannelCount;
    std::unique_ptr<TSymbolDetector> TheDetector;
    std::unique_ptr<TMonoResampler> Resampler;
    std::vector<float> Mono;
    std::vector<float> Converted;
};

// Seconds of a position in samples at 48000 Hz.
double SampleSeconds(int64_t Sample);
