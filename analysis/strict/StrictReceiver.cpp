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
      Front(Factor, FrontGains(Factor), Limits), Judge(FrontGains(Factor), Limits),
      Tracker(TToneBank::Window, TToneBank::Long, Limits, Factor, Shift(Factor))
{
    for (int i = 0; i < Joined; ++i)
        Recent[i] = &Copies[i];
    Tracker.Listen(Comb);
}

void TStrictReceiver::Receive(const float *Samples, size_t Count,
                              std::vector<TDecodedSymbol> &Ended,
                              std::vector<TDecodedSymbol> *Started)
{
    if (Diverted != nullptr) {
        Front.Receive(Samples, Count, *Diverted);
        return;
    }
    Ending = &Ended;
    Starting = Started;
    Front.Receive(Samples, Count, *this);
}

// The windows that end with the next sub-block, straight from the bank.
void TStrictReceiver::Analysed(const TStrictFront &Analysis)
{
    const TToneBank &Bank = Analysis.Bank();
    Analysed({Analysis.Now(), Analysis.Samples(), Bank.Previous(), &Bank.LongWindow(),
              &Bank.PreviousLong(), Bank.Quiet(), Bank.Unchanged(), Analysis.Received(), nullptr},
             *Ending, Starting);
}

// A quiet sub-block leaves the windows as they were.
void TStrictReceiver::TakeRecord(const TStrictRecord &Record, std::vector<TDecodedSymbol> &Ended,
                                 std::vector<TDecodedSymbol> *Started)
{
    if (!Record.Quiet) {
        Newest = (Newest + 1) % Joined;
        Recent[Newest] = &Record.Now;
        ++Seen;
    }
    const TToneWindow &Now = Taken(0);
    Analysed({Now, Record.Quiet ? nullptr : Record.Samples, Record.Quiet ? Now : Taken(1), nullptr,
              nullptr, Record.Quiet, Record.Unchanged, Record.Received,
              Record.Judged ? &Record.Verdict : nullptr},
             Ended, Started);
}

void TStrictReceiver::KeepRecords()
{
    TToneWindow Held[Joined];
    for (int i = 0; i < Joined; ++i)
        Held[i] = *Recent[i];
    for (int i = 0; i < Joined; ++i) {
        Copies[i] = Held[i];
        Recent[i] = &Copies[i];
    }
}

// The long windows of records, made of their windows as the bank made them:
// in long silence they stay as they were.
TPairVerdict TStrictReceiver::JudgeLong(const TStep &Step)
{
    if (Step.Long != nullptr)
        return Judge.Judge(*Step.Long, *Step.PreviousLong, LongLimits);
    constexpr int Apart = TToneBank::SubBlocksPerWindow;
    // The newer one, once one more record with windows came, is the one before.
    const bool Follows = Seen > 1 && JoinedSeen == Seen - 1;
    const bool Made = JoinedSeen == Seen;
    if (!Made) {
        JoinedNewer ^= 1;
        TToneBank::Join(Taken(0), Taken(Apart), JoinedLongs[JoinedNewer]);
        JoinedSeen = Seen;
    }
    const TToneWindow &Long = JoinedLongs[JoinedNewer];
    if (Step.Quiet)
        return Judge.Judge(Long, Long, LongLimits);
    TToneWindow &Before = JoinedLongs[JoinedNewer ^ 1];
    if (!Made && !Follows) {
        if (Seen > 1)
            TToneBank::Join(Taken(1), Taken(Apart + 1), Before);
        else
            Before = TToneWindow();
    }
    return Judge.Judge(Long, Before, LongLimits);
}

// The windows that end with the next sub-block judged and tracked.
void TStrictReceiver::Analysed(const TStep &Step, std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    Received = Step.Received;
    Stretch.Take(Step.Now, Step.Unchanged);
    Comb.Take(Step.Samples);
    // Windows that stay as they were get the verdicts they got before; in
    // long silence the windows stay as they are from here on.
    if (!Step.Unchanged) {
        LongKept = false;
        const TPairVerdict Verdict =
            Step.Judged != nullptr
                ? TPairJudge::Carrying(*Step.Judged, Tracker.Sounding(), Tracker.CarryingLevel())
                : Judge.Judge(Step.Now, Step.Previous, ShortLimits, Tracker.Sounding(),
                              Tracker.CarryingLevel());
        if (Step.Quiet)
            Kept = Verdict;
        WithLong(Step, Verdict, Ended, Started);
    } else {
        WithLong(Step, Kept, Ended, Started);
    }
}

