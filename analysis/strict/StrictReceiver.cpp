#include "StrictReceiver.h"

#include "Keypad.h"

#include <algorithm>
#include <cmath>

namespace {

// What the path in front of the tone bank does to each keypad tone: the
// decimator's droop, when there is one.
std::array<double, DtmfToneCount> FrontGains(int Factor)
{
    std::array<double, DtmfToneCount> Gain;
    for (int k = 0; k < DtmfToneCount; ++k)
        Gain[k] = Factor > 1 ? TDecimator::Gain(DtmfFrequencies[k]) : 1.0;
    return Gain;
}

// An edge between samples of the 8000 Hz signal as an edge between input
// samples: each low-rate sample stands for the Factor input samples centred
// on it.
double Shift(int Factor)
{
    return Factor > 1 ? TDecimator::CentreOffset + 0.5 - Factor / 2.0 : 0.0;
}

} // namespace

TStrictReceiver::TStrictReceiver(int Rate, const TStrictLimits &Limits)
    : Factor(Rate == TToneBank::Rate ? 1 : TDecimator::Factor), TheLimits(Limits),
      Judge(FrontGains(Factor), Limits),
      Tracker(TToneBank::Window, TToneBank::Long, Limits, Factor, Shift(Factor))
{
}

void TStrictReceiver::Receive(const float *Samples, size_t Count,
                              std::vector<TDecodedSymbol> &Ended,
                              std::vector<TDecodedSymbol> *Started)
{
    while (Count > 0) {
        const size_t Take = std::min(Count, Chunk);
        Received += static_cast<int64_t>(Take);
        if (Factor > 1) {
            const size_t Made = Decimator.Process(Samples, Take, Low);
            AtLowRate(Low, Made, Ended, Started);
        } else {
            AtLowRate(Samples, Take, Ended, Started);
        }
        Samples += Take;
        Count -= Take;
    }
}

void TStrictReceiver::AtLowRate(const float *Samples, size_t Count,
                                std::vector<TDecodedSymbol> &Ended,
                                std::vector<TDecodedSymbol> *Started)
{
    while (Count > 0) {
        // Whole sub-blocks are analysed where they lie.
        if (Filled == 0 && Count >= TToneBank::SubBlock) {
            Analysed(Samples, Ended, Started);
            Samples += TToneBank::SubBlock;
            Count -= TToneBank::SubBlock;
            continue;
        }
        const size_t Take = std::min(Count, static_cast<size_t>(TToneBank::SubBlock - Filled));
        std::copy(Samples, Samples + Take, SubBlock + Filled);
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled < TToneBank::SubBlock)
            break;
        Filled = 0;
        Analysed(SubBlock, Ended, Started);
    }
}

// The windows that end with Block, the next sub-block, judged and tracked.
void TStrictReceiver::Analysed(const float *Block, std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    const TToneWindow &Now = Bank.Analyse(Block, -SteadyLow.Take(Block));
    Stretch.Take(Now, Bank.Unchanged());
    // Windows that stay as they were get the verdicts they got before; in
    // long silence the windows stay as they are from here on.
    if (!Bank.Unchanged()) {
        LongKept = false;
        const TPairVerdict Verdict = Judge.Judge(Now, Bank.Previous(), ShortLimits,
                                                 Tracker.Sounding(), Tracker.CarryingLevel());
        if (Bank.Quiet())
            Kept = Verdict;
        WithLong(Verdict, Ended, Started);
    } else {
        WithLong(Kept, Ended, Started);
    }
}

// The long window's verdict when the tracker wants one, then both tracked.
void TStrictReceiver::WithLong(const TPairVerdict &Verdict, std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    static const TPairVerdict NoVerdict;
    if (!Tracker.WantsLong()) {
        Track(Verdict, NoVerdict, Ended, Started);
    } else if (LongKept) {
        Track(Verdict, KeptLong, Ended, Started);
    } else {
        const TPairVerdict LongVerdict =
            Judge.Judge(Bank.LongWindow(), Bank.PreviousLong(), LongLimits);
        if (Bank.Quiet()) {
            KeptLong = LongVerdict;
            LongKept = true;
        }
        Track(Verdict, LongVerdict, Ended, Started);
    }
}

void TStrictReceiver::Track(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict,
                            std::vector<TDecodedSymbol> &Ended,
                            std::vector<TDecodedSymbol> *Started)
{
    const double WindowStart =
        static_cast<double>(Windows + 1) * TToneBank::SubBlock - TToneBank::Window;
    ++Windows;
    const size_t EndedBefore = Ended.size();
    const size_t StartedBefore = Started != nullptr ? Started->size() : 0;
    Tracker.Take(Verdict, LongVerdict, WindowStart, Ended, Started);
    // 80 ms of windows, then 60 ms for a shorter tone.
    for (int Count = TToneStretch::MostWindows; Count >= TToneStretch::MostWindows - 1; --Count) {
        if (!Tracker.WantsStretch())
            break;
        const TPairVerdict StretchVerdict =
            Judge.Judge(Stretch.Stretch(Count, 0), Stretch.Stretch(Count, 1), StretchLimits);
        int LowTone = 0;
        int HighTone = 0;
        const double Fill =
            KeypadTones(StretchVerdict.Symbol, LowTone, HighTone)
                ? std::min(Stretch.Fill(Count, LowTone), Stretch.Fill(Count, HighTone))
                : 0;
        Tracker.TakeStretch(StretchVerdict, Fill, Count * TToneBank::Window / TToneBank::Rate,
                            Ended, Started);
    }
    Clamp(Ended, EndedBefore, true);
    if (Started != nullptr)
        Clamp(*Started, StartedBefore, false);
}

// Edges never lie outside the input taken so far.
void TStrictReceiver::Clamp(std::vector<TDecodedSymbol> &Symbols, size_t From, bool Ends) const
{
    for (size_t i = From; i < Symbols.size(); ++i) {
        Symbols[i].Start = std::clamp<int64_t>(Symbols[i].Start, 0, Received);
        if (Ends)
            Symbols[i].End = std::clamp<int64_t>(Symbols[i].End, 0, Received);
    }
}

void TStrictReceiver::Finish(std::vector<TDecodedSymbol> &Ended)
{
    // Silence long enough to let every window that holds input pass and a
    // digit sounding at the end be seen missing.
    constexpr int MostZeros = TToneBank::SubBlock * TDecimator::Factor;
    const float Zeros[MostZeros] = {};
    for (int i = 0; i < TToneBank::SubBlocksPerWindow + 8; ++i) {
        if (Factor > 1)
            AtLowRate(Low, Decimator.Process(Zeros, MostZeros, Low), Ended, nullptr);
        else
            AtLowRate(Zeros, TToneBank::SubBlock, Ended, nullptr);
    }
    const size_t EndedBefore = Ended.size();
    Tracker.Finish(Ended);
    Clamp(Ended, EndedBefore, true);

    Decimator.Reset();
    SteadyLow.Reset();
    Bank.Reset();
    Stretch.Reset();
    LongKept = false;
    Filled = 0;
    Windows = 0;
    Received = 0;
}
