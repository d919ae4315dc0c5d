#include "DigitTracker.h"

#include <algorithm>
#include <cmath>

namespace {

// The verdict of a window that holds no pair.
constexpr TPairVerdict NoVerdict{};

// Windows at no less than 3 dB under the pair's highest level needed to start
// a digit: with 20 ms windows in 5 ms steps, a tone of T ms fills about
// (T - 8.3) / 5 of them, so a 23 ms burst fills at most 3 and a 40 ms tone at
// least 6; the shortest tone of the limits (30 ms) asks for 5.
constexpr double NearFull = 0.708;
constexpr double WindowStep = 0.005;    // seconds
constexpr double NearFullLoss = 0.0083; // seconds of a tone that fill no window near its full level
// A pair that carries less than this share of its windows' power on the mean
// (noise, or speech and music that happen to hold both tones) must fill more
// windows, about 50 ms: speech and music rarely hold a pair that long. When
// some of them carry under BuriedShare (a tone under music or loud speech),
// its tones must also sit near the keypad's frequencies, within BuriedOffset
// on the mean (a dialler's tones land up to 0.75 % off, see MaxSkew), and
// stand still, within BuriedDrift: a keypad's tones come from one clock,
// while a voice or an instrument that comes near a pair is off it and moves.
constexpr double CleanShare = 0.8;
constexpr int NoisyExtraWindows = 4;
constexpr double BuriedShare = 0.4;
constexpr double BuriedOffset = 0.008;
constexpr double BuriedDrift = 0.0015;
// Windows in a row without the digit that end it: a pause of P ms empties
// about P / 5 windows to under half the digit's level, a 10 ms dropout at most
// 2; the limits' pause (25 ms) asks for 5.
// A window and the one before it at this share of the peak level give a
// frequency offset that an edge of the tone hardly pulls.
constexpr double Settled = 0.75;
// The tones' frequency may move this much (a fraction of each) between the
// first and the second half of a digit's settled windows: a keypad's tones
// stand still, voiced speech and sung notes glide.
constexpr double MaxDrift = 0.005;
// A pair that carries most of its windows' power is no voice; a codec at a
// low rate (AMR-NB 4.75, GSM) moves its tones by up to about 1 % as it
// settles, so a clean pair may drift this much.
constexpr double CleanDrift = 0.012;
// Speech carries most of its power under the high group, and a voice's
// harmonic near the low tone pulls its frequency now and then, while the high
// tone stands still: where MaxDrift holds, a pair whose high tone moves no
// more than StillDrift may see its low tone move PulledDrift. A voice that
// makes a pair by itself glides both of them.
constexpr double StillDrift = 0.001;
constexpr double PulledDrift = 0.015;
// Of the windows from the first settled one on, at least this share must
// hold the pair.
constexpr double MinHeld = 0.6;
// A tone's second harmonic is locked to it when it is heard in at least this
// share of the windows at nearly full level, and its offset less the tone's
// is within this on the mean.
constexpr double MinHeard = 0.7;
constexpr double MaxSlip = 0.0015;
// The two tones' mean offsets, fractions of their frequencies, may differ by
// MaxSkew; by MaxClearSkew for a pair that carries at least ClearShare of
// its windows' power on the mean. A keypad's dialler divides each tone from
// one crystal by a divider of its own, so each lands up to about 0.75 % off
// its frequency, one up and the other down (the common 3.58 MHz diallers
// put 941 Hz at 948 and 1336 Hz at 1331.7): two such tones differ by up to
// 1.3 %. Notes of music or a voice that come near a pair are off it each in
// its own way too, but they seldom carry most of the power alone.
constexpr double MaxSkew = 0.007;
// Those diallers put each tone at one frequency of their own: a pair whose
// tones both sit within DiallerMatch of them on the mean is theirs, however
// far apart its offsets lie. Under speech, where a pair carries less than
// ClearShare, they lie 1.1-1.3 % apart for six keys of the sixteen.
constexpr double DiallerFrequencies[DtmfToneCount] = {699.1,  766.2,  847.4,  948.0,
                                                      1215.9, 1331.7, 1471.9, 1645.0};
constexpr double DiallerMatch = 0.002;
constexpr double MaxClearSkew = 0.014;
constexpr double ClearShare = 0.6;
// A keypad may put each tone up to 1.5 % off, either way: a clear pair whose
// tones each hold their frequency window after window (half its windows
// within HeldOffset of the median), no more than KeypadOffset off,
// is one, however far apart the two offsets lie. A note of music or a voice
// that comes near a pair wanders, or lies further off.
constexpr double HeldOffset = 0.0015;
constexpr double KeypadOffset = 0.017;
// The twist, in dB, may move this much between the first and the second
// half of the windows: a keypad starts and stops both tones together, notes
// of music come and fade each on its own.
// A codec that loses one tone's level leaves the other where it was, so only
// tones that move apart, each by at least MinOppositeMove, are two notes.
constexpr double MaxTwistMove = 3.0;
constexpr double MinOppositeMove = 1.0;
// A clean pair whose tones have moved apart, but whose twist stands still
// within HeldTwistSpan dB over its newest HeldTwistWindows windows near full
// level, is a channel's doing: a codec that settles (GSM, AMR-NB) or an early
// echo that combs the tones pulls them apart as the digit starts, then holds
// them. Two notes that part keep moving. A tone that an echo combs 10 dB or
// more down flickers by 2-3 dB from window to window, but does not trend:
// a twist within FlickerSpan over the newest windows, whose newer half's mean
// lies within HeldTwistSpan of the older half's, stands still too.
constexpr double HeldTwistSpan = 1.0;
constexpr double FlickerSpan = 3.0;
constexpr size_t HeldTwistWindows = 3;
constexpr size_t FlickerWindows = 4;
// The newest windows whose peak level a digit may start at, 40 ms of them,
// and the share of their power the pair must carry on the mean for the long
// windows to start one there (music fades, an echo's pair stays clean).
constexpr size_t RecentWindows = 8;
constexpr double LongFallShare = 0.5;
// A stretch of windows may start a digit when its pair fills at least
// StretchFill of it, or once the long windows have held the pair near full
// level StretchExtraWindows more times than the windows need, when its tones
// sit within StretchOffset of the keypad's frequencies, which the stretch
// measures finely, and the low tone stands no more than StretchNormalTwist
// over the high one: music and speech under a pair carry most of their
// power low, and lift the low tone's bin. Stretches are judged only for a
// pair that has been held StretchAge windows (30 ms) without starting a
// digit, as a clean one would have by then. A stretch judges the pair's
// share in the keypad's band alone, so its windows must also carry
// StretchMeanShare of all the power on the mean: music whose bass stands
// some 12 dB over a pair of its notes starts none.
constexpr double StretchFill = 0.6;
constexpr long StretchAge = 6;
constexpr int StretchExtraWindows = 5;
constexpr double StretchOffset = 0.0015;
constexpr double StretchNormalTwist = 4.0;
constexpr double StretchMeanShare = 0.06;
// A buried tone's frequency is measured to within 2 Hz or so whatever the
// tone, 0.2-0.3 % of a low one, and a partial of the music or the voice
// beside the low tone pulls it further in the windows, as PulledDrift allows
// under speech. Where the stretch hears no second harmonic of the low tone
// (a note's or a voice's has one) and the high tone stands still
// (StillDrift), the low tone may move StretchPulledDrift, a third of that;
// where it hears neither tone's harmonic and the high tone sits within
// StretchStillOffset, the low tone may sit StretchLowOffset off.
constexpr double StretchPulledDrift = 0.005;
constexpr double StretchLowOffset = 0.0025;
constexpr double StretchStillOffset = 0.001;
// A span of windows judged as one (see TakeSpan) may start a digit that
// neither kind of window could once SpanSteps spans in a row hold its pair
// (music or a voice as loud as the pair or louder takes the windows' share
// and lifts a rival in them, while over the span a steady tone stands out
// of the sound around it), with its tones within the stretch's offsets of
// the keypad's frequencies on the mean, standing still within BuriedDrift,
// and the twist in bounds on the mean. What tells notes apart is judged
// over the spans too: as the spans' steps span half the time the windows'
// do by the time they start a digit, the tones' opposite moves count at
// SpanMove of the windows', and a harmonic heard in most spans is a note's
// within SpanSlip: a span measures it finely, and a note's harmonic sits a
// little off twice its frequency (a string's stiffness, vibrato).
constexpr int SpanSteps = 6;
constexpr double SpanMove = 0.5;
constexpr double SpanSlip = 2 * MaxSlip;
// Long windows at nearly the pair's full level needed, over those the
// windows need, to start a digit that the windows alone do not start (a tone
// under speech): with 40 ms windows in 5 ms steps, a 23 ms burst fills at
// most 7 and a 100 ms tone about 17; fewer let notes of music through.
constexpr int LongExtraWindows = 7;
// Over those long windows, the pair's mean share of their power, and each
// other tone's mean power over its group's dominant tone's. A pair under
// MaskedShare on the mean (music or speech louder than the tones) must sit
// still within MaskedOffset of the keypad's frequencies, which the long
// windows measure finely.
constexpr double LongMeanShare = 0.10;
constexpr double MaxLongRival = 0.35; // 4.6 dB
constexpr double MaskedShare = 0.25;
constexpr double MaskedOffset = 0.002;
// A pair that the long windows hold on the keypad's own frequencies, within
// ExactOffset on their mean, with no other tone of its groups over ExactRival
// of its power and ExactShare of the band's power, starts a digit after as
// many long windows near full level as the windows need, once the windows
// show it lasting that long too (a burst shorter than a long window fills
// more of them near its level than a longer tone does): a keypad's tones sit
// there, while the notes of music nearest to them lie 0.2 % off or more and
// a voice's harmonics pass by.
constexpr double ExactOffset = 0.0015;
constexpr double ExactRival = 0.2;
constexpr double ExactShare = 0.25;
// Two windows in a row that hold under this share of a digit's peak level of
// its pair are a pause: a 25 ms pause brings two windows under an eighth, an
// echo 12 dB down (a quarter) does not, nor one window where the tone's end
// and its echo cancel.
constexpr double Trough = 0.18;
constexpr int TroughWindows = 2;
// The same digit again after a pause of less than about 60 ms (fewer than
// DeepWindows quiet windows: the end of a tone and its echo may cancel for
// 20 ms, and an echo that comes later than the tone is long leaves a short
// gap before it) comes back at this share of the last one's level at least;
// an echo 6 dB down or more does not. After a longer pause that an echo far
// down fills (quiet windows that hold the pair), it comes back over the
// trough.
constexpr double Revival = 0.6;
constexpr int DeepWindows = 10;
// An echo that leaves a pause before it comes no later than this after the
// tone's onset (in samples, 100 ms): the same digit starting later than that,
// after a pause, is the key pressed again, at whatever level it was pressed.
// An echo's tail that the windows lose for a moment where it joins the tone
// starts with no pause before it.
constexpr double EchoReach = 800;
// Somewhere in a pause the windows hold the pair under this share of its
// level: a codec that smears an echo's tail into the gap before it (GSM)
// leaves them at 0.1-0.17 of it there.
constexpr double Hush = 0.08;
// Beyond an echo's reach, a key pressed again while the echo's tail still
// fills the gap, far under the last digit's level for longer than a pause,
// rises out of it by this much at least (4 dB); the tail itself never rises.
constexpr double Rise = 1.6;
// Windows under this share of the level for longer than the pause that ends
// a digit are a pause too, after which the same digit may come back at
// nearly its level: an echo 10 dB down or more that fills the gap before it
// keeps the windows over the trough, while a dropout or a codec's lost frame
// brings no more than three of them this low.
constexpr double Sag = 0.35;
// An echo that joins a tone combs its spectrum: from when it comes, it may
// hold the twist out of bounds for the rest of the digit. Before it, the
// first EchoFreeWindows of a candidate hold the pair as it was sent; a window
// whose pair is that candidate's but for its twist carries the candidate on
// when no tone stands more than EchoRise over its power in the candidate's
// windows up to the first whose twist leaves the limits (an echo adds at most
// 6 dB to a tone; the first windows, which the tone only begins to fill, may
// hold it in part), and a digit that sounds in any case.
constexpr size_t EchoFreeWindows = 2;
constexpr double EchoRise = 6.0;
// The louder tone leaks into the weaker one's bin by a sidelobe whose phase
// turns against the weaker tone's from window to window, so one window's
// twist is off by up to about 1.5 dB (10 dB of twist, 941 and 1209 Hz). Over
// a digit's windows that averages out; over the first EchoFreeWindows alone
// it does not, and their mean must lie FirstTwistMargin inside the limits.
constexpr double FirstTwistMargin = 1.5;
// A tone of a pair borrowed from the sound around it sounded before the
// pair at Borrowing of its power in the pair or more, while the pair's other
// tone and another tone of its group, one that reaches Rival of the
// borrowed tone's power, were under Missing of theirs (by power, in the
// last window that ends BeforeMargin samples before the pair starts).
constexpr double Borrowing = 0.8;
constexpr double Missing = 0.05;
constexpr double Rival = 0.2;
constexpr double BeforeMargin = 20; // 2.5 ms

int WindowsFor(double Seconds)
{
    return static_cast<int>(std::lround(Seconds / WindowStep));
}

double Db(double Amplitude)
{
    return 20 * std::log10(std::max(Amplitude, 1e-30));
}

} // namespace

