// The strict receiver of dtmf-decode: a streaming DTMF receiver that wants a
// clean, well-formed tone pair for a minimum time before it starts a digit and
// a clear absence before it ends one. Samples in at 48000 Hz, symbols out with
// their start and end.
#pragma once

#include "Decimator.h"
#include "DigitTracker.h"
#include "PairJudge.h"
#include "ToneBank.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct TStrictSymbol
{
    char Symbol;   // one of "0123456789ABCD*#"
    int64_t Start; // first sample of the tone, counted from the first sample received
    int64_t End;   // one past its last sample
};

class TStrictReceiver
{
  public:
    static constexpr int SampleRate = 48000;
    // What a long window must show: speech over a tone takes much of its
    // power and lifts the other tones of its group now and then, so each
    // window is judged loosely and the tracker judges their sum.
    static constexpr TPairLimits LongLimits = {0.1, 2.0};

    TStrictReceiver();

    // Samples at 48000 Hz on the scale [-1, 1). Every symbol decided while
    // they are taken in is appended to Out, in order.
    void Receive(const float *Samples, size_t Count, std::vector<TStrictSymbol> &Out);

    // The input has ended: a digit still sounding is ended and appended. The
    // receiver then starts afresh, as if newly made.
    void Finish(std::vector<TStrictSymbol> &Out);

  private:
    static constexpr size_t Chunk = 6 * 1024;

    void Decimated(const float *Samples, size_t Count, std::vector<TStrictSymbol> &Out);
    void Emit(std::vector<TStrictSymbol> &Out);
    int64_t InputPosition(double Position) const;

    TDecimator Decimator;
    TToneBank Bank;
    TDigitTracker Tracker;
    float Low[Chunk / TDecimator::Factor + 1];
    float SubBlock[TToneBank::SubBlock];
    int Filled = 0;
    TToneWindow Previous;
    TToneWindow PreviousLong;
    int64_t Windows = 0;  // windows analysed so far
    int64_t Received = 0; // input samples taken so far
    std::vector<TTrackedDigit> Digits;
};
