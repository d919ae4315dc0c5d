// The strict receiver's stages one by one, each on a signal of its own: the
// decimator, the tone bank and its stretches, the pair judge and the digit
// tracker.
#include "Keypad.h"
#include "strict/Decimator.h"
#include "strict/DigitTracker.h"
#include "strict/PairJudge.h"
#include "strict/QuickMath.h"
#include "strict/ToneBank.h"
#include "strict/ToneStretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<float> Sine(double Hertz, double Amplitude, size_t Count, double Rate)
{
    std::vector<float> x(Count);
    for (size_t n = 0; n < Count; ++n)
        x[n] = static_cast<float>(Amplitude * std::sin(2 * M_PI * Hertz * n / Rate + 0.3));
    return x;
}

// Amplitude of a sine of known frequency in x, from a correlation over a
// whole number of cycles.
double AmplitudeAt(const std::vector<float> &x, size_t From, double Hertz, double Rate)
{
    const size_t Count =
        static_cast<size_t>(std::floor((x.size() - From) * Hertz / Rate) * Rate / Hertz);
    std::complex<double> Sum = 0;
    for (size_t n = 0; n < Count; ++n)
        Sum += static_cast<double>(x[From + n]) * std::polar(1.0, -2 * M_PI * Hertz * n / Rate);
    return 2 * std::abs(Sum) / Count;
}

// Gain() is what a steady sine loses through the decimator, in the band and
// on the way to its zeros; whatever folds onto the keypad's band from above
// 4 kHz is at least 48 dB down.
TEST(StrictStages, DecimatorGainAndFolding)
{
    struct TRow
    {
        double Input;  // Hz at 48000
        double Output; // where it lands at 8000 Hz
        bool Folds;
    };
    const TRow Rows[] = {
        {697, 697, false},        {941, 941, false},          {1633, 1633, false},
        {3000, 3000, false},      {8000 - 697, 697, true},    {8000 + 1209, 1209, true},
        {16000 - 941, 941, true}, {16000 + 1633, 1633, true}, {24000 - 1477, 1477, true},
        {40000 - 852, 852, true},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Input);
        TDecimator Decimator;
        const std::vector<float> In = Sine(Row.Input, 0.5, 48000 / 5, 48000);
        std::vector<float> Out(In.size() / TDecimator::Factor + 1);
        Out.resize(Decimator.Process(In.data(), In.size(), Out.data()));
        const double Gain = AmplitudeAt(Out, 10, Row.Output, 8000) / 0.5;
        EXPECT_NEAR(Gain, TDecimator::Gain(Row.Input), 2e-3);
        if (Row.Folds) {
            EXPECT_LT(20 * std::log10(Gain), -48.0);
        }
    }
    EXPECT_NEAR(TDecimator::Gain(0), 1.0, 1e-12);
}

// Every window and long window of the bank is the correlation of the last
// 160 and 320 samples with each tone, counted from the stream's start, and
// their energy, and so is every stretch of windows, ending with the newest
// sub-block or one earlier; a few all-zero sub-blocks in between change
// nothing.
TEST(StrictStages, ToneBankAgainstDirectCorrelation)
{
    std::mt19937 Random(4);
    std::normal_distribution<double> Gauss(0, 0.05);
    std::vector<float> x(8000 / 2);
    for (size_t n = 0; n < x.size(); ++n)
        x[n] =
            static_cast<float>(0.3 * std::sin(2 * M_PI * 770 * n / 8000.0) +
                               0.2 * std::sin(2 * M_PI * 1477.5 * n / 8000.0 + 1) + Gauss(Random));
    for (size_t n = 2000; n < 2120; ++n) // three silent sub-blocks
        x[n] = 0;
    TToneBank Bank;
    TToneStretch Stretch;
    constexpr size_t Step = TToneBank::SubBlock;
    double Worst = 0;
    for (size_t End = Step; End <= x.size(); End += Step) {
        const TToneWindow &Now = Bank.Analyse(x.data() + End - Step);
        Stretch.Take(Now);
        if (End < TToneStretch::MostWindows * TToneBank::Window + Step)
            continue;
        const std::pair<TToneWindow, size_t> Checked[] = {
            {Now, End},
            {Bank.LongWindow(), End},
            {Stretch.Stretch(TToneStretch::MostWindows, 0), End},
            {Stretch.Stretch(TToneStretch::MostWindows - 1, 1), End - Step}};
        for (const auto &[Window, Last] : Checked) {
            const size_t First = Last - static_cast<size_t>(Window.Length);
            double Energy = 0;
            for (size_t n = First; n < Last; ++n)
                Energy += static_cast<double>(x[n]) * x[n];
            EXPECT_NEAR(Window.Energy, Energy, 1e-4 * Energy);
            for (int k = 0; k < BankTones; ++k) {
                std::complex<double> Sum = 0;
                for (size_t n = First; n < Last; ++n)
                    Sum += static_cast<double>(x[n]) *
                           std::polar(1.0, -2 * M_PI * TToneBank::Frequency(k) * n / 8000.0);
                Worst = std::max(Worst, std::abs(Window.Tone[k] - Sum) / Window.Length);
            }
        }
    }
    EXPECT_LT(Worst, 2e-6);
}

