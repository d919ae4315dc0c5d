#include "ToneDetector.h"

#include "LevelGuard.h"

#include <algorithm>
#include <cmath>

const char SymbolTable[65] = "....123A....456B....789C....*0#D147*....2580....369#....ABCD....";

namespace {

const long double Pi = 3.141592653589793238462643383279502884L;

long double Phase(int32_t n, double w)
{
    return static_cast<long double>(n) * static_cast<long double>(w);
}

double Scaled(int16_t Sample)
{
    return Sample / 32768.0;
}

// One correlation step: the product and the sum in extended precision, the
// sum rounded to double. Both paths go through here so they agree bit for bit.
double Accumulate(double Sum, double v, long double Basis)
{
    return static_cast<double>(static_cast<long double>(Sum) + static_cast<long double>(v) * Basis);
}

// An extended-precision value held as the sum of two doubles: the value
// rounded to double, and the rest. The rest has at most 11 significant bits,
// so both are exact and their sum in extended precision gives the value back
// bit for bit. Two double loads and an addition cost less than one load of an
// 80-bit value.
struct TSplitValue
{
    double High;
    double Low;

    explicit TSplitValue(long double Value = 0)
        : High(static_cast<double>(Value)),
          Low(static_cast<double>(Value - static_cast<long double>(High)))
    {
    }
    long double Value() const
    {
        return static_cast<long double>(High) + static_cast<long double>(Low);
    }
};

// sin and cos of n * w for the eight DTMF frequencies at 48000 Hz, worked out
// once with the very expressions ToneLevel uses for every block.
struct TBasisTable
{
    TSplitValue Sin[BlockSamples][DtmfToneCount];
    TSplitValue Cos[BlockSamples][DtmfToneCount];

    TBasisTable()
    {
        for (int i = 0; i < DtmfToneCount; ++i) {
            const double w = ToneAngleStep(DtmfFrequencies[i], DetectorSampleRate);
            for (int n = 0; n < BlockSamples; ++n) {
                const long double phase = Phase(n, w);
                Sin[n][i] = TSplitValue(std::sin(phase));
                Cos[n][i] = TSplitValue(std::cos(phase));
            }
        }
    }
};

const TBasisTable &BasisTable()
{
    static const TBasisTable Table;
    return Table;
}

} // namespace

double ToneAngleStep(double Frequency, double SampleRate)
{
    return static_cast<double>(2.0L * Pi * static_cast<long double>(Frequency) /
                               static_cast<long double>(SampleRate));
}

double ToneLevel(const int16_t *Samples, int32_t Count, double Frequency, double SampleRate)
{
    if (Count <= 0)
        return 0.0;
    const double w = ToneAngleStep(Frequency, SampleRate);
    double S = 0.0;
    double C = 0.0;
    for (int32_t n = 0; n < Count; ++n) {
        const long double phase = Phase(n, w);
        const double v = Scaled(Samples[n]);
        S = Accumulate(S, v, std::sin(phase));
        C = Accumulate(C, v, std::cos(phase));
    }
    return (std::fabs(S) + std::fabs(C)) / Count;
}

void DtmfLevels(const int16_t *Block, double Levels[DtmfToneCount])
{
    // Silence between digits is common: its levels are exactly 0.
    if (std::all_of(Block, Block + BlockSamples, [](int16_t s) { return s == 0; })) {
        std::fill(Levels, Levels + DtmfToneCount, 0.0);
        return;
    }
    const TBasisTable &Table = BasisTable();
    double S[DtmfToneCount] = {};
    double C[DtmfToneCount] = {};
    for (int n = 0; n < BlockSamples; ++n) {
        const double v = Scaled(Block[n]);
        for (int i = 0; i < DtmfToneCount; ++i) {
            S[i] = Accumulate(S[i], v, Table.Sin[n][i].Value());
            C[i] = Accumulate(C[i], v, Table.Cos[n][i].Value());
        }
    }
    for (int i = 0; i < DtmfToneCount; ++i)
        Levels[i] = (std::fabs(S[i]) + std::fabs(C[i])) / BlockSamples;
}

char ClassifyLevels(const double Levels[DtmfToneCount])
{
    double Best = 0.0;
    double Second = 0.0;
    double Third = 0.0;
    int BestIndex = 0;
    int SecondIndex = 0;
    for (int i = 0; i < DtmfToneCount; ++i) {
        const double m = Levels[i];
        if (m > Best) {
            Third = Second;
            Second = Best;
            SecondIndex = BestIndex;
            Best = m;
            BestIndex = i;
        } else if (m > Second) {
            Third = Second;
            Second = m;
            SecondIndex = i;
        }
    }
    // Third is the level last pushed out of second place, not in general the
    // third-largest level.
    if (Third > 0.0 && Best / Third >= 2.0 && Second / Third >= 2.0)
        return SymbolTable[SecondIndex * 8 + BestIndex];
    return ' ';
}

char ClassifyBlock(const int16_t *Block)
{
    bool FellBack = false;
    return GuardedClassify(Block, FastLevelsKernel(), LevelTolerance, FellBack);
}
