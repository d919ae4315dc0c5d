#include "DigitTracker.h"

#include <algorithm>
#include <cmath>

namespace {

// Windows at no less than 3 dB under the pair's highest level needed to start
// a digit: with 20 ms windows in 5 ms steps, a 23 ms burst fills at most 3 and
// a 40 ms tone at least 6.
constexpr int StartWindows = 5;
constexpr double NearFull = 0.708;
// A pair that carries less than this share of its windows' power on the mean
// (noise, or speech and music that happen to hold both tones) must fill more
// windows, about 50 ms: speech and music rarely hold a pair that long.
constexpr double CleanShare = 0.8;
constexpr int NoisyStartWindows = 9;
// A window whose pair is at least half the digit's amplitude carries it (the
// tone fills at least half the window).
constexpr double Half = 0.5;
// Windows in a row without the digit that end it: a 10 ms dropout empties at
// most 2, a 40 ms pause at least 8.
constexpr int EndWindows = 5;
// A window and the one before it at this share of the peak level give a
// frequency offset that an edge of the tone hardly pulls.
constexpr double Settled = 0.75;
// The tones' frequency may move this much (a fraction of each) between the
// first and the second half of a digit's settled windows: a keypad's tones
// stand still, voiced speech and sung notes glide.
constexpr double MaxDrift = 0.0035;
// Of the windows from the first settled one on, at least this share must
// hold the pair.
constexpr double MinHeld = 0.6;
// A tone's second harmonic is locked to it when it is heard in at least this
// share of the windows at nearly full level, and its offset less the tone's
// is within this on the mean.
constexpr double MinHeard = 0.7;
constexpr double MaxSlip = 0.0015;
// The two tones' mean offsets, fractions of their frequencies, may differ by
// this much.
constexpr double MaxSkew = 0.007;
// The twist, in dB, may move this much between the first and the second
// half of the windows: a keypad starts and stops both tones together, notes
// of music come and fade each on its own.
constexpr double MaxTwistMove = 3.0;
// Enough history to start a digit that came in through a few misses.
constexpr size_t MaxMarks = 64;
// Long windows at nearly the pair's full level needed to start a digit that
// the windows alone do not start (a tone under speech): with 40 ms windows
// in 5 ms steps, a 23 ms burst fills at most 7 and a 100 ms tone about 17.
constexpr int LongStartWindows = 12;
// Over those long windows, the pair's mean share of their power, and each
// other tone's mean power over its group's dominant tone's.
constexpr double LongMeanShare = 0.25;
constexpr double MaxLongRival = 0.25; // 6 dB

} // namespace

TDigitTracker::TDigitTracker(double WindowLength, double LongLength)
    : WindowLength(WindowLength), LongLength(LongLength)
{
    Candidate.Marks.reserve(MaxMarks);
    LongCandidate.Marks.reserve(MaxMarks);
}

void TDigitTracker::Take(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict,
                         double WindowStart, std::vector<TTrackedDigit> &Out)
{
    if (DigitSymbol != 0) {
        if (Carries(Verdict, LongVerdict, WindowStart))
            DigitMisses = 0;
        else if (++DigitMisses >= EndWindows)
            EndDigit(Out);
    }
    if (Verdict.Symbol != DigitSymbol || DigitSymbol == 0)
        Feed(Candidate, Verdict, WindowStart);
    if (LongVerdict.Symbol != DigitSymbol || DigitSymbol == 0)
        Feed(LongCandidate, LongVerdict, WindowStart + WindowLength - LongLength);
    ++Windows;
    if (Ready())
        StartDigit(Candidate, WindowLength, Out);
    else if (LongReady())
        StartDigit(LongCandidate, LongLength, Out);
}

// Either window that holds the digit's pair at no less than half its level
// carries the digit on; the tone fills the front of the window in
// proportion to its level.
bool TDigitTracker::Carries(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict,
                            double WindowStart)
{
    bool Carried = false;
    if (Verdict.Symbol == DigitSymbol && Verdict.Level >= Half * DigitLevel) {
        DigitLevel = std::max(DigitLevel, Verdict.Level);
        DigitEnd = std::max(DigitEnd,
                            WindowStart + std::min(1.0, Verdict.Level / DigitLevel) * WindowLength);
        Carried = true;
    }
    // Only a digit that the long windows started has their peak level.
    if (DigitLongLevel > 0 && LongVerdict.Symbol == DigitSymbol &&
        LongVerdict.Level >= Half * DigitLongLevel) {
        DigitLongLevel = std::max(DigitLongLevel, LongVerdict.Level);
        const double LongStart = WindowStart + WindowLength - LongLength;
        DigitEnd = std::max(
            DigitEnd, LongStart + std::min(1.0, LongVerdict.Level / DigitLongLevel) * LongLength);
        Carried = true;
    }
    return Carried;
}

