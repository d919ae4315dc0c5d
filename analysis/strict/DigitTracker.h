// Turns the verdicts of consecutive windows into digits with a start and an
// end. A digit starts once its pair has filled enough windows at nearly its
// full level (so a short burst never starts one; more windows when the pair
// is not clean), with a twist in bounds on the mean, tones that do not glide,
// few windows lost on the way, and nothing musical about it (harmonics locked
// to the tones, tones off their frequencies each in its own way). A tone
// under speech that the windows cannot hold for long enough may start a
// digit in the long windows instead, over a longer stretch, or once the
// long windows have held it for a while, in a stretch of windows judged as
// one, where a steady tone stands out of the sound around it; one under
// music or a voice louder than itself, in spans of windows judged as one at
// every step that hold it several steps in a row. A pair that is not clean
// starts none when it is two harmonics of a voice, whose others sound around
// it. A digit ends once the pair has been missing, or down by more than half
// its amplitude, for long enough that a short dropout does not split it; it
// starts again only after a pause, so an echo's tail or a sagging level does
// not double it.
#pragma once

#include "PairJudge.h"
#include "StrictLimits.h"
#include "Symbol.h"
#include "VoiceComb.h"

#include <limits>
#include <vector>

class TDigitTracker
{
  public:
    // WindowLength and LongLength in samples of the windows' rate; the
    // windows are taken 5 ms apart, a window and a long window ending
    // together. An edge at position p of that rate is reported as
    // llround(Scale * p + Shift).
    TDigitTracker(double WindowLength, double LongLength, const TStrictLimits &Limits = {},
                  double Scale = 1, double Shift = 0);

    // The verdicts for the window starting at WindowStart and for the long
    // window that ends with it. A digit that ends is appended to Ended; one
    // that starts, to Started (when given) with End -1.
    void Take(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict, double WindowStart,
              std::vector<TDecodedSymbol> &Ended, std::vector<TDecodedSymbol> *Started = nullptr);

    // Whether a stretch of several windows can matter now: no digit sounds,
    // the windows or the long windows have held a pair for a while, and a
    // candidate is steady enough, and free, to be started from one.
    bool WantsStretch() const;

    // The verdict for a stretch of windows, Seconds long, that ends with the
    // newest one (Take first), and how fully its pair fills it (1 when it
    // sounds all through): a pair that stands out over the whole stretch,
    // steady on the keypad's frequencies, starts the candidate that holds it.
    void TakeStretch(const TPairVerdict &Verdict, double Fill, double Seconds,
                     std::vector<TDecodedSymbol> &Ended,
                     std::vector<TDecodedSymbol> *Started = nullptr);

    // How fully a span's pair must fill it to count.
    static constexpr double SpanFill = 0.6;

    // Whether a span can matter now: no digit sounds; and one that holds
    // Symbol's pair: nor is Symbol the digit that ended last, still barred.
    bool WantsSpan() const { return DigitSymbol == 0; }
    bool WantsSpan(char Symbol) const { return DigitSymbol == 0 && !(Barred && Symbol == Last); }

    // The verdict for the span of Length samples starting at SpanStart that
    // ends with the newest window (Take first), and how fully its pair fills
    // it: spans that hold one pair in a row, steady on the keypad's
    // frequencies, start a digit that no window could.
    void TakeSpan(const TPairVerdict &Verdict, double Fill, double SpanStart, double Length,
                  double Seconds, std::vector<TDecodedSymbol> &Ended,
                  std::vector<TDecodedSymbol> *Started = nullptr);

    // The samples in which a pair that is not clean is checked for a
    // voice's harmonics before it starts a digit; without them, none is.
    void Listen(const TVoiceComb &Samples) { Comb = &Samples; }

    // Ends a digit still sounding and forgets every candidate.
    void Finish(std::vector<TDecodedSymbol> &Ended);

    // Whether the next long verdict can matter: not while the windows carry
    // a digit they started.
    bool WantsLong() const { return DigitSymbol == 0 || DigitLongLevel > 0; }

