// The strict receiver's first stage, which depends on the samples alone:
// the input brought to 8000 Hz, cut into sub-blocks, cleared of the steady
// power under the keypad's band and analysed by the tone bank. Whatever
// tracks digits takes each sub-block's analysis from it, here or, as a
// record, on another thread.
#pragma once

#include "Decimator.h"
#include "PairJudge.h"
#include "SteadyLow.h"
#include "StrictLimits.h"
#include "ToneBank.h"
#include "ToneNotch.h"

#include <cstddef>
#include <cstdint>

// One sub-block's analysis, to be tracked elsewhere: the tracking makes the
// long windows of the windows themselves when it needs them.
struct TStrictRecord
{
    int64_t Received = 0;               // input samples taken when the sub-block came
    bool Quiet = false;                 // the windows are those of the sub-block before
    bool Unchanged = false;             // and so are their verdicts
    bool Judged = false;                // Verdict holds the window's verdict, whole
    TToneWindow Now;                    // the window that ends with the sub-block, unless Quiet
    float Samples[TToneBank::SubBlock]; // the sub-block as analysed, unless Quiet
    TPairVerdict Verdict;               // as TPairJudge::Judge gives it with NoneCarried
};

class TStrictFront
{
  public:
    // Takes each sub-block's analysis, as soon as the bank has made it.
    class TSink
    {
      public:
        virtual void Analysed(const TStrictFront &Front) = 0;

      protected:
        ~TSink() = default;
    };

    // Factor input samples per sample at 8000 Hz (1, or the decimator's);
    // Gain and Limits as the judge of the tracking stage has them.
    TStrictFront(int Factor, const std::array<double, DtmfToneCount> &Gain,
                 const TStrictLimits &Limits);

    void Receive(const float *Samples, size_t Count, TSink &Sink);
    // Silence after the input, long enough to let every window that holds
    // input pass and a digit sounding at the end be seen missing.
    void Flush(TSink &Sink);
    void Reset();

    const TToneBank &Bank() const { return TheBank; }
    // The window that ends with the last sub-block.
    const TToneWindow &Now() const { return *Latest; }
    // The last sub-block as the bank analysed it.
    const float *Samples() const { return LastBlock; }
    int64_t Received() const { return Taken; }

    // The last sub-block's analysis as a record; with Judge, the window's
    // verdict too, which otherwise the tracking judges. Every window that
    // changed is judged, so none of this work is lost, and whole, as the
    // digit it may carry is known to the tracking only.
    void Record(TStrictRecord &Out, bool Judge) const;

  private:
    static constexpr size_t Chunk = 6 * 1024;

    // Rails, when given, holds for each sample how many of the input samples
    // it was made of sat on the rail.
    void AtLowRate(const float *Samples, const unsigned char *Rails, size_t Count, TSink &Sink);
    void Analyse(const float *Block, const unsigned char *Rails, TSink &Sink);
    void CountRails(const float *Samples, size_t Count, size_t Made);

    const int Factor;
    TPairJudge Judge;
    TDecimator Decimator;
    TToneNotch Notch;
    TSteadyLow SteadyLow;
    TToneBank TheBank;
    const TToneWindow *Latest;
    const float *LastBlock = Zeros;
    static constexpr float Zeros[TToneBank::SubBlock] = {};
    float Low[Chunk];
    // The decimator's filter rounds off the rail of a clipped line, so the
    // input's samples on it are counted before, over the Factor samples that
    // complete each output (a count runs 1.25 outputs ahead of its output's
    // centre, which a window's share does not feel).
    unsigned char LowRails[Chunk];
    int RailRun = 0; // input samples on the rail since the last output
    int RailDue = 0; // input samples still to come before the next output
    float SubBlock[TToneBank::SubBlock];
    float Clear[TToneBank::SubBlock]; // a sub-block through the notches
    unsigned char SubBlockRails[TToneBank::SubBlock];
    int Filled = 0;
    int64_t Taken = 0; // input samples taken so far
};
