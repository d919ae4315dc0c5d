// The guarded classification against the extended-precision one: the same
// symbol on every generated block under every kernel this processor runs,
// while a bound made too tight lets symbols change.
#include "window/LevelGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using TBlock = std::vector<int16_t>;
using TSignal = std::vector<double>;

double Uniform(std::mt19937 &Random, double Low, double High)
{
    return std::uniform_real_distribution<double>(Low, High)(Random);
}

int UniformInt(std::mt19937 &Random, int Low, int High)
{
    return std::uniform_int_distribution<int>(Low, High)(Random);
}

// Adds Amplitude sin(2 pi Frequency n / 48000 + Phase), by rotation.
void AddTone(TSignal &Signal, double Frequency, double Amplitude, double Phase)
{
    const double w = 2 * M_PI * Frequency / 48000;
    const double StepCos = std::cos(w);
    const double StepSin = std::sin(w);
    double Cos = std::cos(Phase);
    double Sin = std::sin(Phase);
    for (double &x : Signal) {
        x += Amplitude * Sin;
        const double NextSin = Sin * StepCos + Cos * StepSin;
        Cos = Cos * StepCos - Sin * StepSin;
        Sin = NextSin;
    }
}

// Adds noise drawn uniformly from -Width..Width, whole numbers only if Whole.
void AddNoise(TSignal &Signal, double Width, bool Whole, std::mt19937 &Random)
{
    std::minstd_rand Cheap(Random());
    const double Scale = (Whole ? 2 * Width + 1 : 2 * Width) / (std::minstd_rand::max() + 1.0);
    for (double &x : Signal) {
        const double Draw = Cheap() * Scale;
        x += (Whole ? std::floor(Draw) : Draw) - Width;
    }
}

// Rounded to the nearest whole number, halves up, and clipped.
TBlock Quantised(const TSignal &Signal)
{
    TBlock Block(BlockSamples);
    for (int n = 0; n < BlockSamples; ++n) {
        const double x = std::clamp(Signal[n], -32768.0, 32767.0);
        Block[n] = static_cast<int16_t>(static_cast<int>(x + 32768.5) - 32768);
    }
    return Block;
}

struct TExact
{
    double Levels[DtmfToneCount];
    char Symbol;
};

TExact Exact(const TBlock &Block)
{
    TExact Result;
    DtmfLevels(Block.data(), Result.Levels);
    Result.Symbol = ClassifyLevels(Result.Levels);
    return Result;
}

// The indices ClassifyLevels ends with; -1 stands for the starting 0.
struct TOrder
{
    int Best = -1;
    int Second = -1;
    int Third = -1;
};

TOrder Order(const double Levels[DtmfToneCount])
{
    TOrder O;
    double Best = 0;
    double Second = 0;
    for (int i = 0; i < DtmfToneCount; ++i) {
        if (Levels[i] > Best) {
            O.Third = O.Second;
            O.Second = O.Best;
            Second = Best;
            O.Best = i;
            Best = Levels[i];
        } else if (Levels[i] > Second) {
            O.Third = O.Second;
            O.Second = i;
            Second = Levels[i];
        }
    }
    return O;
}