TDigitTracker::TDigitTracker(double WindowLength, double LongLength, const TStrictLimits &Limits,
                             double Scale, double Shift)
    : WindowLength(WindowLength), LongLength(LongLength), Scale(Scale), Shift(Shift),
      StartWindows(std::max(3, static_cast<int>((Limits.MinTone - NearFullLoss) / WindowStep) + 1)),
      NoisyStartWindows(StartWindows + NoisyExtraWindows),
      LongStartWindows(StartWindows + LongExtraWindows),
      StretchWindows(StartWindows + StretchExtraWindows),
      EndWindows(std::max(2, WindowsFor(Limits.MinPause))), MinTone(Limits.MinTone),
      MaxLowOverHigh(Limits.NormalTwist), MaxHighOverLow(Limits.ReverseTwist)
{
    Candidate.Marks.reserve(MaxMarks);
    LongCandidate.Marks.reserve(MaxMarks);
}

void TDigitTracker::Take(const TPairVerdict &Given, const TPairVerdict &LongVerdict,
                         double WindowStart, std::vector<TDecodedSymbol> &Ended,
                         std::vector<TDecodedSymbol> *Started)
{
    TKept &Newest = Kept[Windows % KeptWindows];
    std::copy(std::begin(Given.Power), std::end(Given.Power), Newest.Power);
    Newest.WindowStart = WindowStart;
    NewestEnd = WindowStart + WindowLength;
    const TPairVerdict &Verdict = Echoed(Given, Combed) ? Combed : Given;
    Watch(Verdict);
    if (Quiet >= DeepWindows)
        DeepPause = WindowStart;
    if (Gone >= DeepWindows)
        DeepGap = WindowStart;
    if (DigitSymbol != 0) {
        if (Carries(Verdict, LongVerdict, WindowStart)) {
            DigitMisses = 0;
            DigitPause = 0;
            DigitSag = 0;
            DigitFade = 0;
            DeepPause = NoPause;
            DeepGap = NoPause;
        } else {
            DigitPause = std::max(DigitPause, Quiet);
            DigitSag = std::max(DigitSag, Sagged);
            DigitFade = std::max(DigitFade, Faded);
            if (++DigitMisses >= EndWindows)
                EndDigit(Ended);
        }
    }
    // The barred digit's pair counts as missing, unless it comes back at
    // nearly its level after a sag as long as a pause.
    const bool Held = Barring();
    Barred = Held;
    // A key pressed again that rises out of an echo's tail is judged from
    // where its candidate's windows began.
    const auto Fed = [&](const TPairVerdict &V, const TCandidate &Into, double Length,
                         double From) -> const TPairVerdict & {
        if (!Held || V.Symbol != Last)
            return V;
        const double Scale = Length / WindowLength;
        const double Since =
            Into.Symbol == V.Symbol && !Into.Marks.empty() ? Into.Marks.front().WindowStart : From;
        return LastSag > EndWindows && (V.Level >= Revival * Scale * LastLevel ||
                                        Risen(LeadIn(V.Symbol, Since), V.Level / Scale))
                   ? V
                   : NoVerdict;
    };
    if (Verdict.Symbol != DigitSymbol || DigitSymbol == 0)
        Feed(Candidate, Fed(Verdict, Candidate, WindowLength, WindowStart), WindowStart);
    const double LongStart = WindowStart + WindowLength - LongLength;
    if (LongVerdict.Symbol != DigitSymbol || DigitSymbol == 0)
        Feed(LongCandidate, Fed(LongVerdict, LongCandidate, LongLength, LongStart), LongStart);
    ++Windows;
    const double Top = Ready();
    const double LongTop = Top > 0 ? 0 : LongReady();
    if (Top > 0 && !Borrowed(Candidate, WindowLength, Top))
        StartDigit(Candidate, WindowLength, Top, Ended, Started);
    else if (LongTop > 0 && !Borrowed(LongCandidate, LongLength, LongTop) &&
             !Voiced(LongCandidate, LongLength, LongTop))
        StartDigit(LongCandidate, LongLength, LongTop, Ended, Started);
}

