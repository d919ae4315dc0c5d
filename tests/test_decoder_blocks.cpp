// The decoder's way from a sound file to the detector's blocks, and the
// window detector against the window program's spine.
#include "Decoder.h"
#include "InputDecoding.h"
#include "TestFiles.h"
#include "ToneSignals.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sndfile.h>
#include <unistd.h>

namespace {

const int WavPcm16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

std::vector<int16_t> RandomSamples(size_t Count)
{
    std::mt19937 Generator(1234);
    std::uniform_int_distribution<int> Sample(-32768, 32767);
    std::vector<int16_t> Samples(Count);
    for (int16_t &S : Samples)
        S = static_cast<int16_t>(Sample(Generator));
    return Samples;
}

// A file decoded by the window detector through the same path as the program.
struct TDecodedFile
{
    std::vector<TDecodedSymbol> Symbols;
    std::unique_ptr<TDecoder> Decoder;

    const TWindowDetector &Window() const
    {
        return dynamic_cast<const TWindowDetector &>(Decoder->Detector());
    }
};

std::unique_ptr<TDecodedFile> DecodeFile(const std::string &Path)
{
    const int Fd = open(Path.c_str(), O_RDONLY);
    TSoundFile File;
    EXPECT_TRUE(File.OpenStream(Fd, "")) << File.Error();
    auto Decoded = std::make_unique<TDecodedFile>();
    std::vector<TDecodedSymbol> &Symbols = Decoded->Symbols;
    Decoded->Decoder = std::make_unique<TDecoder>(
        File.Rate(), File.Channels(), TDetectorKind::Window, TStrictLimits{},
        [&Symbols](const TDecodedSymbol &S) { Symbols.push_back(S); }, nullptr,
        TChannelChoice{0, true});
    EXPECT_EQ(DecodeSoundFile(File, *Decoded->Decoder, 1000), "");
    close(Fd);
    return Decoded;
}

// The last real block, padded with zeros, is the one analysed last.
void ExpectLastBlock(const TWindowDetector &Window, const std::vector<int16_t> &Samples)
{
    const size_t Tail = Samples.size() % BlockSamples;
    ASSERT_NE(Tail, 0u);
    for (size_t i = 0; i < BlockSamples; ++i) {
        const int16_t Expected = i < Tail ? Samples[Samples.size() - Tail + i] : 0;
        ASSERT_EQ(Window.LastBlock()[i], Expected) << "sample " << i;
    }
}

// Tones of every length from a third of a block to several blocks, gaps as
// short as one block, and noise, at random phases against the blocks.
std::vector<int16_t> GateExercise()
{
    std::mt19937 Generator(77);
    const std::string Symbols = "0123456789ABCD*#";
    std::vector<int16_t> Samples;
    for (int Segment = 0; Segment < 300; ++Segment) {
        const int Length = std::uniform_int_distribution<int>(300, 6000)(Generator);
        const int Kind = std::uniform_int_distribution<int>(0, 5)(Generator);
        if (Kind == 0) {
            AppendSilence(Samples, Length);
        } else if (Kind == 1) {
            std::normal_distribution<double> Noise(0, 3000);
            for (int i = 0; i < Length; ++i)
                Samples.push_back(static_cast<int16_t>(Noise(Generator)));
        } else {
            AppendTone(Samples, Symbols[Generator() % Symbols.size()], Length, 48000,
                       std::uniform_real_distribution<double>(300, 12000)(Generator));
        }
    }
    AppendTone(Samples, '5', 3000, 48000);
    return Samples;
}

} // namespace

TEST(DecoderBlocks, MonoAt48kReachesTheDetectorUnchangedAndPadded)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = RandomSamples(5 * BlockSamples + 100);
    const auto Decoded = DecodeFile(Files.WriteSound("noise.wav", Samples, 48000, 1, WavPcm16));
    ExpectLastBlock(Decoded->Window(), Samples);
}

TEST(DecoderBlocks, StereoIsMixedDownToTheMeanOfItsChannels)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = RandomSamples(2 * BlockSamples + 7);
    const auto Same =
        DecodeFile(Files.WriteSound("same.wav", Interleave(Samples, Samples), 48000, 2, WavPcm16));
    ExpectLastBlock(Same->Window(), Samples);

    std::vector<int16_t> Opposite(Samples.size());
    for (size_t i = 0; i < Samples.size(); ++i)
        Opposite[i] = static_cast<int16_t>(Samples[i] == -32768 ? 32767 : -Samples[i]);
    const auto Cancelled = DecodeFile(
        Files.WriteSound("cancel.wav", Interleave(Samples, Opposite), 48000, 2, WavPcm16));
    for (size_t i = 0; i < 7; ++i)
        ASSERT_LE(std::abs(Cancelled->Window().LastBlock()[i]), 1);
}

