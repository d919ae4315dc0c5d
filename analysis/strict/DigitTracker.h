// Turns the verdicts of consecutive windows into digits with a start and an
// end. A digit starts once its pair has filled enough windows at nearly its
// full level (so a short burst never starts one; more windows when the pair
// is not clean), with a twist in bounds on the mean, tones that do not glide,
// few windows lost on the way, and nothing musical about it (harmonics locked
// to the tones, tones off their frequencies each in its own way). A tone
// under speech that the windows cannot hold for long enough may start a
// digit in the long windows instead, over a longer stretch. A digit ends
// once the pair has been missing, or down by more than half its amplitude,
// for long enough that a short dropout does not split it. Positions are in
// samples of the windows' rate, fractional.
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
    // WindowLength and LongLength in samples; the windows are taken 5 ms
    // apart, a window and a long window ending together.
    TDigitTracker(double WindowLength, double LongLength);

    // The verdicts for the window starting at WindowStart and for the long
    // window that ends with it. A digit that ends is appended to Out.
    void Take(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict, double WindowStart,
              std::vector<TTrackedDigit> &Out);

    // Ends a digit still sounding.
    void Finish(std::vector<TTrackedDigit> &Out);

    // The digits started since the caller last emptied this, End -1.
    std::vector<TTrackedDigit> &StartedDigits() { return Started; }

    // Whether the next long verdict can matter: not while the windows carry
    // a digit they started.
    bool WantsLong() const { return DigitSymbol == 0 || DigitLongLevel > 0; }

  private:
    struct TMark
    {
        double WindowStart;
        double Level;
        double Twist;
        double Share;
        double LowOffset;
        double HighOffset;
        bool LowHeard;
        bool HighHeard;
        double LowSlip;
        double HighSlip;
        double LowRival;
        double HighRival;
        long Index; // the window's number
    };

    // A pair that may become the next digit, seen in one kind of window.
    struct TCandidate
    {
        char Symbol = 0;
        std::vector<TMark> Marks;
        int Misses = 0;
    };

    // Sums over the windows near the stretch's peak level (Top), and their count.
    struct TSums
    {
        int Full = 0;
        double Twist = 0;
        double Share = 0;
        double LowRival = 0;
        double HighRival = 0;
    };
    static TSums FullLevelSums(const std::vector<TMark> &Marks, double Top);
    static bool Steady(const std::vector<TMark> &Marks, double Peak);
    static double Peak(const std::vector<TMark> &Marks);
    static bool Musical(const std::vector<TMark> &Marks, double Peak);

    void Feed(TCandidate &Candidate, const TPairVerdict &Verdict, double WindowStart);
    bool Ready() const;
    bool LongReady() const;
    void StartDigit(const TCandidate &From, double Length, std::vector<TTrackedDigit> &Out);
    void EndDigit(std::vector<TTrackedDigit> &Out);
    bool Carries(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict, double WindowStart);

    const double WindowLength;
    const double LongLength;

    TCandidate Candidate;     // in the windows
    TCandidate LongCandidate; // in the long windows
    long Windows = 0;

    // The digit sounding now.
    char DigitSymbol = 0;
    double DigitStart = 0;
    double DigitEnd = 0;
    double DigitLevel = 0;     // peak level in the windows
    double DigitLongLevel = 0; // and in the long windows
    int DigitMisses = 0;

    std::vector<TTrackedDigit> Started;
};
