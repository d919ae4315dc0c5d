// dtmf-decode end to end: files of several kinds, raw standard input, the
// output formats, failing inputs and wrong arguments.
#include "ChildProcess.h"
#include "TestFiles.h"
#include "ToneSignals.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

const std::string Program = DTMF_DECODE_PROGRAM;
const std::string Sixteen = "0123456789ABCD*#";
const int WavPcm16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

TProcessResult Decode(std::vector<std::string> Args, const std::string &Input = "")
{
    Args.insert(Args.begin(), Program);
    return TChildProcess::Run(Args, Input);
}

// Low tones on the left, high tones on the right: symbols only once mixed.
std::vector<int16_t> SplitStereo(const std::string &Symbols, int Rate)
{
    return Interleave(DtmfSequence(Symbols, Rate, TToneGroups::LowOnly),
                      DtmfSequence(Symbols, Rate, TToneGroups::HighOnly));
}

// "5" from block 10 to 14, "9" from 18 to 22, "#" in block 30 and a partial
// block 31 where the input ends.
std::vector<int16_t> TimedSymbols()
{
    std::vector<int16_t> Samples;
    AppendSilence(Samples, 10 * 1024);
    AppendTone(Samples, '5', 5 * 1024, 48000);
    AppendSilence(Samples, 3 * 1024);
    AppendTone(Samples, '9', 5 * 1024, 48000);
    AppendSilence(Samples, 7 * 1024);
    AppendTone(Samples, '#', 1024 + 1000, 48000);
    return Samples;
}

const char *TimedLines = "0.235\t5\n0.405\t9\n0.661\t#\n";

std::string Prefixed(const std::string &Name, const std::string &Lines)
{
    std::string Out;
    for (size_t Start = 0; Start < Lines.size();) {
        const size_t End = Lines.find('\n', Start) + 1;
        Out += Name + ": " + Lines.substr(Start, End - Start);
        Start = End;
    }
    return Out;
}

} // namespace

TEST(DecoderFiles, FindsTheSixteenSymbolsInEachKindOfFile)
{
    TTestFiles Files;
    const std::string Wav48k =
        Files.WriteSound("48k.wav", DtmfSequence(Sixteen, 48000), 48000, 1, WavPcm16);
    const std::string MuLaw8k = Files.WriteSound("8k.wav", DtmfSequence(Sixteen, 8000), 8000, 1,
                                                 SF_FORMAT_WAV | SF_FORMAT_ULAW);
    const std::string Stereo44k =
        Files.WriteSound("44k.wav", SplitStereo(Sixteen, 44100), 44100, 2, WavPcm16);
    for (const std::string &File : {Wav48k, MuLaw8k, Stereo44k}) {
        const TProcessResult Result = Decode({File});
        EXPECT_EQ(Result.Out, Sixteen + "\n") << File;
        EXPECT_EQ(Result.Err, "") << File;
        EXPECT_EQ(Result.Status, 0) << File;
    }
    const TProcessResult All = Decode({Wav48k, MuLaw8k, Stereo44k});
    EXPECT_EQ(All.Out, Wav48k + ": " + Sixteen + "\n" + MuLaw8k + ": " + Sixteen + "\n" +
                           Stereo44k + ": " + Sixteen + "\n");
    EXPECT_EQ(All.Status, 0);
}

TEST(DecoderFiles, TimestampsGiveTheStartOfTheEmittingBlock)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = TimedSymbols();
    const std::string File = Files.WriteSound("timed.wav", Samples, 48000, 1, WavPcm16);
    EXPECT_EQ(Decode({"--timestamps", File}).Out, TimedLines);
    EXPECT_EQ(Decode({File}).Out, "59#\n");

    const TProcessResult Both = Decode({File, "--timestamps", "-"}, RawBytes(Samples));
    EXPECT_EQ(Both.Out, Prefixed(File, TimedLines) + Prefixed("-", TimedLines));
    EXPECT_EQ(Both.Status, 0);
}

TEST(DecoderStandardInput, DecodesRawPcmAtAnyRateAndChannelCount)
{
    EXPECT_EQ(Decode({"-"}, RawBytes(DtmfSequence(Sixteen, 48000))).Out, Sixteen + "\n");
    EXPECT_EQ(Decode({"--rate", "8000", "-"}, RawBytes(DtmfSequence(Sixteen, 8000))).Out,
              Sixteen + "\n");
    const TProcessResult Stereo =
        Decode({"--channels=2", "--rate=44100", "-"}, RawBytes(SplitStereo(Sixteen, 44100)));
    EXPECT_EQ(Stereo.Out, Sixteen + "\n");
    EXPECT_EQ(Stereo.Status, 0);
}