TEST(DecoderBlocks, EmissionsNameTheAnalysedBlockAtEveryRate)
{
    // A tone from 0.5 s to 0.6 s covers 48 kHz blocks 23.4 to 28.1: the gate
    // emits on the second block that carries it.
    TTestFiles Files;
    for (int Rate : {48000, 8000, 44100, 96000}) {
        std::vector<int16_t> Samples;
        AppendSilence(Samples, Rate / 2);
        AppendTone(Samples, '5', Rate / 10, Rate);
        AppendSilence(Samples, Rate / 5);
        const std::vector<TDecodedSymbol> Symbols =
            DecodeFile(Files.WriteSound("tone.wav", Samples, Rate, 1, WavPcm16))->Symbols;
        ASSERT_EQ(Symbols.size(), 1u) << Rate << " Hz";
        EXPECT_EQ(Symbols[0].Symbol, '5') << Rate << " Hz";
        EXPECT_GE(Symbols[0].Start / BlockSamples, 24) << Rate << " Hz";
        EXPECT_LE(Symbols[0].Start / BlockSamples, 25) << Rate << " Hz";
        EXPECT_GE(Symbols[0].End / BlockSamples, 28) << Rate << " Hz";
        EXPECT_LE(Symbols[0].End / BlockSamples, 29) << Rate << " Hz";
    }
}

TEST(DecoderBlocks, WindowDetectorGivesWhatTheSpineGivesOnTheSameBlocks)
{
    const std::vector<int16_t> Samples = GateExercise();

    // The spine as the window program runs it: every block through
    // ReceiveBlock, which analyses the block before; then one of zeros.
    TStringDigitLine Line;
    TDtmfSpine Spine(Line);
    std::vector<TDecodedSymbol> Expected;
    std::string AllEmitted;
    const size_t Blocks = (Samples.size() + BlockSamples - 1) / BlockSamples;
    for (size_t Block = 0; Block <= Blocks; ++Block) {
        int16_t Data[BlockSamples] = {};
        for (size_t i = 0; i < BlockSamples && Block * BlockSamples + i < Samples.size(); ++i)
            Data[i] = Samples[Block * BlockSamples + i];
        Spine.ReceiveBlock(Data, BlockBytes);
        const int64_t Analysed = (static_cast<int64_t>(Block) - 1) * BlockSamples;
        if (!Expected.empty() && Spine.LastSymbol == Expected.back().Symbol &&
            Expected.back().End == Analysed)
            Expected.back().End = Analysed + BlockSamples;
        if (Spine.EmittedSymbol() != ' ') {
            Expected.push_back({Spine.EmittedSymbol(), Analysed, Analysed + BlockSamples});
            AllEmitted += Spine.EmittedSymbol();
        }
    }
    ASSERT_GT(Expected.size(), 100u);
    EXPECT_EQ(Line.Text(), CutDigitLine(AllEmitted));

    // The decoder, fed in pieces that don't line up with the blocks, both as
    // text output wants it (at once) and as tsv and jsonl want it (with ends).
    for (bool AtEmission : {true, false}) {
        std::vector<TDecodedSymbol> Got;
        const TSymbolDetector::THandler Add = [&Got](const TDecodedSymbol &S) { Got.push_back(S); };
        TDecoder Decoder(48000, 1, TDetectorKind::Window, {}, AtEmission ? nullptr : Add,
                         AtEmission ? Add : nullptr);
        for (size_t At = 0; At < Samples.size(); At += 777)
            Decoder.FeedShorts(Samples.data() + At, std::min<size_t>(777, Samples.size() - At));
        Decoder.Finish();
        ASSERT_EQ(Got.size(), Expected.size());
        for (size_t i = 0; i < Got.size(); ++i) {
            ASSERT_EQ(Got[i].Symbol, Expected[i].Symbol) << i;
            ASSERT_EQ(Got[i].Start, Expected[i].Start) << i;
            if (!AtEmission) {
                ASSERT_EQ(Got[i].End, Expected[i].End) << i;
            }
        }
    }
}

TEST(DecoderBlocks, AResamplerThatCannotWorkIsAnErrorNotSilence)
{
    // A rate libsoxr refuses stands for any failure of the filter.
    TDecoder Decoder(-1, 1, TDetectorKind::Window, {}, [](const TDecodedSymbol &) { FAIL(); });
    const std::vector<int16_t> Samples = RandomSamples(BlockSamples);
    Decoder.FeedShorts(Samples.data(), Samples.size());
    Decoder.Finish();
    EXPECT_EQ(Decoder.Error().rfind("the resampler failed: ", 0), 0u) << Decoder.Error();
}