    // The digit sounding (0 for none), and the level at which a window's
    // pair carries it on.
    char Sounding() const { return DigitSymbol; }
    double CarryingLevel() const { return Half * DigitLevel; }

  private:
    // A window whose pair is at least half the digit's amplitude carries it
    // (the tone fills at least half the window).
    static constexpr double Half = 0.5;
    // Enough history to start a digit that came in through a few misses.
    static constexpr size_t MaxMarks = 64;

    struct TMark
    {
        TPairVerdict Verdict;
        double WindowStart;
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
        double LowOffset = 0; // fractions of each tone's frequency
        double HighOffset = 0;
        int Buried = 0;  // windows whose pair carries little of their power
        int Clipped = 0; // windows of a clipped line
    };
    static double StartLevel(const std::vector<TMark> &Marks, double Whole, int Needed,
                             double MinShare, TSums &Sums);
    static TSums FullLevelSums(const std::vector<TMark> &Marks, double Top);
    // The sums over the windows at Least and more.
    static TSums SumsFrom(const std::vector<TMark> &Marks, double Least);
    // The count and the twist summed over the first Count windows.
    static TSums SumsOfFirst(const std::vector<TMark> &Marks, size_t Count);
    // Whether both tones drift no more than MaxDrift between the halves of
    // the settled windows; the low tone up to MaxLowDrift when the high one
    // stands still.
    static bool Steady(const std::vector<TMark> &Marks, double Peak, double MaxDrift,
                       double MaxLowDrift = 0);
    // The highest level of the Newest marks (of all by default).
    static double Peak(const std::vector<TMark> &Marks, size_t Newest = MaxMarks);
    static bool NearNominal(const TSums &Sums, double MaxLowOffset, double MaxHighOffset);
    // The levels of Symbol's pair in the windows kept that end after From,
    // into Levels (KeptWindows of them at most), and their count.
    int KeptLevels(char Symbol, double From, double *Levels) const;
    // The highest of those levels.
    double KeptLevel(char Symbol, double From) const;
    // How many of those windows hold it at nearly that level.
    int KeptFull(char Symbol, double From) const;
    // Beyond an echo's reach of the last digit's onset (none within it), the
    // kept windows that end by Start, back from it while they hold the last
    // digit's pair under a sag of its level: how many, the highest level of
    // the EndWindows of them nearest to Start, and whether they end in a
    // pause (two or more under a trough of its level, one under a hush).
    struct TLead
    {
        int Sagged = 0;
        double Most = 0;
        bool Paused = false;
    };
    TLead LeadIn(char Symbol, double Start) const;
    // Whether the last digit's pair at Level (of a window) after that
    // lead-in is the key pressed again, rising out of the echo's tail that
    // fills the gap before it.
    bool Risen(const TLead &Lead, double Level) const;
    // What a candidate's marks come from: windows, windows of a candidate
    // that a stretch starts (whose own offsets, measured finer than the
    // marks', tell the skew), or spans.
    enum class TMarks
    {
        Windows,
        Stretch,
        Spans
    };
    static bool Musical(const std::vector<TMark> &Marks, double Peak,
                        TMarks Kind = TMarks::Windows);
    static bool TwistHeld(const double *LowDb, const double *HighDb, size_t Count);
    static bool Keyed(const double *LowOffsets, const double *HighOffsets, size_t Count);
    bool ClearKeyed(const std::vector<TMark> &Marks, double Top) const;