// Whether one of the pair's tones sounded before the pair, near its level,
// while another tone of its group came with the pair's other tone: a note of
// music or a voice's harmonic on a keypad frequency that makes a pair with
// the other tone of a digit under it, in place of the digit's own.
bool TDigitTracker::Borrowed(const TCandidate &From, double Length, double Top) const
{
    int Low = 0;
    int High = 0;
    if (!KeypadTones(From.Symbol, Low, High))
        return false;
    const double Start = Onset(From, Length, Top);
    double Most[DtmfToneCount] = {};
    const float *Before = nullptr;
    for (long i = std::max(0L, Windows - static_cast<long>(KeptWindows)); i < Windows; ++i) {
        const TKept &Each = Kept[i % KeptWindows];
        if (Each.WindowStart >= Start) {
            for (int k = 0; k < DtmfToneCount; ++k)
                Most[k] = std::max(Most[k], static_cast<double>(Each.Power[k]));
        } else if (Each.WindowStart + WindowLength <= Start - BeforeMargin) {
            Before = Each.Power;
        }
    }
    if (Before == nullptr)
        return false;
    const auto Came = [&](int Tone) { return Before[Tone] < Missing * Most[Tone]; };
    const auto Taken = [&](int Tone, int First) {
        if (Before[Tone] < Borrowing * Most[Tone])
            return false;
        for (int k = First; k < First + 4; ++k)
            if (k != Tone && Came(k) && Most[k] >= Rival * Most[Tone])
                return true;
        return false;
    };
    return (Came(High) && Taken(Low, 0)) || (Came(Low) && Taken(High, 4));
}