// A keypad pair with a third tone whose level is tuned until Second / Third
// sits at 2 within one step of the rounded samples.
TBlock RatioNearTwo(std::mt19937 &Random)
{
    const int Row = UniformInt(Random, 0, 3);
    const int Column = UniformInt(Random, 4, 7);
    const int Other = (Row + UniformInt(Random, 1, 3)) % 4;
    const double Amplitude = Uniform(Random, 5000, 9000);
    TSignal Pair(BlockSamples, 0.0);
    TSignal Third(BlockSamples, 0.0);
    AddTone(Pair, DtmfFrequencies[Row], Amplitude, Uniform(Random, 0, 2 * M_PI));
    AddTone(Pair, DtmfFrequencies[Column], Amplitude * Uniform(Random, 1.1, 1.4),
            Uniform(Random, 0, 2 * M_PI));
    AddTone(Third, DtmfFrequencies[Other], 1.0, Uniform(Random, 0, 2 * M_PI));
    // The portable kernel, so that every processor makes the same blocks.
    const TFastLevelsKernel Kernel = FastLevelsTargets().back().Kernel;
    auto Margin = [&](double Gain, TBlock &Block) {
        TSignal Signal = Pair;
        for (int n = 0; n < BlockSamples; ++n)
            Signal[n] += Gain * Third[n];
        Block = Quantised(Signal);
        TFastLevels Fast;
        Kernel(Block.data(), Fast);
        const TOrder O = Order(Fast.Levels);
        return O.Third < 0 || O.Second < 0 ? 1.0 : Fast.Levels[O.Second] - 2 * Fast.Levels[O.Third];
    };
    double Low = 0.2 * Amplitude;
    double High = 0.9 * Amplitude;
    TBlock Block;
    for (int Step = 0; Step < 40; ++Step) {
        const double Middle = (Low + High) / 2;
        (Margin(Middle, Block) > 0 ? Low : High) = Middle;
    }
    Margin(Low, Block);
    return Block;
}

// Second - 2 Third of a block's extended-precision levels, in the order
// given; NaN when the block no longer has that order.
double MarginAtTwo(const TBlock &Block, const TOrder &Wanted)
{
    const TExact Levels = Exact(Block);
    const TOrder O = Order(Levels.Levels);
    if (O.Second != Wanted.Second || O.Third != Wanted.Third)
        return NAN;
    return Levels.Levels[O.Second] - 2 * Levels.Levels[O.Third];
}

// The block moved by three steps of one unit so that Second - 2 Third of its
// extended-precision levels comes as close to 0 as such steps can bring it:
// within a few units in the last place, or exactly 0, where only the guard
// can tell which side of 2 the exact quotient falls on.
void OntoTheBoundary(TBlock &Block)
{
    const TExact Levels = Exact(Block);
    const TOrder O = Order(Levels.Levels);
    if (O.Third < 0 || O.Second < 0)
        return;
    // Second - 2 Third is linear in the samples while no sum changes sign.
    const int Tones[2] = {O.Second, O.Third};
    const double Weights[2] = {1, -2};
    std::vector<double> Slope(BlockSamples, 0.0);
    for (int t = 0; t < 2; ++t) {
        const double w = ToneAngleStep(DtmfFrequencies[Tones[t]], 48000);
        double S = 0;
        double C = 0;
        for (int n = 0; n < BlockSamples; ++n) {
            S += Block[n] * std::sin(n * w);
            C += Block[n] * std::cos(n * w);
        }
        for (int n = 0; n < BlockSamples; ++n)
            Slope[n] += Weights[t] *
                        ((S < 0 ? -1 : 1) * std::sin(n * w) + (C < 0 ? -1 : 1) * std::cos(n * w)) /
                        (32768.0 * BlockSamples);
    }
    struct TStep
    {
        double Change;
        int Sample;
        int Sign;
    };
    std::vector<TStep> Steps;
    for (int n = 0; n < BlockSamples; ++n)
        for (int Sign : {-1, 1})
            Steps.push_back({Sign * Slope[n], n, Sign});
    std::sort(Steps.begin(), Steps.end(),
              [](const TStep &a, const TStep &b) { return a.Change < b.Change; });

    // The dozen triples closest by the slopes; rounding decides among them.
    struct TTriple
    {
        double Miss;
        size_t Steps[3];
    };
    std::vector<TTriple> Closest(12, TTriple{HUGE_VAL, {0, 0, 0}});
    const double Target = -(Levels.Levels[O.Second] - 2 * Levels.Levels[O.Third]);
    for (size_t a = 0; a < Steps.size(); a += 4) {
        const double Rest = Target - Steps[a].Change;
        size_t Low = 0;
        size_t High = Steps.size() - 1;
        while (Low < High) {
            const double Sum = Steps[Low].Change + Steps[High].Change;
            const double Miss = std::fabs(Rest - Sum);
            if (Miss < Closest.back().Miss) {
                Closest.back() = {Miss, {a, Low, High}};
                std::sort(Closest.begin(), Closest.end(),
                          [](const TTriple &x, const TTriple &y) { return x.Miss < y.Miss; });
            }
            if (Sum < Rest)
                ++Low;
            else
                --High;
        }
    }
    TBlock Chosen = Block;
    double ChosenMargin = HUGE_VAL;
    for (const TTriple &Triple : Closest) {
        TBlock Moved = Block;
        for (size_t i : Triple.Steps)
            Moved[Steps[i].Sample] = static_cast<int16_t>(Moved[Steps[i].Sample] + Steps[i].Sign);
        const double Margin = std::fabs(MarginAtTwo(Moved, O));
        if (Margin < ChosenMargin) {
            ChosenMargin = Margin;
            Chosen = Moved;
        }
    }
    Block = Chosen;
}

