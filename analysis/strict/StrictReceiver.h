// The strict receiver of dtmf-decode: a streaming DTMF receiver that wants a
// clean, well-formed tone pair for a minimum time before it starts a digit and
// a clear absence before it ends one. Samples in at 48000 or 8000 Hz, brought
// to 8000 Hz, cleared of DC and of the call-progress tones under the keypad's
// band, then analysed in windows, long windows and stretches of windows;
// symbols out with their start and end.
#pragma once

#include "DigitTracker.h"
#include "PairJudge.h"
#include "StrictFront.h"
#include "StrictLimits.h"
#include "Symbol.h"
#include "ToneBank.h"
#include "ToneStretch.h"
#include "VoiceComb.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TStrictReceiver : private TStrictFront::TSink
{
  public:
    static constexpr int SampleRate = 48000;
    // What a long window must show: speech over a tone takes much of its
    // power and lifts the other tones of its group now and then, so each
    // window is judged loosely (each tone only the strongest of its group,
    // its share of the power in the keypad's band, as music's bass takes
    // most of the rest) and the tracker judges their sum.
    static constexpr TPairLimits LongLimits = {0.1, 1.0, true};
    // A short window may hold a pair with a small share of its power (a tone
    // under music or loud speech); the tracker asks more of a digit whose
    // windows show little share.
    static constexpr TPairLimits ShortLimits = {0.15, TPairLimits().MinDominance};
    // A stretch of windows holds a pair when each tone stands 9 dB over the
    // other tones of its group there, a decibel more than a window asks, as
    // it starts digits that the windows could not, or 3 dB over one whose
    // bin holds a frequency 0.5 % or more off the keypad's (a voice or music
    // beside the pair), with a tenth of the power in the keypad's band.
    static constexpr TPairLimits StretchLimits = {0.1, 8.0, true, 0.005, 2.0};
    // A span: the stretch of the last three windows (60 ms), judged as a
    // stretch is at every step while no digit sounds.
    static constexpr int SpanWindows = 3;

    // Rate must be one that TakesRate accepts, Limits without a Fault.
    explicit TStrictReceiver(int Rate = SampleRate, const TStrictLimits &Limits = {});
    // It points into itself (the tracker hears its samples, the windows are
    // kept by address), so it stays where it was made.
    TStrictReceiver(const TStrictReceiver &) = delete;
    TStrictReceiver &operator=(const TStrictReceiver &) = delete;

    // 48000 Hz, brought down to 8000 Hz, and 8000 Hz as it is.
    static bool TakesRate(int Rate) { return Rate == SampleRate || Rate == TToneBank::Rate; }
    int Rate() const { return Factor * static_cast<int>(TToneBank::Rate); }
    const TStrictLimits &Limits() const { return TheLimits; }

    // Samples on the scale [-1, 1). Every symbol that ends while they are
    // taken in is appended to Ended, in order, and each that starts, as soon
    // as it is confirmed, to Started (with End -1). Positions count samples
    // at Rate() from the first one received.
    void Receive(const float *Samples, size_t Count, std::vector<TDecodedSymbol> &Ended,
                 std::vector<TDecodedSymbol> *Started = nullptr);

    // The input has ended: a digit still sounding is ended and appended. The
    // receiver then starts afresh, as if newly made.
    void Finish(std::vector<TDecodedSymbol> &Ended);

    // The two stages apart, for whole inputs: while Sink is given, Receive
    // and Finish run only the analysis of the samples and hand each
    // sub-block's to Sink, which makes a record of it (TStrictFront::Record)
    // that TakeRecord takes, in order, on any one thread; Finished ends what
    // Finish left to it. Neither stage touches what the other uses. Records
    // taken must stay where they are until KeepRecords.
    void Divert(TStrictFront::TSink *Sink) { Diverted = Sink; }
    void TakeRecord(const TStrictRecord &Record, std::vector<TDecodedSymbol> &Ended,
                    std::vector<TDecodedSymbol> *Started);
    void KeepRecords();
    void Finished(std::vector<TDecodedSymbol> &Ended);

  private:
    // One sub-block's analysis as the tracking takes it: the windows that
    // end with it and those one step earlier (the long ones null for a
    // record's), and the window's whole verdict when it was judged ahead.
    struct TStep
    {
        const TToneWindow &Now;
        const float *Samples; // the sub-block, null for silence
        const TToneWindow &Previous;
        const TToneWindow *Long;
        const TToneWindow *PreviousLong;
        bool Quiet;
        bool Unchanged;
        int64_t Received;
        const TPairVerdict *Judged;
    };

    void Analysed(const TStrictFront &Analysis) override;
    void Analysed(const TStep &Step, std::vector<TDecodedSymbol> &Ended,
                  std::vector<TDecodedSymbol> *Started);
    TPairVerdict JudgeLong(const TStep &Step);
    // The window of the record taken Back records with windows before the last.
    const TToneWindow &Taken(int Back) const { return *Recent[(Newest - Back + Joined) % Joined]; }
    void WithLong(const TStep &Step, const TPairVerdict &Verdict,
                  std::vector<TDecodedSymbol> &Ended, std::vector<TDecodedSymbol> *Started);
    TPairVerdict JudgeSpan(double &Fill) const;
    void Track(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict, bool Unchanged,
               std::vector<TDecodedSymbol> &Ended, std::vector<TDecodedSymbol> *Started);
    void Clamp(std::vector<TDecodedSymbol> &Symbols, size_t From, bool Ends) const;

    const int Factor; // input samples per sample at 8000 Hz
    TStrictLimits TheLimits;
    TStrictFront Front;
    TStrictFront::TSink *Diverted = nullptr;
    // Where the symbols go while Receive or Finish runs both stages.
    std::vector<TDecodedSymbol> *Ending = nullptr;
    std::vector<TDecodedSymbol> *Starting = nullptr;
    TToneStretch Stretch;
    TVoiceComb Comb;
    TPairJudge Judge;
    TDigitTracker Tracker;
    // The verdicts on the windows of a long silence, the long one when
    // LongKept.
    TPairVerdict Kept;
    TPairVerdict KeptLong;
    bool LongKept = false;
    int64_t Windows = 0;  // windows analysed so far
    int64_t Received = 0; // input samples taken when the last sub-block came
    // The windows of the last records taken that have them, and their
    // copies once the records may go; enough to make the long windows.
    static constexpr int Joined = TToneBank::SubBlocksPerWindow + 2;
    const TToneWindow *Recent[Joined];
    TToneWindow Copies[Joined];
    int Newest = 0;
    int64_t Seen = 0; // records with windows taken
    // The last two long windows made of records' windows, the newer one
    // made when JoinedSeen records with windows had been taken: the long
    // window one step later needs no other.
    TToneWindow JoinedLongs[2];
    int JoinedNewer = 0;
    int64_t JoinedSeen = -1;
};