// Whether Given holds, but for its twist, the pair of the digit sounding or
// of a candidate whose first windows hold its twist in bounds, as an echo
// that combs the tones leaves it; Combed is then Given with that pair.
bool TDigitTracker::Echoed(const TPairVerdict &Given, TPairVerdict &Combed) const
{
    const char Symbol = Given.Twisted;
    if (Symbol == 0)
        return false;
    bool Carried = Symbol == DigitSymbol && DigitLevel > 0;
    if (!Carried && DigitSymbol == 0 && Symbol == Candidate.Symbol &&
        Candidate.Marks.size() >= EchoFreeWindows) {
        int Low = 0;
        int High = 0;
        KeypadTones(Symbol, Low, High);
        double LowPower = 0;
        double HighPower = 0;
        for (size_t i = 0; i < Candidate.Marks.size(); ++i) {
            const TPairVerdict &Each = Candidate.Marks[i].Verdict;
            if (i >= EchoFreeWindows &&
                (Each.Twist > MaxLowOverHigh || Each.Twist < -MaxHighOverLow))
                break;
            LowPower = std::max(LowPower, static_cast<double>(Each.Power[Low]));
            HighPower = std::max(HighPower, static_cast<double>(Each.Power[High]));
        }
        Carried = TwistWithin(SumsOfFirst(Candidate.Marks, EchoFreeWindows)) &&
                  Given.Power[Low] <= EchoRise * LowPower &&
                  Given.Power[High] <= EchoRise * HighPower;
    }
    if (!Carried)
        return false;
    Combed = Given;
    Combed.Symbol = Symbol;
    return true;
}

// Counts the windows in a row that hold the pair of the digit sounding, or
// else of the one that ended last, at under a trough of its level, and those
// of them that do not hold it as a pair either (an echo's tail does).
void TDigitTracker::Watch(const TPairVerdict &Verdict)
{
    const char Symbol = DigitSymbol != 0 ? DigitSymbol : Last;
    const double Level = DigitSymbol != 0 ? WindowLevel() : LastLevel;
    const double PairLevel = Symbol != 0 ? Verdict.PairLevel(Symbol) : 0;
    const bool Under = Symbol != 0 && PairLevel < Trough * Level;
    Quiet = Under ? Quiet + 1 : 0;
    Sagged = Symbol != 0 && PairLevel < Sag * Level ? Sagged + 1 : 0;
    Faded = Symbol != 0 && PairLevel < Half * Level && Verdict.Symbol != Symbol ? Faded + 1 : 0;
    Gone = Under && Verdict.Symbol != Symbol ? Gone + 1 : 0;
}

// The digit's peak level in the windows. A digit that the long windows
// started may have none there yet: a steady tone's correlation grows with the
// window's length, so theirs scaled down stands for it.
double TDigitTracker::WindowLevel() const
{
    return DigitLevel > 0 ? DigitLevel : DigitLongLevel * WindowLength / LongLength;
}

// Whether the digit that ended last is still barred from starting again: it
// is until its pair has been all but gone for a pause, or under half its
// level without a window holding it for DeepWindows in a row. Music as loud
// as the pair or louder keeps its bins over the trough in a pause, while an
// echo's tail that does the same holds the pair.
bool TDigitTracker::Barring()
{
    LastPause = std::max(LastPause, Quiet);
    LastSag = std::max(LastSag, Sagged);
    LastFade = std::max(LastFade, Faded);
    return Last != 0 && LastPause < TroughWindows && LastFade < DeepWindows;
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
    Into.Marks.push_back({Verdict, WindowStart, Windows});
    Into.Misses = 0;
}

double TDigitTracker::Peak(const std::vector<TMark> &Marks, size_t Newest)
{
    double Peak = 0;
    for (size_t i = Marks.size() - std::min(Newest, Marks.size()); i < Marks.size(); ++i)
        Peak = std::max(Peak, Marks[i].Verdict.Level);
    return Peak;
}

TDigitTracker::TSums TDigitTracker::FullLevelSums(const std::vector<TMark> &Marks, double Top)
{
    return SumsFrom(Marks, NearFull * Top);
}

TDigitTracker::TSums TDigitTracker::SumsOfFirst(const std::vector<TMark> &Marks, size_t Count)
{
    TSums Sums;
    for (size_t i = 0; i < std::min(Count, Marks.size()); ++i) {
        ++Sums.Full;
        Sums.Twist += Marks[i].Verdict.Twist;
    }
    return Sums;
}

TDigitTracker::TSums TDigitTracker::SumsFrom(const std::vector<TMark> &Marks, double Least)
{
    TSums Sums;
    for (const TMark &Mark : Marks)
        if (Mark.Verdict.Level >= Least) {
            ++Sums.Full;
            Sums.Twist += Mark.Verdict.Twist;
            Sums.Share += Mark.Verdict.Share;
            Sums.LowRival += Mark.Verdict.LowRival;
            Sums.HighRival += Mark.Verdict.HighRival;
            Sums.LowOffset += Mark.Verdict.LowOffset;
            Sums.HighOffset += Mark.Verdict.HighOffset;
            Sums.Buried += Mark.Verdict.Share < BuriedShare;
            Sums.Clipped += Mark.Verdict.Clipped;
        }
    return Sums;
}

// The peak level a stretch is judged at, Whole (the peak of all its marks)
// or lower, with the sums over its windows near it. An echo that joins a tone
// out of phase brings its level down for the rest of the digit: when the
// windows before it are too few to start one, those near the newest windows'
// peak count, if their pair carries at least MinShare of their power on the
// mean.
double TDigitTracker::StartLevel(const std::vector<TMark> &Marks, double Whole, int Needed,
                                 double MinShare, TSums &Sums)
{
    Sums = FullLevelSums(Marks, Whole);
    if (Sums.Full >= Needed)
        return Whole;
    const double Recent = Peak(Marks, RecentWindows);
    const TSums RecentSums = FullLevelSums(Marks, Recent);
    if (RecentSums.Share < MinShare * RecentSums.Full)
        return Whole;
    Sums = RecentSums;
    return Recent;
}