// The bank's kernels for this processor's vector unit give what the portable
// ones give, bit for bit, on tones, noise, full-scale and faint signals and
// silence between them.
TEST(StrictStages, ToneBankKernelsAgree)
{
    struct TRow
    {
        const char *Name;
        double Tone;  // amplitude of a 770 + 1477 Hz pair
        double Noise; // rms
        bool Gaps;    // silent stretches of one to twelve sub-blocks
    };
    const TRow Rows[] = {
        {"tones", 0.3, 0, false},           {"noise", 0, 0.3, false},
        {"full scale", 1.0, 0.5, true},     {"faint", 1e-4, 1e-5, true},
        {"tones in noise", 0.1, 0.1, true},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        std::mt19937 Random(11);
        std::normal_distribution<double> Gauss(0, Row.Noise);
        std::vector<float> x(8000);
        for (size_t n = 0; n < x.size(); ++n)
            x[n] = static_cast<float>(Row.Tone * (std::sin(2 * M_PI * 770 * n / 8000.0) +
                                                  std::sin(2 * M_PI * 1477 * n / 8000.0 + 1)) +
                                      (Row.Noise > 0 ? Gauss(Random) : 0));
        for (size_t Gap = 1; Row.Gaps && Gap <= 12; Gap += 5)
            std::fill_n(x.begin() + static_cast<long>(Gap * 500), Gap * TToneBank::SubBlock, 0.0f);
        TToneBank Fast;
        TToneBank Portable(true);
        for (size_t At = 0; At < x.size(); At += TToneBank::SubBlock) {
            const TToneWindow &A = Fast.Analyse(x.data() + At, 0.5);
            const TToneWindow &B = Portable.Analyse(x.data() + At, 0.5);
            for (const auto &[P, Q] :
                 {std::make_pair(&A, &B),
                  std::make_pair(&Fast.LongWindow(), &Portable.LongWindow())}) {
                ASSERT_EQ(P->Energy, Q->Energy) << At;
                for (int k = 0; k < BankTones; ++k)
                    ASSERT_EQ(P->Tone[k], Q->Tone[k]) << At << " tone " << k;
            }
        }
    }
}

// The judge's quick functions against the library's: within 1e-12 over the
// ranges it meets and far past them, and the same on zeros of either sign,
// exact multiples and the values where their reductions switch.
TEST(StrictStages, QuickMathAgainstLibrary)
{
    std::mt19937 Random(5);
    std::uniform_real_distribution<double> Unit(-1, 1);
    const double Inf = std::numeric_limits<double>::infinity();
    for (const double y : {0.0, -0.0, 1.0, -1.0, 0.41421356237309503, 1e-300, -Inf})
        for (const double x : {0.0, -0.0, 1.0, -1.0, 1e-300, -3.0, Inf})
            EXPECT_NEAR(QuickMath::Atan2(y, x), std::atan2(y, x), 1e-12) << y << ", " << x;
    EXPECT_EQ(std::signbit(QuickMath::Atan2(-0.0, 1.0)), true);
    EXPECT_EQ(QuickMath::Atan2(0.0, -0.0), M_PI);
    EXPECT_TRUE(std::isnan(QuickMath::Atan2(NAN, 1.0)));
    for (int i = 0; i < 100000; ++i) {
        const double Scale = std::pow(10.0, 12 * Unit(Random));
        const double y = Unit(Random) * Scale;
        const double x = Unit(Random) * Scale;
        ASSERT_NEAR(QuickMath::Atan2(y, x), std::atan2(y, x), 1e-12) << y << ", " << x;
        const double Angle = 40 * Unit(Random);
        ASSERT_NEAR(QuickMath::AbsSin(Angle), std::fabs(std::sin(Angle)), 1e-12) << Angle;
        const double Ratio = std::pow(10.0, 30 * Unit(Random));
        ASSERT_NEAR(QuickMath::Log10(Ratio), std::log10(Ratio), 1e-12) << Ratio;
    }
    for (int k = -12; k <= 12; ++k)
        EXPECT_NEAR(QuickMath::AbsSin(k * M_PI / 2), std::fabs(std::sin(k * M_PI / 2)), 1e-12);
    for (const double Ratio : {1.0, M_SQRT2, M_SQRT1_2, 10.0, 1e-310})
        EXPECT_NEAR(QuickMath::Log10(Ratio), std::log10(Ratio), 1e-12) << Ratio;
    EXPECT_EQ(QuickMath::Log10(0.0), -Inf);
    EXPECT_EQ(QuickMath::Log10(Inf), Inf);
    EXPECT_TRUE(std::isnan(QuickMath::Log10(-1.0)));
}

