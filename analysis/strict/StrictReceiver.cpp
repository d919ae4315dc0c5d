#include "StrictReceiver.h"

#include <algorithm>
#include <cmath>

TStrictReceiver::TStrictReceiver(int /*Rate*/, const TStrictLimits &Limits)
    : TheLimits(Limits), Tracker(TToneBank::Window, TToneBank::Long)
{
    Digits.reserve(8);
}

void TStrictReceiver::Receive(const float *Samples, size_t Count,
                              std::vector<TDecodedSymbol> &Ended,
                              std::vector<TDecodedSymbol> *Started)
{
    while (Count > 0) {
        const size_t Take = std::min(Count, Chunk);
        const size_t Made = Decimator.Process(Samples, Take, Low);
        Received += static_cast<int64_t>(Take);
        Decimated(Low, Made, Ended, Started);
        Samples += Take;
        Count -= Take;
    }
}

void TStrictReceiver::Decimated(const float *Samples, size_t Count,
                                std::vector<TDecodedSymbol> &Ended,
                                std::vector<TDecodedSymbol> *Started)
{
    while (Count > 0) {
        const size_t Take = std::min(Count, static_cast<size_t>(TToneBank::SubBlock - Filled));
        std::copy(Samples, Samples + Take, SubBlock + Filled);
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled < TToneBank::SubBlock)
            break;
        Filled = 0;
        const TToneWindow &Now = Bank.Analyse(SubBlock);
        const TPairVerdict Verdict = TPairJudge::Judge(Now, Previous);
        Previous = Now;
        const TToneWindow &Long = Bank.LongWindow();
        const TPairVerdict LongVerdict =
            Tracker.WantsLong() ? TPairJudge::Judge(Long, PreviousLong, nullptr, LongLimits)
                                : TPairVerdict();
        PreviousLong = Long;
        const double WindowStart =
            static_cast<double>(Windows + 1) * TToneBank::SubBlock - TToneBank::Window;
        ++Windows;
        Tracker.Take(Verdict, LongVerdict, WindowStart, Digits);
        Emit(Ended, Started);
    }
}

// An edge between samples of the 8000 Hz signal as an edge between input
// samples: each low-rate sample stands for the Factor input samples centred
// on it.
int64_t TStrictReceiver::InputPosition(double Position) const
{
    const double Input =
        TDecimator::Factor * Position + TDecimator::CentreOffset + 0.5 - TDecimator::Factor / 2.0;
    return std::clamp<int64_t>(std::llround(Input), 0, Received);
}

void TStrictReceiver::Emit(std::vector<TDecodedSymbol> &Ended, std::vector<TDecodedSymbol> *Started)
{
    std::vector<TTrackedDigit> &Starts = Tracker.StartedDigits();
    if (Started != nullptr)
        for (const TTrackedDigit &Digit : Starts)
            Started->push_back({Digit.Symbol, InputPosition(Digit.Start), -1});
    Starts.clear();
    for (const TTrackedDigit &Digit : Digits)
        Ended.push_back({Digit.Symbol, InputPosition(Digit.Start), InputPosition(Digit.End)});
    Digits.clear();
}

void TStrictReceiver::Finish(std::vector<TDecodedSymbol> &Ended)
{
    // Silence long enough to let every window that holds input pass and a
    // digit sounding at the end be seen missing.
    constexpr int ZeroCount = TToneBank::SubBlock * TDecimator::Factor;
    const float Zeros[ZeroCount] = {};
    for (int i = 0; i < TToneBank::SubBlocksPerWindow + 8; ++i)
        Decimated(Low, Decimator.Process(Zeros, ZeroCount, Low), Ended, nullptr);
    Tracker.Finish(Digits);
    Emit(Ended, nullptr);

    Decimator.Reset();
    Bank.Reset();
    Previous = TToneWindow();
    PreviousLong = TToneWindow();
    Filled = 0;
    Windows = 0;
    Received = 0;
}