double TDigitTracker::Ready() const
{
    const std::vector<TMark> &Marks = Candidate.Marks;
    if (static_cast<int>(Marks.size()) < StartWindows)
        return 0;
    const double Whole = Peak(Marks);
    TSums Sums;
    const double Top = StartLevel(Marks, Whole, StartWindows, 0, Sums);
    const bool Clean = Sums.Share >= CleanShare * Sums.Full || ClearKeyed(Marks, Top);
    const bool Buried = !Clean && Sums.Buried > 0;
    const int Needed = Clean ? StartWindows : NoisyStartWindows;
    const bool Again = Revived(Candidate, WindowLength, Top);
    const double Drift = Clean ? CleanDrift : Buried ? BuriedDrift : MaxDrift;
    // A codec that overshoots as a digit starts (GSM lifts one tone for its
    // first frames) leaves the windows at full level with a twist that the
    // rest of the digit does not have: on the mean over the windows at half
    // its level and more, the twist is the digit's.
    const bool Twist = TwistWithin(Sums) || TwistWithin(SumsFrom(Marks, Half * Top)) ||
                       TwistWithin(SumsOfFirst(Marks, EchoFreeWindows), FirstTwistMargin);
    const bool Start = Sums.Full >= Needed && Again && Twist &&
                       (!Buried || NearNominal(Sums, BuriedOffset, BuriedOffset)) &&
                       Steady(Marks, Top, Drift, Clean || Buried ? 0 : PulledDrift) &&
                       !Musical(Marks, Whole) && (Clean || !Voiced(Candidate, WindowLength, Top));
    return Start ? Top : 0;
}

// Whether each tone sits within its offset of its frequency on the mean.
bool TDigitTracker::NearNominal(const TSums &Sums, double MaxLowOffset, double MaxHighOffset)
{
    return std::fabs(Sums.LowOffset) <= MaxLowOffset * Sums.Full &&
           std::fabs(Sums.HighOffset) <= MaxHighOffset * Sums.Full;
}

// One window's twist is off by up to about 2 dB; the mean is not.
bool TDigitTracker::TwistWithin(const TSums &Sums, double Margin) const
{
    const double Twist = Sums.Twist / Sums.Full;
    const double Slack = (2 * Sums.Clipped >= Sums.Full ? TPairJudge::ClipTwistSlack : 0) - Margin;
    return Twist <= MaxLowOverHigh + Slack && Twist >= -(MaxHighOverLow + Slack);
}

// Whether From's pair at Top (in windows Length long) may be a digit: the
// digit that ended last comes back after a long pause, or at nearly its
// level, or after a pause beyond its echo's reach, not as its echo's tail.
bool TDigitTracker::Revived(const TCandidate &From, double Length, double Top) const
{
    if (From.Symbol != Last)
        return true;
    // Only a pause before the pair's onset counts: the long windows and the
    // stretches may judge an echo's tail after the pause that follows it.
    const double Start = Onset(From, Length, Top);
    const auto Before = [Start](double Pause) { return Pause != NoPause && Pause <= Start; };
    if (Before(DeepGap))
        return true;
    // After a long pause that an echo far down filled, or a pause beyond an
    // echo's reach, over the trough: the echo's own tail stays under it.
    const double Scale = Length / WindowLength;
    const TLead Lead = LeadIn(From.Symbol, Start);
    if (Before(DeepPause) || Lead.Paused)
        return Top >= Trough * Scale * LastLevel;
    if (Risen(Lead, Top / Scale))
        return true;
    // An echo that joins a tone may lift its level for the rest of it, while
    // the key pressed again comes back at the tone's own level, the one the
    // last digit started at.
    return Top >= Revival * Scale * std::min(LastLevel, LastOnset);
}

double TDigitTracker::LongReady() const
{
    const std::vector<TMark> &Marks = LongCandidate.Marks;
    if (static_cast<int>(Marks.size()) < StartWindows)
        return 0;
    const double Whole = Peak(Marks);
    TSums Sums;
    const double Top = StartLevel(Marks, Whole, LongStartWindows, LongFallShare, Sums);
    const bool Masked = Sums.Share < MaskedShare * Sums.Full;
    const bool Exact =
        Sums.Full >= StartWindows && NearNominal(Sums, ExactOffset, ExactOffset) &&
        Sums.LowRival <= ExactRival * Sums.Full && Sums.HighRival <= ExactRival * Sums.Full &&
        Sums.Share >= ExactShare * Sums.Full &&
        KeptFull(LongCandidate.Symbol, Onset(LongCandidate, LongLength, Top)) >= StartWindows;
    const bool Start =
        Sums.Full >= (Exact ? StartWindows : LongStartWindows) &&
        Revived(LongCandidate, LongLength, Top) && Sums.Share >= LongMeanShare * Sums.Full &&
        Sums.LowRival <= MaxLongRival * Sums.Full && Sums.HighRival <= MaxLongRival * Sums.Full &&
        TwistWithin(Sums) && (!Masked || NearNominal(Sums, MaskedOffset, MaskedOffset)) &&
        Steady(Marks, Whole, Masked ? BuriedDrift : MaxDrift, Masked ? 0 : PulledDrift) &&
        !Musical(Marks, Whole);
    return Start ? Top : 0;
}

bool TDigitTracker::StretchAged() const
{
    const auto Lasted = [this](const TCandidate &Each) {
        return Each.Symbol != 0 && Windows - Each.Marks.front().Index >= StretchAge;
    };
    return DigitSymbol == 0 && (Lasted(Candidate) || Lasted(LongCandidate));
}

bool TDigitTracker::WantsStretch() const
{
    // What a stretch asks of the candidate it starts, whatever the stretch
    // holds: judging one for candidates that fail it would be lost work.
    const auto MayStart = [this](const TCandidate &Each, double Length) {
        if (Each.Symbol == 0)
            return false;
        const double Top = Peak(Each.Marks);
        return Revived(Each, Length, Top) &&
               Steady(Each.Marks, Top, BuriedDrift, StretchPulledDrift);
    };
    return StretchAged() &&
           (MayStart(Candidate, WindowLength) || MayStart(LongCandidate, LongLength));
}

