#include "ToneSignals.h"
#include "window/DtmfSpine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One block of a keypad symbol, both tones of amplitude 8192.
std::vector<int16_t> Tone(char Symbol)
{
    std::vector<int16_t> Block;
    AppendTone(Block, Symbol, BlockSamples, 48000, 8192);
    return Block;
}

const std::vector<int16_t> Silence(BlockSamples, 0);

struct SpineTest : ::testing::Test
{
    TStringDigitLine Line;
    TDtmfSpine Spine{Line};

    int32_t Receive(const std::vector<int16_t> &Block)
    {
        return Spine.ReceiveBlock(Block.data(), BlockBytes);
    }

    std::string Gate(const std::string &Symbols)
    {
        std::string Out;
        for (char C : Symbols)
            Out += Spine.SymbolGate(C);
        return Out;
    }
};

TEST_F(SpineTest, GateEmitsOnTheSecondBlockOfARun)
{
    EXPECT_EQ(Gate("555 55"), " 5   5");
    EXPECT_EQ(Gate("5755"), "   5");
}

TEST_F(SpineTest, GateIgnoresLoneSymbolsDotsAndSpaces)
{
    EXPECT_EQ(Gate("5"), " ");
    EXPECT_EQ(Gate("........"), "        ");
    EXPECT_EQ(Gate("        "), "        ");
    EXPECT_EQ(Spine.MissCount, 0);
}

TEST_F(SpineTest, FirstBlockComparesAgainstNul)
{
    EXPECT_EQ(Spine.LastSymbol, 0);
    EXPECT_EQ(Spine.SymbolGate('\0'), ' ');
    EXPECT_EQ(Spine.SymbolGate('\0'), ' ');
    EXPECT_EQ(Gate("##"), " #");
}

TEST_F(SpineTest, PeakLevel)
{
    EXPECT_EQ(Receive(Silence), 0);
    std::vector<int16_t> Block(BlockSamples, 5);
    Block[700] = -32768;
    EXPECT_EQ(Receive(Block), 32768);
    Block[700] = 32767;
    Block[3] = -32767;
    EXPECT_EQ(Receive(Block), 32767);
}

TEST_F(SpineTest, PartialBufferChangesOnlyItsBytes)
{
    Receive(std::vector<int16_t>(BlockSamples, 1000));
    const std::vector<int16_t> Quiet(BlockSamples, -3);
    EXPECT_EQ(Spine.ReceiveBlock(Quiet.data(), 200), 1000);
    EXPECT_EQ(Spine.CurrentBlock[99], -3);
    EXPECT_EQ(Spine.CurrentBlock[100], 1000);
    EXPECT_EQ(Spine.LatestBlock[100], 1000);
    EXPECT_EQ(Spine.LatestBlock[0], -3);
    EXPECT_EQ(Spine.PreviousBlock[0], 1000);
}

TEST_F(SpineTest, ByteCountsOutsideTheBlockAreClamped)
{
    // The source holds exactly one block: a count past it must not read on.
    std::vector<int16_t> Block(BlockSamples, 7);
    Block.back() = -32768;
    EXPECT_EQ(Spine.ReceiveBlock(Block.data(), 1 << 20), 32768);
    EXPECT_EQ(Spine.CurrentBlock[BlockSamples - 1], -32768);

    const std::vector<int16_t> Other(BlockSamples, 9);
    EXPECT_EQ(Spine.ReceiveBlock(Other.data(), -4), 32768);
    EXPECT_EQ(Spine.CurrentBlock[0], 7);
    EXPECT_EQ(Spine.ReceiveBlock(nullptr, 0), 32768);
}

TEST_F(SpineTest, AnalysisTrailsReceptionByOneBlock)
{
    const std::vector<int16_t> Five = Tone('5');
    Receive(Five); // analyses the cleared history
    EXPECT_EQ(Spine.LastSymbol, ' ');
    Receive(Five); // analyses the first tone block
    EXPECT_EQ(Spine.LastSymbol, '5');
    EXPECT_EQ(Line.Text(), "");
    Receive(Silence); // analyses the second tone block: emitted
    EXPECT_EQ(Line.Text(), "5");
    EXPECT_EQ(Spine.EmittedSymbol(), '5');
    Receive(Silence);
    EXPECT_EQ(Spine.EmittedSymbol(), ' ');
    EXPECT_EQ(Line.Text(), "5");
}

TEST_F(SpineTest, HistoryClearedBeforeARestartYieldsNoSymbol)
{
    const std::vector<int16_t> Nine = Tone('9');
    Receive(Nine);
    Receive(Nine);
    Spine.ClearHistory();
    EXPECT_EQ(Spine.CurrentBlock[1], Nine[1]);
    EXPECT_EQ(Spine.LatestBlock[1], 0);
    Receive(Nine); // analyses zeros, not the tone before the restart
    EXPECT_EQ(Spine.LastSymbol, ' ');
    EXPECT_EQ(Line.Text(), "");
}

TEST_F(SpineTest, LineKeepsTheLast48Characters)
{
    const std::vector<int16_t> Hash = Tone('#');
    Line.SetText(std::string(48, 'x'));
    Receive(Hash);
    Receive(Hash);
    Receive(Silence);
    EXPECT_EQ(Line.Text(), std::string(47, 'x') + "#");
}

TEST_F(SpineTest, LongPasteIsCutToItsLast48AtTheNextBlock)
{
    std::string Paste;
    for (int i = 0; i < 60; ++i)
        Paste += static_cast<char>('a' + i % 26);
    Line.SetText(Paste);
    Receive(Silence);
    EXPECT_EQ(Line.Text(), Paste.substr(12));
    // A line of 48 is left alone.
    Receive(Silence);
    EXPECT_EQ(Line.Text(), Paste.substr(12));
}

// A line that counts how often its text is read and written.
struct TCountingLine : TStringDigitLine
{
    mutable int Reads = 0;
    int Writes = 0;
    std::string Text() const override
    {
        ++Reads;
        return TStringDigitLine::Text();
    }
    void SetText(const std::string &Text) override
    {
        ++Writes;
        TStringDigitLine::SetText(Text);
    }
};

TEST(SpineLine, OnlyABlockThatEmitsTouchesTheText)
{
    TCountingLine Line;
    std::string Full; // 48 two-byte characters: not too long
    for (int i = 0; i < DigitLineLength; ++i)
        Full += "\xD0\x96";
    Line.SetText(Full);
    Line.Writes = 0;
    TDtmfSpine Spine(Line);
    const std::vector<int16_t> Seven = Tone('7');
    for (const std::vector<int16_t> *Block : {&Silence, &Seven, &Seven, &Seven, &Silence, &Silence})
        Spine.ReceiveBlock(Block->data(), BlockBytes);
    EXPECT_EQ(Line.Reads, 1);
    EXPECT_EQ(Line.Writes, 1);
    EXPECT_EQ(Line.Length(), 48u);
    EXPECT_EQ(Line.TStringDigitLine::Text(), Full.substr(2) + "7");
}

TEST(CutDigitLine, CountsCharactersNotBytes)
{
    const std::string Cyrillic = "\xD0\x96"; // one two-byte character
    std::string Text;
    for (int i = 0; i < 50; ++i)
        Text += Cyrillic;
    const std::string Cut = CutDigitLine(Text);
    EXPECT_EQ(Cut.size(), 96u);
    EXPECT_EQ(Cut.substr(0, 2), Cyrillic);
    EXPECT_EQ(CutDigitLine("0123"), "0123");
    EXPECT_EQ(CutDigitLine(std::string(49, '7') + "8"), std::string(47, '7') + "8");
}

} // namespace
