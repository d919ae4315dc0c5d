#include "DigitTracker.h"

#include <algorithm>

namespace {

// Windows at no less than 3 dB under the pair's highest level needed to start
// a digit: with 20 ms windows in 5 ms steps, a 23 ms burst fills at most 3 and
// a 40 ms tone at least 6.
constexpr int StartWindows = 5;
constexpr double NearFull = 0.708;
// A window whose pair is at least half the digit's amplitude carries it (the
// tone fills at least half the window).
constexpr double Half = 0.5;
// Windows in a row without the digit that end it: a 10 ms dropout empties at
// most 2, a 40 ms pause at least 8.
constexpr int EndWindows = 5;
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
    Candidate.push_back({WindowStart, Verdict.Level, Verdict.Twist});
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
    for (const TMark &Mark : Candidate)
        if (Mark.Level >= NearFull * Peak) {
            ++Full;
            TwistSum += Mark.Twist;
        }
    // One window's twist is off by up to about 2 dB; the mean is not.
    const double Twist = TwistSum / Full;
    return Full >= StartWindows && Twist <= TPairJudge::MaxLowOverHigh &&
           Twist >= -TPairJudge::MaxHighOverLow;
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