void TDigitTracker::TakeStretch(const TPairVerdict &Verdict, double Fill, double Seconds,
                                std::vector<TDecodedSymbol> &Ended,
                                std::vector<TDecodedSymbol> *Started)
{
    // The candidate is judged below as WantsStretch judges it.
    if (!StretchAged() || Verdict.Symbol == 0)
        return;
    const bool Long = Verdict.Symbol == LongCandidate.Symbol;
    if (!Long && Verdict.Symbol != Candidate.Symbol)
        return;
    const TCandidate &From = Long ? LongCandidate : Candidate;
    const double Length = Long ? LongLength : WindowLength;
    const double Top = Peak(From.Marks);
    const TSums Sums = FullLevelSums(From.Marks, Top);
    // The pair sounds all through the stretch, for no less than the shortest
    // tone, or the long windows have held it near full level for long.
    const bool Lasting =
        (Fill >= StretchFill && Fill * Seconds >= MinTone) || (Long && Sums.Full >= StretchWindows);
    const double ClipSlack = Verdict.Clipped ? TPairJudge::ClipTwistSlack : 0;
    const bool Plain = !Verdict.LowHeard && !Verdict.HighHeard &&
                       std::fabs(Verdict.HighOffset) <= StretchStillOffset;
    const double LowOffset = Plain ? StretchLowOffset : StretchOffset;
    // Either kind of window may show the tones standing still: the long ones
    // measure a frequency finely, the short ones take in less of the sound
    // around the tones.
    const auto Still = [&](const TCandidate &Each) {
        return Each.Symbol == From.Symbol && Steady(Each.Marks, Peak(Each.Marks), BuriedDrift,
                                                    Verdict.LowHeard ? 0 : StretchPulledDrift);
    };
    // A stretch that the tone fills only in part measures its offsets, and
    // so its twist, poorly: the windows' mean twist must hold as well.
    if (Lasting && Sums.Share >= StretchMeanShare * Sums.Full && TwistWithin(Sums) &&
        Revived(From, Length, Top) && std::fabs(Verdict.LowOffset) <= LowOffset &&
        std::fabs(Verdict.HighOffset) <= StretchOffset &&
        Verdict.Twist <= std::min(MaxLowOverHigh, StretchNormalTwist) &&
        Verdict.Twist >= -(MaxHighOverLow + ClipSlack) &&
        (Still(Candidate) || Still(LongCandidate)) && !Musical(From.Marks, Top, TMarks::Stretch) &&
        !Borrowed(From, Length, Top) && !Voiced(From, Length, Top))
        StartDigit(From, Length, Top, Ended, Started);
}

void TDigitTracker::TakeSpan(const TPairVerdict &Verdict, double Fill, double SpanStart,
                             double Length, double Seconds, std::vector<TDecodedSymbol> &Ended,
                             std::vector<TDecodedSymbol> *Started)
{
    if (DigitSymbol != 0)
        return;
    const bool Takes = Verdict.Symbol != 0 && Fill >= SpanFill && WantsSpan(Verdict.Symbol);
    Feed(SpanCandidate, Takes ? Verdict : NoVerdict, SpanStart);
    const std::vector<TMark> &Marks = SpanCandidate.Marks;
    if (!Takes || static_cast<int>(Marks.size()) < SpanSteps || Fill * Seconds < MinTone)
        return;
    const double Top = Peak(Marks);
    const TSums Sums = SumsFrom(Marks, 0);
    if (NearNominal(Sums, StretchLowOffset, StretchOffset) && TwistWithin(Sums) &&
        Sums.Share >= StretchMeanShare * Sums.Full && Revived(SpanCandidate, Length, Top) &&
        Steady(Marks, Top, BuriedDrift) && !Musical(Marks, Top, TMarks::Spans) &&
        !Borrowed(SpanCandidate, Length, Top) && !Voiced(SpanCandidate, Length, Top))
        StartDigit(SpanCandidate, Length, Top, Ended, Started);
}

// Notes of music carry harmonics locked to them, two notes that come near a
// pair are off it each in its own way, and they come and fade each in its
// own time; a keypad's tones have no harmonics, come from one clock, and
// start and stop together.
bool TDigitTracker::Musical(const std::vector<TMark> &Marks, double Peak, TMarks Kind)
{
    int LowTone = 0;
    int HighTone = 0;
    if (Marks.empty() || !KeypadTones(Marks.front().Verdict.Symbol, LowTone, HighTone))
        return false;
    // Each tone's level (dB) in the windows near full level.
    double LowDb[MaxMarks];
    double HighDb[MaxMarks];
    size_t Full = 0;
    int Hearing = 0; // windows near full level that tell of harmonics
    int LowHeard = 0;
    int HighHeard = 0;
    double LowSlip = 0;
    double HighSlip = 0;
    double Skew = 0;
    double LowOffset = 0;
    double HighOffset = 0;
    double Share = 0;
    size_t Clipped = 0;
    double LowOffsets[MaxMarks];
    double HighOffsets[MaxMarks];
    for (const TMark &Mark : Marks)
        if (Mark.Verdict.Level >= NearFull * Peak) {
            LowOffsets[Full] = Mark.Verdict.LowOffset;
            HighOffsets[Full] = Mark.Verdict.HighOffset;
            LowDb[Full] = Db(std::sqrt(Mark.Verdict.Power[LowTone]));
            HighDb[Full] = Db(std::sqrt(Mark.Verdict.Power[HighTone]));
            ++Full;
            if (!Mark.Verdict.Railed) {
                ++Hearing;
                LowHeard += Mark.Verdict.LowHeard;
                HighHeard += Mark.Verdict.HighHeard;
                LowSlip += Mark.Verdict.LowHeard ? Mark.Verdict.LowSlip : 0;
                HighSlip += Mark.Verdict.HighHeard ? Mark.Verdict.HighSlip : 0;
            }
            Skew += Mark.Verdict.LowOffset - Mark.Verdict.HighOffset;
            LowOffset += Mark.Verdict.LowOffset;
            HighOffset += Mark.Verdict.HighOffset;
            Share += Mark.Verdict.Share;
            Clipped += Mark.Verdict.Clipped;
        }
    // A harmonic heard in most windows whose offset, on the mean, is the
    // tone's: what leaks into its bin from elsewhere averages out.
    // A clipped line adds odd products of the pair, among them 2 f1 + f2 and
    // 3 f2 - 2 f1, which sit either side of the high tone's harmonic at
    // |2 f1 - f2| (under 100 Hz for 2, 3, 6, B and C): in its bin they read
    // as a harmonic locked to the tone.
    const bool Clipping = 2 * Clipped >= Full;
    const double MostSlip = Kind == TMarks::Spans ? SpanSlip : MaxSlip;
    const auto Locked = [Hearing, MostSlip](int Heard, double Slip) {
        return Hearing > 0 && Heard >= MinHeard * Hearing && std::fabs(Slip) <= MostSlip * Heard;
    };
    // Each tone's move from the first half of the windows to the second.
    const size_t Each = Full / 2;
    double LowMove = 0;
    double HighMove = 0;
    for (size_t i = 0; i < Each; ++i) {
        LowMove += LowDb[Full - 1 - i] - LowDb[i];
        HighMove += HighDb[Full - 1 - i] - HighDb[i];
    }
    const double Move = Kind == TMarks::Spans ? SpanMove : 1.0;
    const double Least = Move * MinOppositeMove * Each;
    const bool Apart =
        (LowMove > Least && HighMove < -Least) || (LowMove < -Least && HighMove > Least);
    const bool Held = Share >= CleanShare * Full && TwistHeld(LowDb, HighDb, Full);
    const double MostSkew = Share >= ClearShare * Full ? MaxClearSkew : MaxSkew;
    const auto Dialled = [&](int Tone, double Offset) {
        return std::fabs(Offset / Full - (DiallerFrequencies[Tone] / DtmfFrequencies[Tone] - 1)) <=
               DiallerMatch;
    };
    const bool Dialler = Dialled(LowTone, LowOffset) && Dialled(HighTone, HighOffset);
    const bool Skewed = Kind != TMarks::Stretch && !Dialler && std::fabs(Skew) > MostSkew * Full &&
                        !(Share >= ClearShare * Full && Keyed(LowOffsets, HighOffsets, Full));
    return Locked(LowHeard, LowSlip) || (!Clipping && Locked(HighHeard, HighSlip)) || Skewed ||
           (Apart && !Held && std::fabs(LowMove - HighMove) > Move * MaxTwistMove * Each);
}

