#include "LevelGuard.h"

#include <cmath>

namespace {

// A level known to lie within Bound of Value; the zeros that the
// classification starts from are known exactly.
struct TBoundedLevel
{
    double Value;
    double Bound;
};

enum class TAnswer
{
    No,
    Yes,
    Unsure
};

// Whether A - Factor * B is above 0 (Strict) or at least 0 for every pair of
// exact values within the bounds. The bounds also stand for the rounding of
// the exact path's quotient A / B, which reaches 2.0 from up to one unit in the
// last place below it, and of the difference worked out here: both stay below
// 2^-51 of the levels, while LevelBound is at least 1e-12 of every level of
// its block.
TAnswer Compare(TBoundedLevel A, double Factor, TBoundedLevel B, bool Strict)
{
    const double Difference = A.Value - Factor * B.Value;
    const double Margin = A.Bound + Factor * B.Bound;
    if (Difference > Margin)
        return TAnswer::Yes;
    if (Difference < -Margin)
        return TAnswer::No;
    if (Margin > 0)
        return TAnswer::Unsure;
    return Strict ? TAnswer::No : TAnswer::Yes; // equal, and known exactly
}

// Whether every sample is 0, in chunks whose samples or'ed together make a
// reduction that vectorises; a block with sound mostly stops at the first.
bool IsSilent(const int16_t *Block)
{
    constexpr int Chunk = 64;
    for (int First = 0; First < BlockSamples; First += Chunk) {
        int16_t AnyBits = 0;
        for (int n = First; n < First + Chunk; ++n)
            AnyBits = static_cast<int16_t>(AnyBits | Block[n]);
        if (AnyBits != 0)
            return false;
    }
    return true;
}

} // namespace

double LevelBound(double Magnitude, double Tolerance)
{
    // Both sums, through |S| + |C| and the division by the block length.
    return 2 * Tolerance * (Magnitude / 32768.0) / BlockSamples;
}

bool ClassifyWithinBound(const double Levels[DtmfToneCount], double Bound, char &Symbol)
{
    const TBoundedLevel Zero{0.0, 0.0};
    TBoundedLevel Best = Zero;
    TBoundedLevel Second = Zero;
    TBoundedLevel Third = Zero;
    int BestIndex = 0;
    int SecondIndex = 0;
    for (int i = 0; i < DtmfToneCount; ++i) {
        const TBoundedLevel m{Levels[i], Bound};
        TAnswer Above = Compare(m, 1, Best, true);
        if (Above == TAnswer::Unsure)
            return false;
        if (Above == TAnswer::Yes) {
            Third = Second;
            Second = Best;
            SecondIndex = BestIndex;
            Best = m;
            BestIndex = i;
            continue;
        }
        Above = Compare(m, 1, Second, true);
        if (Above == TAnswer::Unsure)
            return false;
        if (Above == TAnswer::Yes) {
            Third = Second;
            Second = m;
            SecondIndex = i;
        }
    }
    // The same short-circuit order as ClassifyLevels: a test that is not
    // reached there need not be sure here.
    for (TAnswer Answer : {Compare(Third, 1, Zero, true), Compare(Best, 2, Third, false),
                           Compare(Second, 2, Third, false)}) {
        if (Answer == TAnswer::Unsure)
            return false;
        if (Answer == TAnswer::No) {
            Symbol = ' ';
            return true;
        }
    }
    Symbol = SymbolTable[SecondIndex * 8 + BestIndex];
    return true;
}

char GuardedClassify(const int16_t *Block, TFastLevelsKernel Kernel, double Tolerance,
                     bool &FellBack)
{
    FellBack = false;
    // Silence between digits is common: every level is exactly 0.
    if (IsSilent(Block))
        return ' ';
    TFastLevels Fast;
    Kernel(Block, Fast);
    char Symbol = ' ';
    if (ClassifyWithinBound(Fast.Levels, LevelBound(Fast.Magnitude, Tolerance), Symbol))
        return Symbol;
    FellBack = true;
    double Exact[DtmfToneCount];
    DtmfLevels(Block, Exact);
    return ClassifyLevels(Exact);
}