void TDigitTracker::Feed(TCandidate &Into, const TPairVerdict &Verdict, double WindowStart)
{
    const char Symbol = Verdict.Symbol;
    if (Symbol == 0) {
        if (++Into.Misses >= EndWindows) {
            Into.Symbol = 0;
            Into.Marks.clear();
        }
        return;
    }
    if (Symbol != Into.Symbol || Into.Marks.size() >= MaxMarks) {
        Into.Symbol = Symbol;
        Into.Marks.clear();
    }
    Into.Marks.push_back({WindowStart, Verdict.Level, Verdict.Twist, Verdict.Share,
                          Verdict.LowOffset, Verdict.HighOffset, Verdict.LowHeard,
                          Verdict.HighHeard, Verdict.LowSlip, Verdict.HighSlip, Verdict.LowRival,
                          Verdict.HighRival, Windows});
    Into.Misses = 0;
}

double TDigitTracker::Peak(const std::vector<TMark> &Marks)
{
    double Peak = 0;
    for (const TMark &Mark : Marks)
        Peak = std::max(Peak, Mark.Level);
    return Peak;
}

TDigitTracker::TSums TDigitTracker::FullLevelSums(const std::vector<TMark> &Marks, double Top)
{
    TSums Sums;
    for (const TMark &Mark : Marks)
        if (Mark.Level >= NearFull * Top) {
            ++Sums.Full;
            Sums.Twist += Mark.Twist;
            Sums.Share += Mark.Share;
            Sums.LowRival += Mark.LowRival;
            Sums.HighRival += Mark.HighRival;
        }
    return Sums;
}

bool TDigitTracker::Ready() const
{
    const std::vector<TMark> &Marks = Candidate.Marks;
    if (static_cast<int>(Marks.size()) < StartWindows)
        return false;
    const double Top = Peak(Marks);
    const TSums Sums = FullLevelSums(Marks, Top);
    const int Needed = Sums.Share >= CleanShare * Sums.Full ? StartWindows : NoisyStartWindows;
    // One window's twist is off by up to about 2 dB; the mean is not.
    const double Twist = Sums.Twist / Sums.Full;
    return Sums.Full >= Needed && Twist <= TPairJudge::MaxLowOverHigh &&
           Twist >= -TPairJudge::MaxHighOverLow && Steady(Marks, Top) && !Musical(Marks, Top);
}

bool TDigitTracker::LongReady() const
{
    const std::vector<TMark> &Marks = LongCandidate.Marks;
    if (static_cast<int>(Marks.size()) < LongStartWindows)
        return false;
    const double Top = Peak(Marks);
    const TSums Sums = FullLevelSums(Marks, Top);
    const double Twist = Sums.Twist / Sums.Full;
    return Sums.Full >= LongStartWindows && Sums.Share >= LongMeanShare * Sums.Full &&
           Sums.LowRival <= MaxLongRival * Sums.Full &&
           Sums.HighRival <= MaxLongRival * Sums.Full && Twist <= TPairJudge::MaxLowOverHigh &&
           Twist >= -TPairJudge::MaxHighOverLow && Steady(Marks, Top) && !Musical(Marks, Top);
}