// Whether the windows near Top hold a keypad's pair that carries CleanShare
// of their power once each tone's loss to its offset is given back: a tone
// 1.5 % off keeps only part of its power in a 20 ms window's bin (0.45 at
// 1633 Hz), so a clean pair keyed off its frequencies looks noisy, and a
// 40 ms one then fills too few windows to start. It is given back only to
// tones that hold their offsets as a keypad's do (see Keyed).
bool TDigitTracker::ClearKeyed(const std::vector<TMark> &Marks, double Top) const
{
    int Low = 0;
    int High = 0;
    if (Marks.empty() || !KeypadTones(Marks.front().Verdict.Symbol, Low, High))
        return false;
    double LowOffsets[MaxMarks];
    double HighOffsets[MaxMarks];
    size_t Count = 0;
    double Share = 0;
    for (const TMark &Mark : Marks)
        if (Mark.Verdict.Level >= NearFull * Top) {
            const TPairVerdict &Verdict = Mark.Verdict;
            const double LowGain =
                TPairJudge::WindowGain(Verdict.LowOffset * DtmfFrequencies[Low], WindowLength);
            const double HighGain =
                TPairJudge::WindowGain(Verdict.HighOffset * DtmfFrequencies[High], WindowLength);
            const double Pair = Verdict.Power[Low] + Verdict.Power[High];
            if (Pair > 0)
                Share += Verdict.Share *
                         (Verdict.Power[Low] / (LowGain * LowGain) +
                          Verdict.Power[High] / (HighGain * HighGain)) /
                         Pair;
            LowOffsets[Count] = Verdict.LowOffset;
            HighOffsets[Count] = Verdict.HighOffset;
            ++Count;
        }
    return Share >= CleanShare * static_cast<double>(Count) &&
           Keyed(LowOffsets, HighOffsets, Count);
}

// Whether two tones' offsets (Count of each, in the windows' order) each
// hold within HeldOffset of their median in half the windows or more, and
// each tone's offset lies within KeypadOffset. Each offset is taken over
// two windows in a row: two tones so close that each one's sidelobe reaches
// the other's bin swing each other's offset to and fro from one window to
// the next. A window that the tone fills only in part shows half its
// offset, so the tone's offset is the mean of the half of them farthest
// from its frequency.
bool TDigitTracker::Keyed(const double *LowOffsets, const double *HighOffsets, size_t Count)
{
    const auto Held = [Count](const double *Offsets) {
        const size_t Pairs = Count - 1;
        double Paired[MaxMarks];
        for (size_t i = 0; i < Pairs; ++i)
            Paired[i] = (Offsets[i] + Offsets[i + 1]) / 2;
        std::sort(Paired, Paired + Pairs);
        const double Median = Paired[Pairs / 2];
        double Far[MaxMarks];
        for (size_t i = 0; i < Pairs; ++i) {
            Far[i] = std::fabs(Paired[i]);
            Paired[i] = std::fabs(Paired[i] - Median);
        }
        std::sort(Far, Far + Pairs);
        double Offset = 0;
        for (size_t i = Pairs / 2; i < Pairs; ++i)
            Offset += Far[i];
        Offset /= static_cast<double>(Pairs - Pairs / 2);
        std::nth_element(Paired, Paired + Pairs / 2, Paired + Pairs);
        return Offset <= KeypadOffset && Paired[Pairs / 2] <= HeldOffset;
    };
    return Count > 1 && Held(LowOffsets) && Held(HighOffsets);
}

// Whether the twist of the newest windows stands still.
bool TDigitTracker::TwistHeld(const double *LowDb, const double *HighDb, size_t Count)
{
    const auto Span = [&](size_t Newest) {
        double Most = -1e9;
        double Least = 1e9;
        for (size_t i = Count - Newest; i < Count; ++i) {
            Most = std::max(Most, LowDb[i] - HighDb[i]);
            Least = std::min(Least, LowDb[i] - HighDb[i]);
        }
        return Most - Least;
    };
    if (Count < HeldTwistWindows)
        return false;
    if (Span(HeldTwistWindows) <= HeldTwistSpan)
        return true;
    if (Count < FlickerWindows || Span(FlickerWindows) > FlickerSpan)
        return false;
    double Trend = 0;
    for (size_t i = 0; i < FlickerWindows / 2; ++i)
        Trend += (LowDb[Count - 1 - i] - HighDb[Count - 1 - i]) -
                 (LowDb[Count - FlickerWindows + i] - HighDb[Count - FlickerWindows + i]);
    return std::fabs(Trend) <= HeldTwistSpan * (FlickerWindows / 2);
}