// The kinds of block the identity is checked on, with how many of each.
enum class TKind
{
    Keypad,
    Ties,
    RatioNearTwo,
    RatioAtTwo,
    Flat, // DC, clipped square waves, impulses
    Dither,
    Noise
};

// Under the sanitizers a block costs ten to twenty times as much; a tenth of
// the corpus still takes every path there. The blocks at the boundary are
// all kept.
#if defined(__SANITIZE_ADDRESS__)
constexpr int CorpusDivisor = 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int CorpusDivisor = 10;
#else
constexpr int CorpusDivisor = 1;
#endif
#else
constexpr int CorpusDivisor = 1;
#endif

constexpr int BlocksAtTwo = 40;

const std::vector<std::pair<TKind, int>> Corpus = {
    {TKind::Keypad, 40000 / CorpusDivisor},      {TKind::Ties, 20000 / CorpusDivisor},
    {TKind::RatioNearTwo, 1500 / CorpusDivisor}, {TKind::RatioAtTwo, BlocksAtTwo},
    {TKind::Flat, 8000 / CorpusDivisor},         {TKind::Dither, 15000 / CorpusDivisor},
    {TKind::Noise, 15500 / CorpusDivisor},
};

const char *Name(TKind Kind)
{
    static const char *Names[] = {"keypad", "ties",   "ratio near 2", "ratio at 2",
                                  "flat",   "dither", "noise"};
    return Names[static_cast<int>(Kind)];
}

TBlock MakeBlock(TKind Kind, std::mt19937 &Random)
{
    TSignal Signal(BlockSamples, 0.0);
    switch (Kind) {
    case TKind::Keypad: {
        // Twist up to 8 dB either way, frequencies off by up to 2 %, noise.
        const double Amplitude = std::exp(Uniform(Random, std::log(30), std::log(16000)));
        const double Twist = std::pow(10, Uniform(Random, -8, 8) / 20);
        AddTone(Signal, DtmfFrequencies[UniformInt(Random, 0, 3)] * Uniform(Random, 0.98, 1.02),
                Amplitude, Uniform(Random, 0, 2 * M_PI));
        AddTone(Signal, DtmfFrequencies[UniformInt(Random, 4, 7)] * Uniform(Random, 0.98, 1.02),
                Amplitude * Twist, Uniform(Random, 0, 2 * M_PI));
        AddNoise(Signal, Amplitude * Uniform(Random, 0, 0.5), false, Random);
        break;
    }
    case TKind::Ties: {
        // Two or three of the eight tones at one amplitude, in phase or not.
        const int Count = UniformInt(Random, 2, 3);
        const double Amplitude = Uniform(Random, 100, 10000);
        const bool InPhase = UniformInt(Random, 0, 1) == 0;
        for (int t = 0; t < Count; ++t)
            AddTone(Signal, DtmfFrequencies[UniformInt(Random, 0, 7)], Amplitude,
                    InPhase ? 0 : Uniform(Random, 0, 2 * M_PI));
        break;
    }
    case TKind::RatioNearTwo:
        return RatioNearTwo(Random);
    case TKind::RatioAtTwo: {
        TBlock Block = RatioNearTwo(Random);
        OntoTheBoundary(Block);
        return Block;
    }
    case TKind::Flat: {
        const double Level = UniformInt(Random, -32768, 32767);
        switch (UniformInt(Random, 0, 3)) {
        case 0: // DC
            std::fill(Signal.begin(), Signal.end(), Level);
            break;
        case 1: { // a square wave of any period and duty
            const int Period = UniformInt(Random, 2, 400);
            const int High = UniformInt(Random, 1, Period - 1);
            const int Offset = UniformInt(Random, 0, Period - 1);
            for (int n = 0; n < BlockSamples; ++n)
                Signal[n] = (n + Offset) % Period < High ? Level : -Level;
            break;
        }
        case 2: // a DTMF tone clipped hard
            AddTone(Signal, DtmfFrequencies[UniformInt(Random, 0, 7)], 1e6,
                    Uniform(Random, 0, 2 * M_PI));
            break;
        default: // impulses; one at sample 0 gives eight equal levels
            Signal[0] = Level;
            for (int i = UniformInt(Random, 0, 3); i > 0; --i)
                Signal[UniformInt(Random, 0, BlockSamples - 1)] = UniformInt(Random, -32768, 32767);
        }
        break;
    }
    case TKind::Dither:
        AddNoise(Signal, UniformInt(Random, 1, 2), true, Random);
        break;
    case TKind::Noise:
        AddNoise(Signal, 32768, true, Random);
        break;
    }
    return Quantised(Signal);
}

