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
// Enough history to start a digit that came in through a few misses.
constexpr size_t MaxMarks = 64;

} // namespace

TDigitTracker::TDigitTracker(double WindowLength) : WindowLength(WindowLength)
{
    Candidate.reserve(MaxMarks);
}

void TDigitTracker::Take(const TPairVerdict &Verdict, double WindowStart,
                         std::vector<TTrackedDigit> &Out)
{
    const char Symbol = Verdict.Symbol;
    const double Level = Verdict.Level;
    if (DigitSymbol != 0) {
        if (Symbol == DigitSymbol && Level >= Half * DigitLevel) {
            DigitLevel = std::max(DigitLevel, Level);
            // The tone fills the front of the window in proportion to its level.
            DigitEnd = WindowStart + std::min(1.0, Level / DigitLevel) * WindowLength;
            DigitMisses = 0;
        } else if (++DigitMisses >= EndWindows) {
            EndDigit(Out);
        }
    }
    if (Symbol != DigitSymbol || DigitSymbol == 0)
        FeedCandidate(Verdict, WindowStart);
    ++Windows;
    if (CandidateReady())
        StartDigit(Out);
}

void TDigitTracker::FeedCandidate(const TPairVerdict &Verdict, double WindowStart)
{
    const char Symbol = Verdict.Symbol;
    if (Symbol == 0) {
        if (++CandidateMisses >= EndWindows) {
            CandidateSymbol = 0;
            Candidate.clear();
        }
        return;
    }
    if (Symbol != CandidateSymbol || Candidate.size() >= MaxMarks) {
        CandidateSymbol = Symbol;
        Candidate.clear();
    }
    Candidate.push_back({WindowStart, Verdict.Level, Verdict.Twist, Verdict.Share,
                         Verdict.LowOffset, Verdict.HighOffset, Windows});
    CandidateMisses = 0;
}

bool TDigitTracker::CandidateReady() const
{
    if (static_cast<int>(Candidate.size()) < StartWindows)
        return false;
    double Peak = 0;
    for (const TMark &Mark : Candidate)
        Peak = std::max(Peak, Mark.Level);
    int Full = 0;
    double TwistSum = 0;
    double ShareSum = 0;
    for (const TMark &Mark : Candidate)
        if (Mark.Level >= NearFull * Peak) {
            ++Full;
            TwistSum += Mark.Twist;
            ShareSum += Mark.Share;
        }
    const int Needed = ShareSum >= CleanShare * Full ? StartWindows : NoisyStartWindows;
    // One window's twist is off by up to about 2 dB; the mean is not.
    const double Twist = TwistSum / Full;
    return Full >= Needed && Twist <= TPairJudge::MaxLowOverHigh &&
           Twist >= -TPairJudge::MaxHighOverLow && Steady(Peak);
}

// Each window's offset is the phase turn since the window before, so over an
// unbroken run of windows the offsets add up to the whole turn and their mean
// over each half of the run is that half's frequency, with little noise.
bool TDigitTracker::Steady(double Peak) const
{
    const double Least = Settled * Peak;
    // The settled stretch: from the first window whose predecessor is
    // settled too, to the last settled window.
    size_t First = Candidate.size();
    size_t Last = 0;
    for (size_t i = 1; i < Candidate.size(); ++i) {
        if (First == Candidate.size() && Candidate[i - 1].Level >= Least &&
            Candidate[i].Level >= Least)
            First = i;
        if (Candidate[i].Level >= Least)
            Last = i;
    }
    if (First >= Candidate.size() || Last < First + 3)
        return false; // too short to tell yet
    // Noise knocks out a window now and then; a pair that comes and goes
    // is not a keypad's.
    const long Span = Candidate[Last].Index - Candidate[First - 1].Index + 1;
    const long Held = static_cast<long>(Last - First + 2);
    if (Held < MinHeld * Span)
        return false;
    const size_t Each = (Last - First + 1) / 2; // windows in each half
    double Low = 0;
    double High = 0;
    for (size_t i = 0; i < Each; ++i) {
        Low += Candidate[Last - i].LowOffset - Candidate[First + i].LowOffset;
        High += Candidate[Last - i].HighOffset - Candidate[First + i].HighOffset;
    }
    return std::fabs(Low) <= MaxDrift * Each && std::fabs(High) <= MaxDrift * Each;
}

void TDigitTracker::StartDigit(std::vector<TTrackedDigit> &Out)
{
    if (DigitSymbol != 0)
        EndDigit(Out);
    double Peak = 0;
    for (const TMark &Mark : Candidate)
        Peak = std::max(Peak, Mark.Level);
    // The first window the tone fills at least half of; the tone takes up its
    // back part in proportion to the window's level.
    for (const TMark &Mark : Candidate)
        if (Mark.Level >= Half * Peak) {
            DigitStart = Mark.WindowStart + (1 - Mark.Level / Peak) * WindowLength;
            break;
        }
    const TMark &Last = Candidate.back();
    DigitEnd = Last.WindowStart + std::min(1.0, Last.Level / Peak) * WindowLength;
    DigitSymbol = CandidateSymbol;
    DigitLevel = Peak;
    DigitMisses = 0;
    CandidateSymbol = 0;
    Candidate.clear();
    CandidateMisses = 0;
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
    CandidateSymbol = 0;
    Candidate.clear();
    CandidateMisses = 0;
}