// Each window's offset is the phase turn since the window before, so over an
// unbroken run of windows the offsets add up to the whole turn and their mean
// over each half of the run is that half's frequency, with little noise.
bool TDigitTracker::Steady(const std::vector<TMark> &Marks, double Peak, double MaxDrift,
                           double MaxLowDrift)
{
    const double Least = Settled * Peak;
    // The settled stretch: from the first window whose predecessor is
    // settled too, to the last settled window.
    size_t First = Marks.size();
    size_t Last = 0;
    for (size_t i = 1; i < Marks.size(); ++i) {
        if (First == Marks.size() && Marks[i - 1].Verdict.Level >= Least &&
            Marks[i].Verdict.Level >= Least)
            First = i;
        if (Marks[i].Verdict.Level >= Least)
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
        Low += Marks[Last - i].Verdict.LowOffset - Marks[First + i].Verdict.LowOffset;
        High += Marks[Last - i].Verdict.HighOffset - Marks[First + i].Verdict.HighOffset;
    }
    const double LowMost = std::fabs(High) <= StillDrift * Each ? MaxLowDrift : MaxDrift;
    return std::fabs(Low) <= std::max(MaxDrift, LowMost) * Each &&
           std::fabs(High) <= MaxDrift * Each;
}

// Whether the pair that From holds is two harmonics of a voice, heard from
// where it started (40 ms at least) up to the newest window.
bool TDigitTracker::Voiced(const TCandidate &From, double Length, double Top) const
{
    int Low = 0;
    int High = 0;
    if (Comb == nullptr || !KeypadTones(From.Symbol, Low, High))
        return false;
    const double Heard = std::max(2 * WindowLength, NewestEnd - Onset(From, Length, Top));
    return Comb->Voiced(Low, High, static_cast<int>(std::lround(Heard)));
}

double TDigitTracker::Onset(const TCandidate &From, double Length, double Top)
{
    // The first window the tone fills at least half of; the tone takes up its
    // back part in proportion to the window's level.
    for (const TMark &Mark : From.Marks)
        if (Mark.Verdict.Level >= Half * Top)
            return Mark.WindowStart + (1 - Mark.Verdict.Level / Top) * Length;
    return From.Marks.back().WindowStart;
}

void TDigitTracker::StartDigit(const TCandidate &From, double Length, double Top,
                               std::vector<TDecodedSymbol> &Ended,
                               std::vector<TDecodedSymbol> *Started)
{
    if (DigitSymbol != 0)
        EndDigit(Ended);
    DigitStart = Onset(From, Length, Top);
    const TMark &Newest = From.Marks.back();
    DigitEnd = Newest.WindowStart + std::min(1.0, Newest.Verdict.Level / Top) * Length;
    DigitSymbol = From.Symbol;
    DigitLevel = &From == &Candidate       ? Top
                 : &From == &SpanCandidate ? KeptLevel(From.Symbol, DigitStart)
                                           : 0;
    DigitLongLevel = &From == &LongCandidate ? Top : 0;
    DigitOnset = WindowLevel();
    DigitMisses = 0;
    DigitPause = 0;
    DigitSag = 0;
    DigitFade = 0;
    DeepPause = NoPause;
    DeepGap = NoPause;
    Last = 0;
    Forget();
    if (Started != nullptr)
        Started->push_back({DigitSymbol, Place(DigitStart), -1});
}

bool TDigitTracker::Risen(const TLead &Lead, double Level) const
{
    return Lead.Sagged > EndWindows && Level >= Rise * Lead.Most;
}

TDigitTracker::TLead TDigitTracker::LeadIn(char Symbol, double Start) const
{
    TLead Lead;
    int Low = 0;
    int High = 0;
    if (Start - LastStart <= EchoReach || !KeypadTones(Symbol, Low, High))
        return Lead;
    int Under = 0;
    bool Pausing = true;
    double Least = LastLevel;
    for (long i = Windows - 1; i >= std::max(0L, Windows - static_cast<long>(KeptWindows)); --i) {
        const TKept &Each = Kept[i % KeptWindows];
        if (Each.WindowStart + WindowLength > Start)
            continue;
        const double Level = std::sqrt(Each.Power[Low]) + std::sqrt(Each.Power[High]);
        if (Level >= Sag * LastLevel)
            break;
        if (++Lead.Sagged <= EndWindows)
            Lead.Most = std::max(Lead.Most, Level);
        Pausing = Pausing && Level < Trough * LastLevel;
        if (Pausing) {
            ++Under;
            Least = std::min(Least, Level);
        }
    }
    Lead.Paused = Under >= TroughWindows && Least < Hush * LastLevel;
    return Lead;
}

int TDigitTracker::KeptLevels(char Symbol, double From, double *Levels) const
{
    int Low = 0;
    int High = 0;
    if (!KeypadTones(Symbol, Low, High))
        return 0;
    int Count = 0;
    for (long i = std::max(0L, Windows - static_cast<long>(KeptWindows)); i < Windows; ++i) {
        const TKept &Each = Kept[i % KeptWindows];
        if (Each.WindowStart + WindowLength > From)
            Levels[Count++] = std::sqrt(static_cast<double>(Each.Power[Low])) +
                              std::sqrt(static_cast<double>(Each.Power[High]));
    }
    return Count;
}

double TDigitTracker::KeptLevel(char Symbol, double From) const
{
    double Levels[KeptWindows];
    const int Count = KeptLevels(Symbol, From, Levels);
    return Count > 0 ? *std::max_element(Levels, Levels + Count) : 0;
}

int TDigitTracker::KeptFull(char Symbol, double From) const
{
    double Levels[KeptWindows];
    const int Count = KeptLevels(Symbol, From, Levels);
    const double Least = Count > 0 ? NearFull * *std::max_element(Levels, Levels + Count) : 0;
    return static_cast<int>(
        std::count_if(Levels, Levels + Count, [Least](double Level) { return Level >= Least; }));
}

void TDigitTracker::EndDigit(std::vector<TDecodedSymbol> &Ended)
{
    Ended.push_back({DigitSymbol, Place(DigitStart), Place(std::max(DigitEnd, DigitStart))});
    Last = DigitSymbol;
    LastLevel = WindowLevel();
    LastOnset = DigitOnset;
    LastStart = DigitStart;
    LastPause = DigitPause;
    LastSag = DigitSag;
    LastFade = DigitFade;
    DigitSymbol = 0;
    DigitMisses = 0;
}

void TDigitTracker::Finish(std::vector<TDecodedSymbol> &Ended)
{
    if (DigitSymbol != 0)
        EndDigit(Ended);
    std::fill(std::begin(Kept), std::end(Kept), TKept());
    Last = 0;
    Forget();
}

void TDigitTracker::Forget()
{
    for (TCandidate *Each : {&Candidate, &LongCandidate, &SpanCandidate}) {
        Each->Symbol = 0;
        Each->Marks.clear();
        Each->Misses = 0;
    }
}

int64_t TDigitTracker::Place(double Position) const
{
    return std::llround(Scale * Position + Shift);
}