TEST(DecoderStandardInput, WritesEachSymbolAsSoonAsItIsEmitted)
{
    for (const std::vector<std::string> &Options :
         {std::vector<std::string>{}, std::vector<std::string>{"--timestamps"}}) {
        std::vector<std::string> Args{Program};
        Args.insert(Args.end(), Options.begin(), Options.end());
        Args.push_back("-");
        TChildProcess Child(Args);
        // Standard input stays open: the symbols must come out all the same.
        Child.Write(RawBytes(DtmfSequence("7", 48000)));
        EXPECT_TRUE(Child.WaitForOutput("7", 10000));
        Child.Write(RawBytes(DtmfSequence("D", 48000)));
        EXPECT_TRUE(Child.WaitForOutput("D", 10000));
        const TProcessResult Result = Child.Finish();
        EXPECT_EQ(Result.Out, Options.empty() ? "7D\n" : "0.021\t7\n0.149\tD\n");
        EXPECT_EQ(Result.Status, 0);
    }
}

TEST(DecoderErrors, AFailingInputIsNamedAndTheOthersAreStillDecoded)
{
    TTestFiles Files;
    const std::string Missing = Files.Path("missing.wav");
    const std::string Good =
        Files.WriteSound("good.wav", DtmfSequence("123", 48000), 48000, 1, WavPcm16);
    const std::string Text = Files.WriteText("notes.wav", "Not a recording, just some words.\n");
    const TProcessResult Result = Decode({Missing, Good, Text});
    EXPECT_EQ(Result.Status, 1);
    EXPECT_EQ(Result.Out, Good + ": 123\n");
    const size_t FirstEnd = Result.Err.find('\n');
    ASSERT_NE(FirstEnd, std::string::npos) << Result.Err;
    const std::string First = Result.Err.substr(0, FirstEnd);
    const std::string Second = Result.Err.substr(FirstEnd + 1);
    EXPECT_NE(First.find(Missing + ": No such file or directory"), std::string::npos) << First;
    EXPECT_NE(Second.find(Text + ": "), std::string::npos) << Second;
    EXPECT_EQ(std::count(Second.begin(), Second.end(), '\n'), 1) << Second;
}

TEST(DecoderErrors, AFileBrokenPartWayKeepsItsSymbolsAndFails)
{
    TTestFiles Files;
    const std::string Flac = Files.WriteSound("cut.flac", DtmfSequence("123456", 48000), 48000, 1,
                                              SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::filesystem::resize_file(Flac, std::filesystem::file_size(Flac) * 6 / 10);
    const TProcessResult Result = Decode({Flac});
    EXPECT_EQ(Result.Status, 1);
    EXPECT_EQ(Result.Out.substr(0, 3), "123") << Result.Out;
    EXPECT_EQ(Result.Err.rfind("dtmf-decode: " + Flac + ": ", 0), 0u) << Result.Err;
}

TEST(DecoderErrors, AStreamCutInTheMiddleOfAFrameKeepsItsSymbolsAndFails)
{
    std::string Bytes = RawBytes(SplitStereo("47", 48000));
    Bytes += '\x01';
    const TProcessResult Result = Decode({"--channels", "2", "-"}, Bytes);
    EXPECT_EQ(Result.Out, "47\n");
    EXPECT_EQ(Result.Status, 1);
    EXPECT_EQ(Result.Err, "dtmf-decode: -: ends in the middle of a frame\n");
}

TEST(DecoderErrors, WrongArgumentsPrintTheUsageAndExitWithTwo)
{
    const std::vector<std::vector<std::string>> Wrong = {
        {},
        {"--timestamps"},
        {"--rate"},
        {"--rate", "0", "-"},
        {"--rate", "8k", "-"},
        {"--rate=", "-"},
        {"--channels", "0", "-"},
        {"--channels", "-1", "-"},
        {"--loud", "-"},
        {"-t", "-"},
    };
    for (const std::vector<std::string> &Args : Wrong) {
        const TProcessResult Result = Decode(Args);
        EXPECT_EQ(Result.Status, 2) << ::testing::PrintToString(Args);
        EXPECT_EQ(Result.Out, "") << ::testing::PrintToString(Args);
        EXPECT_NE(Result.Err.find("Usage: dtmf-decode"), std::string::npos)
            << ::testing::PrintToString(Args);
    }
    const TProcessResult Help = Decode({"--help"});
    EXPECT_EQ(Help.Status, 0);
    EXPECT_NE(Help.Out.find("Usage: dtmf-decode [--timestamps] [--rate HZ] [--channels N] FILE..."),
              std::string::npos);
}
