// The decoder's way from a sound file to the detector's blocks, and the
// window detector against the window program's spine.
#include "Decoder.h"
#include "InputDecoding.h"
#include "TestFiles.h"
#include "ToneSignals.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sndfile.h>
#include <stdexcept>
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

// A file decoded whole on two threads gets every handler call that one thread
// gives, in the same order: mono at 8000 and 48000 Hz (straight to the strict
// receiver), at 44100 Hz (resampled), stereo mixed into one and stereo each
// channel on its own; several seconds of digits, a pause, digits over noise;
// and a file cut short, which says so the same way. A handler that throws
// stops the analysis too, and the exception comes out.
TEST(DecoderBlocks, TwoThreadsGiveWhatOneGives)
{
    struct TCase
    {
        int Rate;
        int Channels;
        bool Mix;
        size_t Cut; // bytes left out at the end
    };
    TTestFiles Files;
    for (const TCase &Case :
         {TCase{8000, 1, false, 0}, TCase{48000, 1, false, 0}, TCase{44100, 1, false, 0},
          TCase{8000, 2, true, 0}, TCase{8000, 2, false, 0}, TCase{8000, 1, false, 1001}}) {
        SCOPED_TRACE(testing::Message() << Case.Rate << " Hz, " << Case.Channels << " channels");
        std::vector<float> Samples = KeypadSignal("0123456789ABCD*#", {0.05, 0.04}, Case.Rate);
        Samples.resize(Samples.size() + static_cast<size_t>(Case.Rate) / 3);
        std::vector<float> Noisy = KeypadSignal("*0D73", {0.2, 0.15, -20, -18}, Case.Rate);
        Mix(Noisy, Noise(Noisy.size(), TNoiseColour::Pink, 0.1, 9, Case.Rate));
        Samples.insert(Samples.end(), Noisy.begin(), Noisy.end());
        // A clipped line, whose twist the judges take more loosely.
        std::vector<float> Clipped = KeypadSignal("5B9", {0.08, 0.06, -14, -10}, Case.Rate);
        for (float &S : Clipped)
            S = std::clamp(S * 10, -1.0f, 1.0f);
        Samples.insert(Samples.end(), Clipped.begin(), Clipped.end());
        std::vector<int16_t> Mono;
        for (int Repeat = 0; Repeat < 4; ++Repeat)
            for (float S : Samples)
                Mono.push_back(static_cast<int16_t>(S * 32767));
        std::vector<int16_t> Right(Mono.rbegin(), Mono.rend());
        const std::string Path =
            Files.WriteSound("in.wav", Case.Channels == 1 ? Mono : Interleave(Mono, Right),
                             Case.Rate, Case.Channels, WavPcm16);
        const std::string Bytes = TTestFiles::ReadBytes(Path);
        Files.WriteText("in.wav", Bytes.substr(0, Bytes.size() - Case.Cut));
        std::string Log[2];
        for (int Two = 0; Two < 2; ++Two) {
            TInputSettings Settings;
            Settings.TwoThreads = Two == 1;
            Settings.Channel.Mix = Case.Mix;
            const auto Note = [&Log, Two](char Kind) {
                return [&Log, Two, Kind](const TDecodedSymbol &S) {
                    Log[Two] += Kind + std::string(1, S.Symbol) + std::to_string(S.Start) + "-" +
                                std::to_string(S.End) + "/" + std::to_string(S.Channel) + " ";
                };
            };
            TInputDecoding Input(Path, Settings, Note('E'), Note('S'));
            ASSERT_EQ(Input.Problem(), "");
            EXPECT_EQ(Input.Decode(), Case.Cut == 0);
            Log[Two] += Input.Problem();
        }
        EXPECT_GT(Log[0].size(), 1000u);
        EXPECT_EQ(Log[0], Log[1]);
        TInputDecoding Stopped(Path, {},
                               [](const TDecodedSymbol &) { throw std::range_error(""); });
        EXPECT_THROW(Stopped.Decode(), std::range_error);
    }
}
