// Runs audio of any supported rate and channel count through the detectors:
// each channel through a detector of its own (or one picked, or their mean),
// resampling to 48000 Hz (8000 Hz stays as it is for the strict receiver),
// and a report of every symbol decided, with its start, end (at 48000 Hz)
// and channel, in the order of their starts.
#pragma once

#include "MonoResampler.h"
#include "SymbolDetector.h"
#include "window/ToneDetector.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TChannelLane;
class TSymbolMerger;

// Why a rate and channel count can't be decoded, or "" when they can.
std::string UnsupportedInput(int Rate, int Channels);

// Whether samples at Rate reach a detector of Kind as they are: 48000 Hz
// always, and the strict receiver's own 8000 Hz too.
bool DetectorTakes(TDetectorKind Kind, int Rate);

// Which channels of an input of several are decoded.
struct TChannelChoice
{
    int Channel = 0;  // only this one (from 1); 0: each on its own
    bool Mix = false; // their mean, as one channel
};

class TDecoder
{
  public:
    // Rate and Channels must be supported, Limits without a fault. OnEnded
    // gets each symbol once it has ended, OnStarted (if given) each as soon
    // as the detector is sure of it; of an input of several channels decoded
    // each on its own, only the ended symbols are handed over.
    TDecoder(int Rate, int Channels, TDetectorKind Kind, const TStrictLimits &Limits,
             TSymbolDetector::THandler OnEnded, TSymbolDetector::THandler OnStarted = nullptr,
             TChannelChoice Choice = {});
    ~TDecoder();
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

    // Why decoding went wrong (no such channel, the resampler failed), or "".
    std::string Error() const;

    TSymbolDetector &Detector() { return *TheDetector; }
    // The strict receiver that takes every sample (of one channel, or of all
    // mixed into one), or null when there is none such.
    TStrictDetector *Strict();

  private:
    void MixDown(const float *Frames, size_t Count);
    void FeedLanes(const float *Frames, size_t Count);

    int InputRate;
    int ChannelCount;
    std::unique_ptr<TSymbolDetector> TheDetector;
    std::unique_ptr<TMonoResampler> Resampler;
    std::vector<float> Mono;
    std::vector<float> Converted;
    // Channels decoded each on its own, or the one picked.
    std::vector<std::unique_ptr<TChannelLane>> Lanes;
    std::unique_ptr<TSymbolMerger> Merger;
    int Picked = 0;
    std::string ChoiceError;
    std::vector<float> LaneSamples;
    std::vector<int64_t> Frontiers;
};

// Seconds of a position in samples at 48000 Hz.
double SampleSeconds(int64_t Sample);