// One window of steady tones at 8000 Hz, judged after two windows of them.
TPairVerdict JudgeTones(const std::vector<std::pair<double, double>> &Tones, double NoiseRms = 0)
{
    std::mt19937 Random(9);
    std::normal_distribution<double> Gauss(0, NoiseRms);
    std::vector<float> x(3 * TToneBank::Window);
    for (size_t n = 0; n < x.size(); ++n) {
        double v = NoiseRms > 0 ? Gauss(Random) : 0;
        for (const auto &[Hertz, Dbfs] : Tones)
            v += std::pow(10.0, Dbfs / 20) * std::sin(2 * M_PI * Hertz * n / 8000.0);
        x[n] = static_cast<float>(v);
    }
    std::array<double, DtmfToneCount> Gain;
    Gain.fill(1.0);
    const TPairJudge Judge(Gain, TStrictLimits());
    TToneBank Bank;
    TToneWindow Before;
    TPairVerdict Verdict;
    for (size_t At = 0; At < x.size(); At += TToneBank::SubBlock) {
        const TToneWindow &Now = Bank.Analyse(x.data() + At);
        Verdict = Judge.Judge(Now, Before);
        Before = Now;
    }
    return Verdict;
}

// Each check of one window on both sides of its edge.
TEST(StrictStages, PairJudgeEdges)
{
    using R = TPairReject;
    struct TRow
    {
        const char *Name;
        std::vector<std::pair<double, double>> Tones; // Hz, dBFS
        double NoiseRms;
        TPairReject Why;
    };
    const TRow Rows[] = {
        {"clean 5", {{770, -10}, {1336, -10}}, 0, R::None},
        {"share 0.5 in noise", {{770, -20}, {1336, -20}}, 0.1, R::None},
        {"share 0.2 in noise", {{770, -20}, {1336, -20}}, 0.2, R::Share},
        {"rival 10 dB down", {{770, -10}, {852, -20}, {1336, -10}}, 0, R::None},
        {"rival 3 dB down", {{770, -10}, {852, -13}, {1336, -10}}, 0, R::Dominance},
        {"harmonic 10 dB down", {{770, -10}, {1540, -20}, {1336, -10}}, 0, R::None},
        {"harmonic 3 dB down", {{770, -10}, {1540, -13}, {1336, -10}}, 0, R::Harmonic},
        {"1.5 % off", {{770 * 1.015, -10}, {1336 * 1.015, -10}}, 0, R::None},
        {"low tone 3 % off", {{697 * 1.03, -10}, {1336, -10}}, 0, R::Frequency},
        {"-48 dBFS", {{770, -48}, {1336, -48}}, 0, R::None},
        {"-54 dBFS", {{770, -54}, {1336, -54}}, 0, R::Floor},
        {"low 11 dB over high", {{770, -6}, {1336, -17}}, 0, R::None},
        {"low 13 dB over high", {{770, -6}, {1336, -19}}, 0, R::Twist},
        {"high 7 dB over low", {{770, -17}, {1336, -10}}, 0, R::None},
        {"high 9 dB over low", {{770, -19}, {1336, -10}}, 0, R::Twist},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        const TPairVerdict Verdict = JudgeTones(Row.Tones, Row.NoiseRms);
        EXPECT_EQ(Verdict.Why, Row.Why);
        EXPECT_EQ(Verdict.Symbol, Row.Why == R::None ? '5' : 0);
    }
}

// A scripted window: the pair of '5' (or none) at a share of the peak level.
TPairVerdict Scripted(char Symbol, double Level)
{
    TPairVerdict V;
    int Low = 0;
    int High = 0;
    if (Symbol == 0 || !KeypadTones(Symbol, Low, High))
        return V;
    V.Power[Low] = V.Power[High] = static_cast<float>(Level * Level / 4);
    if (Level < 0.05)
        return V; // too weak to hold a pair
    V.Symbol = Symbol;
    V.Level = Level;
    V.Share = 1;
    return V;
}

