// The two detectors behind one interface: mono samples in, keypad symbols
// out, each with where it starts and ends in samples from the first one.
//   strict  the strict receiver: a clean tone pair for about 40 ms, with the
//           run-time limits of TStrictLimits;
//   window  the window program's detector: blocks of 1024 samples through the
//           spine's detector and gate. A symbol starts at the block whose
//           analysis let it through and ends with the last block that carried it.
#pragma once

#include "DecodeChoices.h"
#include "StrictPipe.h"
#include "Symbol.h"
#include "strict/StrictLimits.h"
#include "strict/StrictReceiver.h"
#include "window/DigitLine.h"
#include "window/DtmfSpine.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TSymbolDetector
{
  public:
    using THandler = std::function<void(const TDecodedSymbol &Symbol)>;

    // OnEnded, when given, gets each symbol once it has ended; OnStarted, when
    // given, each as soon as the detector is sure of it, its End -1. Samples
    // come at Rate: 48000 Hz, or for the strict receiver any rate it takes;
    // positions are told at 48000 Hz all the same.
    static std::unique_ptr<TSymbolDetector> Make(TDetectorKind Kind, const TStrictLimits &Limits,
                                                 THandler OnEnded, THandler OnStarted,
                                                 int Rate = 48000);

    virtual ~TSymbolDetector() = default;
    virtual void ReceiveShorts(const int16_t *Samples, size_t Count) = 0;
    // On the scale [-1, 1).
    virtual void ReceiveFloats(const float *Samples, size_t Count) = 0;
    // The input has ended: whatever is still pending is decided.
    virtual void Finish() = 0;
    // No symbol still to be handed over starts before this position.
    virtual int64_t Frontier() const = 0;

  protected:
    TSymbolDetector(THandler OnEnded, THandler OnStarted);

    THandler OnEnded;
    THandler OnStarted;
};

class TStrictDetector : public TSymbolDetector
{
  public:
    TStrictDetector(const TStrictLimits &Limits, THandler OnEnded, THandler OnStarted,
                    int Rate = TStrictReceiver::SampleRate);

    void ReceiveShorts(const int16_t *Samples, size_t Count) override;
    void ReceiveFloats(const float *Samples, size_t Count) override;
    void Finish() override;
    // A digit starts a while before the receiver is sure of it: until then
    // the frontier stays that far behind.
    int64_t Frontier() const override;

    // The two stages on two threads (see TStrictReceiver::Divert): while Pipe
    // is given, the calls above only analyse the samples, into Pipe, and
    // Track, on another thread, tracks digits in what Pipe gave and hands the
    // symbols over there. Frontier is then the analysing side's.
    void Divert(TStrictPipe *Pipe);
    void Track(const TPipedRecord *Records, size_t Count);

  private:
    void HandOver();

    TStrictReceiver Receiver;
    TStrictPipe *Piped = nullptr;
    int64_t Scale; // samples at 48000 Hz per sample taken
    std::vector<TDecodedSymbol> Ended;
    std::vector<TDecodedSymbol> Started;
    int64_t OpenStart = -1; // start of the digit sounding now, or -1
    int64_t Received = 0;
    static constexpr size_t Piece = 2048;
};

class TWindowDetector : public TSymbolDetector
{
  public:
    TWindowDetector(THandler OnEnded, THandler OnStarted);

    void ReceiveShorts(const int16_t *Samples, size_t Count) override;
    void ReceiveFloats(const float *Samples, size_t Count) override;
    // Pads the last partial block with zeros and analyses it.
    void Finish() override;
    int64_t Frontier() const override { return Sounding ? Current.Start : BlockStart; }

    // After Finish: the last partial block, padded, as the spine saw it.
    const int16_t *LastBlock() const { return Block; }

  private:
    // The detector reports symbols itself; nothing ever shows the line, so it
    // holds no text and the spine touches no string on a block that emits nothing.
    class TUnshownDigitLine : public TDigitLine
    {
      public:
        std::string Text() const override { return {}; }
        void SetText(const std::string &) override {}
    };

    void AnalyseBlock(const int16_t *Samples);
    void EndSymbol();

    TUnshownDigitLine Line;
    TDtmfSpine Spine{Line};
    int16_t Block[BlockSamples] = {};
    int Filled = 0;
    int64_t BlockStart = 0;
    bool Sounding = false;
    TDecodedSymbol Current{};
    std::vector<int16_t> Shorts;
};