// Notes of music carry harmonics locked to them, two notes that come near a
// pair are off it each in its own way, and they come and fade each in its
// own time; a keypad's tones have no harmonics, come from one clock, and
// start and stop together.
bool TDigitTracker::Musical(const std::vector<TMark> &Marks, double Peak)
{
    std::vector<double> Twists;
    int LowHeard = 0;
    int HighHeard = 0;
    double LowSlip = 0;
    double HighSlip = 0;
    double Skew = 0;
    for (const TMark &Mark : Marks)
        if (Mark.Level >= NearFull * Peak) {
            Twists.push_back(Mark.Twist);
            LowHeard += Mark.LowHeard;
            HighHeard += Mark.HighHeard;
            LowSlip += Mark.LowHeard ? Mark.LowSlip : 0;
            HighSlip += Mark.HighHeard ? Mark.HighSlip : 0;
            Skew += Mark.LowOffset - Mark.HighOffset;
        }
    const size_t Full = Twists.size();
    // A harmonic heard in most windows whose offset, on the mean, is the
    // tone's: what leaks into its bin from elsewhere averages out.
    const auto Locked = [Full](int Heard, double Slip) {
        return Heard >= MinHeard * Full && std::fabs(Slip) <= MaxSlip * Heard;
    };
    // The twist's move from the first half of the windows to the second.
    const size_t Each = Full / 2;
    double Move = 0;
    for (size_t i = 0; i < Each; ++i)
        Move += Twists[Full - 1 - i] - Twists[i];
    return Locked(LowHeard, LowSlip) || Locked(HighHeard, HighSlip) ||
           std::fabs(Skew) > MaxSkew * Full || std::fabs(Move) > MaxTwistMove * Each;
}

// Each window's offset is the phase turn since the window before, so over an
// unbroken run of windows the offsets add up to the whole turn and their mean
// over each half of the run is that half's frequency, with little noise.
bool TDigitTracker::Steady(const std::vector<TMark> &Marks, double Peak)
{
    const double Least = Settled * Peak;
    // The settled stretch: from the first window whose predecessor is
    // settled too, to the last settled window.
    size_t First = Marks.size();
    size_t Last = 0;
    for (size_t i = 1; i < Marks.size(); ++i) {
        if (First == Marks.size() && Marks[i - 1].Level >= Least && Marks[i].Level >= Least)
            First = i;
        if (Marks[i].Level >= Least)
            Last = i;
    }
    if (First >= Marks.size() || Last < First + 3)
        return false; // too short to tell yet
    // Noise knocks out a window now and then; a pair that comes and goes
    // is not a keypad's.
    const long Span = Marks[Last].Index - Marks[First - 1].Index + 1;
    const long Held = static_cast<long>(Last - First + 2);
    if (Held < MinHeld * Span)
        return false;
    const size_t Each = (Last - First + 1) / 2; // windows in each half
    double Low = 0;
    double High = 0;
    for (size_t i = 0; i < Each; ++i) {
        Low += Marks[Last - i].LowOffset - Marks[First + i].LowOffset;
        High += Marks[Last - i].HighOffset - Marks[First + i].HighOffset;
    }
    return std::fabs(Low) <= MaxDrift * Each && std::fabs(High) <= MaxDrift * Each;
}

void TDigitTracker::StartDigit(const TCandidate &From, double Length,
                               std::vector<TTrackedDigit> &Out)
{
    if (DigitSymbol != 0)
        EndDigit(Out);
    const double Top = Peak(From.Marks);
    // The first window the tone fills at least half of; the tone takes up its
    // back part in proportion to the window's level.
    for (const TMark &Mark : From.Marks)
        if (Mark.Level >= Half * Top) {
            DigitStart = Mark.WindowStart + (1 - Mark.Level / Top) * Length;
            break;
        }
    const TMark &Last = From.Marks.back();
    DigitEnd = Last.WindowStart + std::min(1.0, Last.Level / Top) * Length;
    DigitSymbol = From.Symbol;
    DigitLevel = &From == &Candidate ? Top : 0;
    DigitLongLevel = &From == &LongCandidate ? Top : 0;
    DigitMisses = 0;
    for (TCandidate *Each : {&Candidate, &LongCandidate}) {
        Each->Symbol = 0;
        Each->Marks.clear();
        Each->Misses = 0;
    }
    Started.push_back({DigitSymbol, DigitStart, -1});
}

void TDigitTracker::EndDigit(std::vector<TTrackedDigit> &Out)
{
    Out.push_back({DigitSymbol, DigitStart, std::max(DigitEnd, DigitStart)});
    DigitSymbol = 0;
    DigitMisses = 0;
}

void TDigitTracker::Finish(std::vector<TTrackedDigit> &Out)
{
    if (DigitSymbol != 0)
        EndDigit(Out);
    for (TCandidate *Each : {&Candidate, &LongCandidate}) {
        Each->Symbol = 0;
        Each->Marks.clear();
        Each->Misses = 0;
    }
}