TEST(GuardedClassify, SameSymbolAsTheExactLevelsOnEveryTarget)
{
    const std::vector<TFastLevelsTarget> Targets = FastLevelsTargets();
    ASSERT_FALSE(Targets.empty());
    EXPECT_STREQ(Targets.back().Name, "portable");
    struct TCounts
    {
        int Mismatches = 0;
        int TooTightMismatches = 0;
        double WorstError = 0; // in units of the bound at LevelTolerance
        std::map<TKind, int> FallBacks;
    };
    std::vector<TCounts> Counts(Targets.size());
    std::mt19937 Random(20261207);
    int Blocks = 0;
    for (const auto &[Kind, Count] : Corpus) {
        for (int b = 0; b < Count; ++b, ++Blocks) {
            const TBlock Block = MakeBlock(Kind, Random);
            const TExact Reference = Exact(Block);
            for (size_t t = 0; t < Targets.size(); ++t) {
                TCounts &Target = Counts[t];
                bool FellBack = false;
                const char Symbol =
                    GuardedClassify(Block.data(), Targets[t].Kernel, LevelTolerance, FellBack);
                Target.FallBacks[Kind] += FellBack;
                if (Symbol != Reference.Symbol && ++Target.Mismatches <= 5)
                    ADD_FAILURE() << Targets[t].Name << ", " << Name(Kind) << " block " << b
                                  << ": '" << Symbol << "' instead of '" << Reference.Symbol << "'";

                TFastLevels Fast;
                Targets[t].Kernel(Block.data(), Fast);
                const double Bound = LevelBound(Fast.Magnitude, LevelTolerance);
                for (int i = 0; i < DtmfToneCount && Bound > 0; ++i)
                    Target.WorstError = std::max(
                        Target.WorstError, std::fabs(Fast.Levels[i] - Reference.Levels[i]) / Bound);
                // No tolerance at all, the fast levels taken as exact: what the
                // guard would answer with a bound of 0.
                char Unguarded = Reference.Symbol;
                if (Fast.Magnitude > 0)
                    ClassifyWithinBound(Fast.Levels, LevelBound(Fast.Magnitude, 0.0), Unguarded);
                Target.TooTightMismatches += Unguarded != Reference.Symbol;
            }
        }
    }
    EXPECT_GE(Blocks, 100000 / CorpusDivisor);
    for (size_t t = 0; t < Targets.size(); ++t) {
        const TCounts &Target = Counts[t];
        SCOPED_TRACE(Targets[t].Name);
        EXPECT_EQ(Target.Mismatches, 0);
        // The bound holds with room to spare: the real error stays below a
        // fifth of it.
        EXPECT_LT(Target.WorstError, 0.2);
        // The blocks at the boundary are the ones the guard is there for:
        // they fall back, and without the guard their symbols change.
        EXPECT_GT(Target.FallBacks.at(TKind::RatioAtTwo), BlocksAtTwo / 2);
        EXPECT_GT(Target.TooTightMismatches, 0);
        std::string Summary;
        for (const auto &[Kind, FallBacks] : Target.FallBacks)
            Summary += std::string(" ") + Name(Kind) + "=" + std::to_string(FallBacks);
        std::printf("%s: fallbacks%s; worst error %.3g of the bound; %d symbols change "
                    "without the guard\n",
                    Targets[t].Name, Summary.c_str(), Target.WorstError, Target.TooTightMismatches);
    }
}

