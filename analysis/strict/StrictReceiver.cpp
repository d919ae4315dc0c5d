#include "StrictReceiver.h"

#include "Keypad.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// What the path in front of the tone bank does to each keypad tone: the
// decimator's droop (when there is one) and the low cut.
std::array<double, DtmfToneCount> FrontGains(int Factor)
{
    std::array<double, DtmfToneCount> Gain;
    for (int k = 0; k < DtmfToneCount; ++k)
        Gain[k] = (Factor > 1 ? TDecimator::Gain(DtmfFrequencies[k]) : 1.0) *
                  TLowCut::Gain(DtmfFrequencies[k]);
    return Gain;
}

// An edge between samples of the 8000 Hz signal as an edge between input
// samples: each low-rate sample stands for the Factor input samples centred
// on it.
double Shift(int Factor)
{
    return Factor > 1 ? TDecimator::CentreOffset + 0.5 - Factor / 2.0 : 0.0;
}

// Power under the band that has stayed within this ratio for 200 ms is
// steady.
constexpr double MaxSteadySpread = 2.0;

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
            Filtered(Low, Made, Ended, Started);
        } else {
            Filtered(Samples, Take, Ended, Started);
        }
        Samples += Take;
        Count -= Take;
    }
}

void TStrictReceiver::Filtered(const float *Samples, size_t Count,
                               std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    while (Count > 0) {
        const size_t Take = std::min(Count, static_cast<size_t>(TToneBank::SubBlock - Filled));
        std::copy(Samples, Samples + Take, Raw + Filled);
        LowCut.Process(Samples, Take, SubBlock + Filled);
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled < TToneBank::SubBlock)
            break;
        Filled = 0;
        Analysed(Ended, Started);
    }
}

// The windows that end with the sub-block just filled, judged and tracked.
void TStrictReceiver::Analysed(std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    const TToneWindow &Now = Bank.Analyse(SubBlock, UnsteadyLow());
    const TPairVerdict Verdict = Judge.Judge(Now, Previous);
    Previous = Now;
    const TToneWindow &Long = Bank.LongWindow();
    const TPairVerdict LongVerdict =
        Tracker.WantsLong() ? Judge.Judge(Long, PreviousLong, LongLimits) : TPairVerdict();
    PreviousLong = Long;
    const double WindowStart =
        static_cast<double>(Windows + 1) * TToneBank::SubBlock - TToneBank::Window;
    ++Windows;
    const size_t EndedBefore = Ended.size();
    const size_t StartedBefore = Started != nullptr ? Started->size() : 0;
    Tracker.Take(Verdict, LongVerdict, WindowStart, Ended, Started);
    Clamp(Ended, EndedBefore, true);
    if (Started != nullptr)
        Clamp(*Started, StartedBefore, false);
}

// The window's power under the keypad's band, less the least it has held in
// the last FloorWindows windows (200 ms) when it has held steady (DC, a dial
// tone): speech and music under the band still count against a pair.
double TStrictReceiver::UnsteadyLow()
{
    double Whole = 0;
    double Cut = 0;
    for (int n = 0; n < TToneBank::SubBlock; ++n) {
        Whole += static_cast<double>(Raw[n]) * Raw[n];
        Cut += static_cast<double>(SubBlock[n]) * SubBlock[n];
    }
    const int Part = static_cast<int>(Windows % TToneBank::SubBlocksPerWindow);
    LowParts[Part] = std::max(0.0, Whole - Cut);
    double Low = 0;
    for (double Each : LowParts)
        Low += Each;
    LowWindows[LowIndex] = Low;
    LowIndex = (LowIndex + 1) % FloorWindows;
    const auto Range = std::minmax_element(std::begin(LowWindows), std::end(LowWindows));
    if (*Range.second > MaxSteadySpread * *Range.first)
        return Low;
    return Low - *Range.first;
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
            Filtered(Low, Decimator.Process(Zeros, MostZeros, Low), Ended, nullptr);
        else
            Filtered(Zeros, TToneBank::SubBlock, Ended, nullptr);
    }
    const size_t EndedBefore = Ended.size();
    Tracker.Finish(Ended);
    Clamp(Ended, EndedBefore, true);

    Decimator.Reset();
    LowCut.Reset();
    Bank.Reset();
    std::fill(std::begin(LowParts), std::end(LowParts), 0.0);
    std::fill(std::begin(LowWindows), std::end(LowWindows), 0.0);
    LowIndex = 0;
    Previous = TToneWindow();
    PreviousLong = TToneWindow();
    Filled = 0;
    Windows = 0;
    Received = 0;
}