    bool Echoed(const TPairVerdict &Given, TPairVerdict &Combed) const;
    void Feed(TCandidate &Candidate, const TPairVerdict &Verdict, double WindowStart);
    // Whether the mean twist lies within the limits, Margin dB inside them.
    bool TwistWithin(const TSums &Sums, double Margin = 0) const;
    // No digit sounds, and some candidate has lasted long enough for a stretch.
    bool StretchAged() const;
    // The level a digit starts at when the windows (or the long windows) start
    // one now, else 0.
    double Ready() const;
    double LongReady() const;
    bool Revived(const TCandidate &From, double Length, double Top) const;
    bool Borrowed(const TCandidate &From, double Length, double Top) const;
    bool Voiced(const TCandidate &From, double Length, double Top) const;
    // Where the pair that From holds started.
    static double Onset(const TCandidate &From, double Length, double Top);
    void StartDigit(const TCandidate &From, double Length, double Top,
                    std::vector<TDecodedSymbol> &Ended, std::vector<TDecodedSymbol> *Started);
    void EndDigit(std::vector<TDecodedSymbol> &Ended);
    bool Carries(const TPairVerdict &Verdict, const TPairVerdict &LongVerdict, double WindowStart);
    double WindowLevel() const;
    void Watch(const TPairVerdict &Verdict);
    bool Barring();
    int64_t Place(double Position) const;
    void Forget();

    const double WindowLength;
    const double LongLength;
    const double Scale;
    const double Shift;
    // From the limits: windows needed to start a digit (clean, noisy, long,
    // long before a stretch) and to end one, the shortest tone, and the
    // twist allowed on the mean (dB).
    const int StartWindows;
    const int NoisyStartWindows;
    const int LongStartWindows;
    const int StretchWindows;
    const int EndWindows;
    const double MinTone; // seconds
    const double MaxLowOverHigh;
    const double MaxHighOverLow;

    // The keypad tones' powers in the last windows, whether or not they
    // held a pair.
    struct TKept
    {
        float Power[DtmfToneCount] = {};
        double WindowStart = 0;
    };
    static constexpr size_t KeptWindows = 48;
    TKept Kept[KeptWindows];

    TCandidate Candidate;     // in the windows
    TCandidate LongCandidate; // in the long windows
    TCandidate SpanCandidate; // in the spans
    const TVoiceComb *Comb = nullptr;
    double NewestEnd = 0; // where the newest window ends
    bool Barred = false;  // the digit that ended last is barred (see Barring)
    long Windows = 0;

    // The digit sounding now.
    char DigitSymbol = 0;
    double DigitStart = 0;
    double DigitEnd = 0;
    double DigitLevel = 0;     // peak level in the windows
    double DigitLongLevel = 0; // and in the long windows
    double DigitOnset = 0;     // the level in the windows that it started at
    int DigitMisses = 0;
    int DigitPause = 0; // most windows in a row all but without its pair since one carried it
    int DigitSag = 0;   // most windows in a row far under its level (see Sag)
    int DigitFade = 0;  // most windows in a row under half its level that do not hold its pair

    // The digit that ended last: it does not start again until its pair has
    // been all but gone (not on an echo's tail, nor when a level sags for a
    // moment and comes back), or far under its level for longer than a pause,
    // and then only at nearly its level.
    char Last = 0;
    double LastLevel = 0;
    double LastOnset = 0;
    double LastStart = 0;
    int LastPause = 0; // most windows in a row all but without its pair since it was carried
    int LastSag = 0;   // most windows in a row far under its level since it was carried
    int LastFade = 0;  // most windows in a row under half its level, without its pair
    int Quiet = 0;  // windows in a row all but without the pair of the digit sounding, or the last
    int Gone = 0;   // and of those, windows in a row that do not hold it as a pair either
    int Sagged = 0; // windows in a row far under that digit's level
    int Faded = 0;  // windows in a row under half that digit's level, without its pair
    // Where the newest window started of a pause of DeepWindows in a row,
    // all but without that pair (of a gap: nor holding it as a pair), since
    // a window last carried the digit sounding; NoPause if none.
    static constexpr double NoPause = -std::numeric_limits<double>::infinity();
    double DeepPause = NoPause;
    double DeepGap = NoPause;
    // What Echoed makes of a window's verdict, kept here rather than made
    // afresh for every window.
    TPairVerdict Combed;
};