TEST(GuardedClassify, SilenceIsASpaceWithoutAnyLevels)
{
    const TBlock Zero(BlockSamples, 0);
    for (const TFastLevelsTarget &Target : FastLevelsTargets()) {
        bool FellBack = true;
        EXPECT_EQ(GuardedClassify(Zero.data(), Target.Kernel, LevelTolerance, FellBack), ' ');
        EXPECT_FALSE(FellBack);
        TFastLevels Fast;
        Target.Kernel(Zero.data(), Fast);
        EXPECT_EQ(Fast.Magnitude, 0.0);
        for (double Level : Fast.Levels)
            EXPECT_EQ(Level, 0.0) << Target.Name;
    }
}

// Levels built to sit on every edge of the classification: ties, zeros, and
// ratios of exactly 2 and a few units in the last place either side of it.
// Each is handed over moved by up to the bound; the replay must then either
// refuse or give the symbol of the levels before the move.
TEST(ClassifyWithinBound, NeverContradictsTheLevelsWithinItsBound)
{
    std::mt19937 Random(7);
    int Decided = 0;
    int ContradictedWhenTooTight = 0;
    for (int Case = 0; Case < 200000; ++Case) {
        double Exact[DtmfToneCount];
        const double Values[] = {0.0, 0.01, 0.05, 0.1, 0.2, 0.4};
        for (double &Level : Exact)
            Level = Values[UniformInt(Random, 0, 5)] * (UniformInt(Random, 0, 1) ? 1 : 1.3);
        const int Half = UniformInt(Random, 0, 7);
        const int Whole = UniformInt(Random, 0, 7);
        Exact[Half] = Exact[Whole] / 2;
        for (int Ulps = UniformInt(Random, -3, 3); Ulps != 0; Ulps -= Ulps > 0 ? 1 : -1)
            Exact[Half] = std::nextafter(Exact[Half], Ulps > 0 ? 1.0 : 0.0);
        const char Symbol = ClassifyLevels(Exact);

        // From 1e-12 of the largest level up.
        const double Bound = std::ldexp(0.5, -UniformInt(Random, 20, 39));
        double Moved[DtmfToneCount];
        for (int i = 0; i < DtmfToneCount; ++i) {
            const int Way = UniformInt(Random, 0, 3);
            const double Move = Way == 0   ? 0
                                : Way == 1 ? Bound
                                : Way == 2 ? -Bound
                                           : Uniform(Random, -Bound, Bound);
            Moved[i] = std::max(0.0, Exact[i] + Move);
        }
        char Replayed = 0;
        if (ClassifyWithinBound(Moved, Bound, Replayed)) {
            ++Decided;
            ASSERT_EQ(Replayed, Symbol) << "case " << Case;
        }
        if (ClassifyWithinBound(Moved, Bound / 4, Replayed))
            ContradictedWhenTooTight += Replayed != Symbol;
    }
    EXPECT_GT(Decided, 20000);
    EXPECT_GT(ContradictedWhenTooTight, 0);
}

} // namespace