// The long window's verdict when the tracker wants one, then both tracked.
void TStrictReceiver::WithLong(const TStep &Step, const TPairVerdict &Verdict,
                               std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    static const TPairVerdict NoVerdict;
    if (!Tracker.WantsLong()) {
        Track(Verdict, NoVerdict, Step.Unchanged, Ended, Started);
    } else if (LongKept) {
        Track(Verdict, KeptLong, Step.Unchanged, Ended, Started);
    } else {
        const TPairVerdict LongVerdict = JudgeLong(Step);
        if (Step.Quiet) {
            KeptLong = LongVerdict;
            LongKept = true;
        }
        Track(Verdict, LongVerdict, Step.Unchanged, Ended, Started);
    }
}

void TStrictReceiver::Track(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict,
                            bool Unchanged, std::vector<TDecodedSymbol> &Ended,
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
        const double Fill = KeypadTones(StretchVerdict.Symbol, LowTone, HighTone)
                                ? Stretch.Fill(Count, LowTone, HighTone)
                                : 0;
        Tracker.TakeStretch(StretchVerdict, Fill, Count * TToneBank::Window / TToneBank::Rate,
                            Ended, Started);
    }
    // The span that ends with the newest window, unless the windows stayed
    // as they were: then so does the span, which lies in silence.
    if (Tracker.WantsSpan()) {
        double Fill = 0;
        const TPairVerdict SpanVerdict = Unchanged ? TPairVerdict() : JudgeSpan(Fill);
        constexpr int Length = SpanWindows * TToneBank::Window;
        Tracker.TakeSpan(SpanVerdict, Fill, WindowStart + TToneBank::Window - Length, Length,
                         Length / TToneBank::Rate, Ended, Started);
    }
    Clamp(Ended, EndedBefore, true);
    if (Started != nullptr)
        Clamp(*Started, StartedBefore, false);
}

// The span judged when its strongest tones make a pair that the tracker
// wants and fill enough of it to start a digit there, with how fully they
// fill it; a span that cannot start one is not judged. A tone that fills
// SpanFill of the span has at least this much of its greatest power in one
// of the span's windows there (its fill's square times the windows'
// count's), which tells most spans that it does not fill without reckoning
// its fill.
TPairVerdict TStrictReceiver::JudgeSpan(double &Fill) const
{
    constexpr double Least =
        TDigitTracker::SpanFill * SpanWindows * TDigitTracker::SpanFill * SpanWindows;
    double Power[DtmfToneCount];
    double Most[DtmfToneCount];
    Stretch.KeypadPowers(SpanWindows, Power, Most);
    const int Low = TPairJudge::Strongest(Power, 0);
    const int High = TPairJudge::Strongest(Power, 4);
    Fill = 0;
    if (!Tracker.WantsSpan(KeypadSymbol(Low, High)) || !(Power[Low] >= Least * Most[Low]) ||
        !(Power[High] >= Least * Most[High]))
        return {};
    Fill = Stretch.Fill(SpanWindows, Low, High);
    if (Fill < TDigitTracker::SpanFill)
        return {};
    return Judge.Judge(Stretch.Stretch(SpanWindows, 0), Stretch.Stretch(SpanWindows, 1),
                       StretchLimits);
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
    if (Diverted != nullptr) {
        Front.Flush(*Diverted);
        Front.Reset();
        return;
    }
    Ending = &Ended;
    Starting = nullptr;
    Front.Flush(*this);
    Front.Reset();
    Finished(Ended);
}

void TStrictReceiver::Finished(std::vector<TDecodedSymbol> &Ended)
{
    const size_t EndedBefore = Ended.size();
    Tracker.Finish(Ended);
    Clamp(Ended, EndedBefore, true);

    Stretch.Reset();
    Comb.Reset();
    LongKept = false;
    Windows = 0;
    Received = 0;
    for (int i = 0; i < Joined; ++i) {
        Copies[i] = TToneWindow();
        Recent[i] = &Copies[i];
    }
    Newest = 0;
    Seen = 0;
    JoinedSeen = -1;
}
