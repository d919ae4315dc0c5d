// Turns the verdicts of consecutive windows into digits with a start and an
// end. A digit starts once its pair has filled enough windows at nearly its
// full level (so a short burst never starts one; more windows when the pair
// is not clean), with a twist in bounds on the mean, tones that do not glide,
// and few windows lost on the way; it ends once the pair has been missing, or
// down by more than half its amplitude, for long enough that a short dropout
// does not split it. Positions are in samples of the windows' rate,
// fractional.
#pragma once

#include "PairJudge.h"

#include <vector>

struct TTrackedDigit
{
    char Symbol;
    double Start;
    double End;
};

class TDigitTracker
{
  public:
    // WindowLength in samples; the windows are taken 5 ms apart.
    explicit TDigitTracker(double WindowLength);

    // The verdict for the window starting at WindowStart. A digit that ends
    // is appended to Out.
    void Take(const TPairVerdict &Verdict, double WindowStart, std::vector<TTrackedDigit> &Out);

    // Ends a digit still sounding.
    void Finish(std::vector<TTrackedDigit> &Out);

  private:
    struct TMark
    {
        double WindowStart;
        double Level;
        double Twist;
        double Share;
        double LowOffset;
        double HighOffset;
        long Index; // the window's number
    };

    bool Steady(double Peak) const;

    void FeedCandidate(const TPairVerdict &Verdict, double WindowStart);
    bool CandidateReady() const;
    void StartDigit(std::vector<TTrackedDigit> &Out);
    void EndDigit(std::vector<TTrackedDigit> &Out);

    const double WindowLength;

    // The pair that may become the next digit.
    char CandidateSymbol = 0;
    std::vector<TMark> Candidate;
    int CandidateMisses = 0;
    long Windows = 0;

    // The digit sounding now.
    char DigitSymbol = 0;
    double DigitStart = 0;
    double DigitEnd = 0;
    double DigitLevel = 0;
    int DigitMisses = 0;
};