// One window of a script (see Track).
TPairVerdict ScriptWindow(char c)
{
    TPairVerdict V;
    switch (c) {
    case 'e':
        return Scripted('5', 0.3);
    case 'q':
        return Scripted('5', 0.15);
    case 'h':
        return Scripted('5', 0.6);
    case '.':
        return Scripted('5', 0);
    case 'L':
        V = Scripted('5', 1);
        V.Symbol = 0;
        return V;
    case 'o':
        V = Scripted('5', 1);
        V.Twist = -8;
        return V;
    case 'm':
        V = Scripted('5', 1);
        V.Power[1] *= static_cast<float>(std::pow(10.0, 0.4)); // 770 Hz
        V.Power[5] /= static_cast<float>(std::pow(10.0, 0.4)); // 1336 Hz
        return V;
    case 'w':
    case 'x':
    case 'y':
    case 'z':
    case 'W':
    case 'X':
    case 'Y':
    case 'Z':
        // Beside other sound (share 0.6), the low tone (both, in capitals)
        // 0, 0.5, 1 and 1.5 % off.
        V = Scripted('5', 1);
        V.Share = 0.6;
        V.LowOffset = 0.005 * (std::tolower(c) - 'w');
        V.HighOffset = std::isupper(c) ? V.LowOffset : 0;
        return V;
    default:
        return Scripted(c, 1);
    }
}

// The tracker on windows 5 ms apart: each character of Script is one window,
// '5' and '6' the pair at full level, 'e' the pair of '5' at a third of it
// (an echo), 'q' at 0.15 (an echo far down), 'h' at half, 'm' with its low tone 4 dB up and its
// high tone 4 dB down, 'o' with the high tone 8 dB over the low, 'w' to 'z' (and 'W' to 'Z') with
// the low tone (both tones) moving off its frequency, '.' nothing; 'L' the pair of '5' that only
// the long windows hold (it is there in the windows, under sound that keeps them from holding it);
// else the long windows hold nothing.
std::string Track(const std::string &Script, std::vector<TDecodedSymbol> *Started = nullptr)
{
    TDigitTracker Tracker(TToneBank::Window, TToneBank::Long);
    std::vector<TDecodedSymbol> Ended;
    double WindowStart = 0;
    for (char c : Script) {
        const TPairVerdict V = ScriptWindow(c);
        const double LongScale = static_cast<double>(TToneBank::Long) / TToneBank::Window;
        const TPairVerdict Long = c == 'L' ? Scripted('5', LongScale) : TPairVerdict();
        Tracker.Take(V, Long, WindowStart, Ended, Started);
        WindowStart += TToneBank::SubBlock;
    }
    Tracker.Finish(Ended);
    std::string Found;
    for (const TDecodedSymbol &S : Ended)
        Found += S.Symbol;
    return Found;
}

TEST(StrictStages, DigitTrackerScripts)
{
    struct TRow
    {
        const char *Name;
        std::string Script;
        std::string Expected;
    };
    const TRow Rows[] = {
        {"five windows start a digit", "..55555....", "5"},
        {"four do not", "..5555.....", ""},
        {"two missing windows are bridged", "..555555..55555....", "5"},
        {"a pause of five windows ends it", "..555555.....55555....", "55"},
        {"another pair ends it at once", "..55555566666....", "56"},
        {"an echo's tail does not start it again", "..555555eeeeeeeeeeee....", "5"},
        {"nor a level that sags for a pause's length and comes back", "..5555555eeeee555555555....",
         "5"},
        {"but a longer sag is a pause: an echo filled it", "..555555eeeeeeeee555555....", "55"},
        {"after a short pause it comes back at full level", "..555555..55555....", "5"},
        {"a pause of two empty windows and more lets it start again", "..555555eeeee..eee55555....",
         "55"},
        {"but not as its echo", "..555555eeeee..eeeeeeeee....", "5"},
        {"nor as an echo far down that lasts", "..555555qqqqqqqqqqqqqqqq....", "5"},
        {"a clean pair whose tones part as it starts, then hold (a codec settling)",
         "..55mmmmmm.....", "5"},
        {"a codec's overshoot as it starts: the twist of the full-level windows is not the digit's",
         "..oooooohhhhhh.....", "5"},
        {"a digit the long windows started comes back after a pause",
         "..LLLLLLLLLLLLLLLL.....LLLLLLLLLLLLLLLL....", "55"},
        {"a voice beside the low tone pulls it, the high one stands still", "..wwwxxxyyyzzz....",
         "5"},
        {"both tones glide, as a voice's harmonics do", "..WWWXXXYYYZZZ....", ""},
    };
    for (const TRow &Row : Rows)
        EXPECT_EQ(Track(Row.Script), Row.Expected) << Row.Name;

    // The start is told when the digit is confirmed, with its end unknown.
    std::vector<TDecodedSymbol> Started;
    Track("..55555....", &Started);
    ASSERT_EQ(Started.size(), 1u);
    EXPECT_EQ(Started[0].Symbol, '5');
    EXPECT_EQ(Started[0].End, -1);
}

} // namespace
