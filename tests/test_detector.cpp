#include "ToneSignals.h"
#include "window/ToneDetector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using TBlock = std::vector<int16_t>;

TBlock TonePair(double F1, double F2, double Amplitude1 = 8192, double Amplitude2 = 8192)
{
    return TonePairBlock(F1, F2, Amplitude1, Amplitude2);
}

std::vector<double> Levels(const TBlock &Block)
{
    std::vector<double> L(DtmfToneCount);
    DtmfLevels(Block.data(), L.data());
    return L;
}

TEST(ToneDetector, WorkedExampleLevelsAndSymbol)
{
    const TBlock Block = TonePair(697, 1209);
    const double Expected[] = {0.1269, 0.0241, 0.0074, 0.0027, 0.1259, 0.0195, 0.0101, 0.0019};
    const std::vector<double> L = Levels(Block);
    for (int i = 0; i < DtmfToneCount; ++i)
        EXPECT_NEAR(L[i], Expected[i], 0.00005) << "index " << i;
    EXPECT_EQ(ClassifyBlock(Block.data()), '1');
}

TEST(ToneDetector, KeypadPairs)
{
    EXPECT_EQ(ClassifyBlock(TonePair(770, 1336).data()), '5');
    EXPECT_EQ(ClassifyBlock(TonePair(852, 1477).data()), '9');
    EXPECT_EQ(ClassifyBlock(TonePair(941, 1633).data()), 'D');
    // The symbol does not depend on which tone is stronger.
    EXPECT_EQ(ClassifyBlock(TonePair(770, 1477, 9000, 7000).data()), '6');
    EXPECT_EQ(ClassifyBlock(TonePair(770, 1477, 7000, 9000).data()), '6');
}

TEST(ToneDetector, EverySymbolOfTheKeypad)
{
    const char *Rows[4] = {"123A", "456B", "789C", "*0#D"};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(ClassifyBlock(TonePair(DtmfFrequencies[r], DtmfFrequencies[4 + c]).data()),
                      Rows[r][c])
                << "row " << r << " column " << c;
}

TEST(ToneDetector, SameGroupPairs)
{
    // Two high tones: a decision, but not a keypad symbol.
    EXPECT_EQ(ClassifyBlock(TonePair(1209, 1633).data()), '.');
    // Indices 0 and 1: Third is never set, so no decision at all.
    EXPECT_EQ(ClassifyBlock(TonePair(697, 770).data()), ' ');
}

TEST(ToneDetector, NoDecisionWithoutAThirdLevel)
{
    const TBlock Zero(BlockSamples, 0);
    EXPECT_EQ(ClassifyBlock(Zero.data()), ' ');

    const TBlock Single = TonePair(697, 0, 16384);
    const std::vector<double> L = Levels(Single);
    EXPECT_NEAR(L[0], 0.2528, 0.00005);
    EXPECT_NEAR(L[1], 0.0581, 0.00005);
    EXPECT_EQ(ClassifyBlock(Single.data()), ' ');

    // Only one level above zero.
    const double OneLevel[DtmfToneCount] = {0, 0, 0.5, 0, 0, 0, 0, 0};
    EXPECT_EQ(ClassifyLevels(OneLevel), ' ');
    // Falling from index 0: nothing is ever pushed out of second place.
    const double Falling[DtmfToneCount] = {0.8, 0.7, 0.3, 0.2, 0.1, 0.05, 0.02, 0.01};
    EXPECT_EQ(ClassifyLevels(Falling), ' ');
}

TEST(ToneDetector, ThirdIsTheLevelLastPushedOutOfSecondPlace)
{
    // 1, 10, 9 then 5s: Third stays 1 although 5 is the third-largest level,
    // so 10/1 and 9/1 pass where 9/5 would not.
    const double Levels[DtmfToneCount] = {1, 10, 9, 5, 5, 5, 5, 5};
    EXPECT_EQ(ClassifyLevels(Levels), '.');
    // Just under twice Third: no decision.
    const double Close[DtmfToneCount] = {0, 1, 0, 0, 1.999, 0, 2.5, 0};
    EXPECT_EQ(ClassifyLevels(Close), ' ');
}

TEST(ToneDetector, TiesKeepTheLowerIndexFirst)
{
    // Index 4 equals Best (index 3) and so only becomes Second, pushing index
    // 1 out as Third: 941 Hz with 1209 Hz.
    const double Levels[DtmfToneCount] = {0, 0.1, 0, 0.5, 0.5, 0, 0, 0};
    EXPECT_EQ(ClassifyLevels(Levels), '*');
    // A level equal to Second changes nothing, so Third stays 0.
    const double EqualSecond[DtmfToneCount] = {0.9, 0.5, 0.5, 0, 0, 0, 0, 0};
    EXPECT_EQ(ClassifyLevels(EqualSecond), ' ');
}

TEST(ToneLevel, CountOfZeroOrLessGivesZero)
{
    const int16_t Samples[4] = {1000, -1000, 1000, -1000};
    EXPECT_EQ(ToneLevel(Samples, 0, 697, 48000), 0.0);
    EXPECT_EQ(ToneLevel(Samples, -5, 697, 48000), 0.0);
    EXPECT_GT(ToneLevel(Samples, 4, 12000, 48000), 0.0);
}

void ExpectSameBits(const TBlock &Block, const char *What)
{
    double Fast[DtmfToneCount];
    DtmfLevels(Block.data(), Fast);
    for (int i = 0; i < DtmfToneCount; ++i) {
        const double Direct = ToneLevel(Block.data(), BlockSamples, DtmfFrequencies[i], 48000.0);
        ASSERT_EQ(std::memcmp(&Fast[i], &Direct, sizeof Direct), 0)
            << What << ", index " << i << ": " << Fast[i] << " vs " << Direct;
    }
}

TEST(DtmfLevels, BitIdenticalToTheDirectForm)
{
    std::mt19937 Random(20261207);
    std::uniform_int_distribution<int> Sample(-32768, 32767);
    for (int b = 0; b < 100; ++b) {
        TBlock Block(BlockSamples);
        for (int16_t &s : Block)
            s = static_cast<int16_t>(Sample(Random));
        ExpectSameBits(Block, "random block");
    }
    std::uniform_real_distribution<double> Frequency(300, 3400), Amplitude(0, 16000);
    for (int b = 0; b < 100; ++b)
        ExpectSameBits(
            TonePair(Frequency(Random), Frequency(Random), Amplitude(Random), Amplitude(Random)),
            "tone block");
    for (int r = 0; r < 4; ++r)
        for (int c = 4; c < 8; ++c)
            ExpectSameBits(TonePair(DtmfFrequencies[r], DtmfFrequencies[c]), "keypad pair");
    ExpectSameBits(TBlock(BlockSamples, -32768), "full-scale block");
    ExpectSameBits(TBlock(BlockSamples, 0), "silent block");
}

} // namespace
