// The decoder's way from a sound file to the spine's blocks.
#include "Decoder.h"
#include "InputDecoding.h"
#include "TestFiles.h"
#include "ToneSignals.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <sndfile.h>

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

struct TEmission
{
    char Symbol;
    int64_t Block;
};

// A file decoded through the same path as the program.
struct TDecodedFile
{
    std::vector<TEmission> Emitted;
    std::unique_ptr<TDecoder> Decoder;
};

std::unique_ptr<TDecodedFile> DecodeFile(const std::string &Path)
{
    TSoundFile File;
    EXPECT_TRUE(File.OpenPath(Path)) << File.Error();
    auto Decoded = std::make_unique<TDecodedFile>();
    std::vector<TEmission> &Emitted = Decoded->Emitted;
    Decoded->Decoder =
        std::make_unique<TDecoder>(File.Rate(), File.Channels(), [&Emitted](char S, int64_t B) {
            Emitted.push_back({S, B});
        });
    EXPECT_TRUE(Decoded->Decoder->Ok());
    std::string Error;
    EXPECT_TRUE(DecodeSoundFile(File, *Decoded->Decoder, Error)) << Error;
    return Decoded;
}

// The last real block, padded with zeros, is the one analysed last; the
// all-zero block after it is the latest.
void ExpectLastBlocks(const TDtmfSpine &Spine, const std::vector<int16_t> &Samples)
{
    const size_t Tail = Samples.size() % BlockSamples;
    ASSERT_NE(Tail, 0u);
    for (size_t i = 0; i < BlockSamples; ++i) {
        const int16_t Expected = i < Tail ? Samples[Samples.size() - Tail + i] : 0;
        ASSERT_EQ(Spine.PreviousBlock[i], Expected) << "sample " << i;
        ASSERT_EQ(Spine.LatestBlock[i], 0) << "sample " << i;
    }
}

} // namespace

TEST(DecoderBlocks, MonoAt48kReachesTheSpineUnchangedAndPadded)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = RandomSamples(5 * BlockSamples + 100);
    const auto Decoded = DecodeFile(Files.WriteSound("noise.wav", Samples, 48000, 1, WavPcm16));
    ExpectLastBlocks(Decoded->Decoder->Spine(), Samples);
}

TEST(DecoderBlocks, StereoIsMixedDownToTheMeanOfItsChannels)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = RandomSamples(2 * BlockSamples + 7);
    const auto Same =
        DecodeFile(Files.WriteSound("same.wav", Interleave(Samples, Samples), 48000, 2, WavPcm16));
    ExpectLastBlocks(Same->Decoder->Spine(), Samples);

    std::vector<int16_t> Opposite(Samples.size());
    for (size_t i = 0; i < Samples.size(); ++i)
        Opposite[i] = static_cast<int16_t>(Samples[i] == -32768 ? 32767 : -Samples[i]);
    const auto Cancelled = DecodeFile(
        Files.WriteSound("cancel.wav", Interleave(Samples, Opposite), 48000, 2, WavPcm16));
    for (int16_t Sample : Cancelled->Decoder->Spine().PreviousBlock)
        ASSERT_LE(std::abs(Sample), 1);
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
        const std::vector<TEmission> Emitted =
            DecodeFile(Files.WriteSound("tone.wav", Samples, Rate, 1, WavPcm16))->Emitted;
        ASSERT_EQ(Emitted.size(), 1u) << Rate << " Hz";
        EXPECT_EQ(Emitted[0].Symbol, '5') << Rate << " Hz";
        EXPECT_GE(Emitted[0].Block, 24) << Rate << " Hz";
        EXPECT_LE(Emitted[0].Block, 25) << Rate << " Hz";
    }
}
