// dtmf-decode end to end: files of several kinds, standard input, the output
// formats, batches, failing inputs and wrong arguments.
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

// With the window's detector: the start of the emitting block.
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

std::string Describe(const std::vector<std::string> &Args)
{
    return ::testing::PrintToString(Args);
}

} // namespace

TEST(DecoderFiles, FindsTheSixteenSymbolsInEachKindOfFileWithEitherDetector)
{
    TTestFiles Files;
    const std::string Wav48k =
        Files.WriteSound("48k.wav", DtmfSequence(Sixteen, 48000), 48000, 1, WavPcm16);
    const std::string MuLaw8k = Files.WriteSound("8k.wav", DtmfSequence(Sixteen, 8000), 8000, 1,
                                                 SF_FORMAT_WAV | SF_FORMAT_ULAW);
    const std::vector<int16_t> Keys44k = DtmfSequence(Sixteen, 44100);
    const std::string Stereo44k =
        Files.WriteSound("44k.wav", Interleave(std::vector<int16_t>(Keys44k.size(), 0), Keys44k),
                         44100, 2, WavPcm16);
    for (const char *Detector : {"--detector=strict", "-dwindow"}) {
        for (const std::string &File : {Wav48k, MuLaw8k, Stereo44k}) {
            const TProcessResult Result = Decode({Detector, File});
            EXPECT_EQ(Result.Out, Sixteen + "\n") << Detector << " " << File;
            EXPECT_EQ(Result.Err, "") << File;
            EXPECT_EQ(Result.Status, 0) << File;
        }
        const TProcessResult All = Decode({Detector, Wav48k, MuLaw8k, Stereo44k});
        EXPECT_EQ(All.Out, Wav48k + ": " + Sixteen + "\n" + MuLaw8k + ": " + Sixteen + "\n" +
                               Stereo44k + ": " + Sixteen + "\n");
        EXPECT_EQ(All.Status, 0);
    }
}

TEST(DecoderFiles, TimestampsGiveTheStartOfTheEmittingBlock)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = TimedSymbols();
    const std::string File = Files.WriteSound("timed.wav", Samples, 48000, 1, WavPcm16);
    EXPECT_EQ(Decode({"-d", "window", "--timestamps", File}).Out, TimedLines);
    EXPECT_EQ(Decode({"-d", "window", "-toffset", File}).Out, TimedLines);
    EXPECT_EQ(Decode({"-dwindow", File}).Out, "59#\n");

    const TProcessResult Both =
        Decode({File, "--timestamps", "-", "--detector=window"}, RawBytes(Samples));
    EXPECT_EQ(Both.Out, Prefixed(File, TimedLines) + Prefixed("-", TimedLines));
    EXPECT_EQ(Both.Status, 0);
}

TEST(DecoderFiles, TsvAndJsonlGiveStartEndAndDuration)
{
    TTestFiles Files;
    const std::string File = Files.WriteSound("timed.wav", TimedSymbols(), 48000, 1, WavPcm16);
    // The window's symbols end with the last block that carried them.
    EXPECT_EQ(Decode({"-dwindow", "-ftsv", File}).Out,
              "input\tstart\tend\tduration\tsymbol\tchannel\n" + File +
                  "\t0.235\t0.320\t0.085\t5\n" + File + "\t0.405\t0.491\t0.085\t9\n" + File +
                  "\t0.661\t0.683\t0.021\t#\n");
    // The strict receiver gives where the tone itself starts and ends.
    const TProcessResult Strict = Decode({"--format=jsonl", File});
    const std::string Input = "{\"input\":\"" + File + "\",";
    EXPECT_EQ(Strict.Out.substr(0, Input.size() + 8), Input + "\"start\":") << Strict.Out;
    const std::string Wall = Decode({"-dwindow", "-fjsonl", "--timestamps=wall", File}).Out;
    EXPECT_TRUE(Wall.find("\"start\":\"20") != std::string::npos &&
                Wall.find("\",\"end\":\"20") != std::string::npos)
        << Wall;
}

TEST(DecoderFiles, JsonLinesReadBackInPythonWhateverTheFileNames)
{
    TTestFiles Files;
    const std::vector<std::string> Names = {"plain.wav",
                                            "caf\xc3\xa9 \xe2\x98\x8e.wav",
                                            "bad\xff\xfe.wav",
                                            "quote\" back\\slash.wav",
                                            "tab\there\nline.wav",
                                            "half\xe2\x98.wav",
                                            "\xed\xa0\x80surrogate.wav"};
    std::vector<std::string> Args = {"--format=jsonl", "-d", "window"};
    std::string Expected;
    for (size_t i = 0; i < Names.size(); ++i) {
        const std::string Symbols = Sixteen.substr(i, 2);
        Args.push_back(
            Files.WriteSound(Names[i], DtmfSequence(Symbols, 48000), 48000, 1, WavPcm16));
        for (char Symbol : Symbols)
            Expected += Args.back() + "|" + Symbol + "\n";
    }
    Args.push_back(Files.Path("missing\xff.wav"));
    Expected += Args.back() + "|error\n";
    const TProcessResult Json = Decode(Args);
    EXPECT_EQ(Json.Status, 1);
    // Each line is one object; names come back byte for byte.
    const char *Reader = "import json, sys\n"
                         "for line in sys.stdin.buffer.read().decode('utf-8').split('\\n')[:-1]:\n"
                         "    o = json.loads(line)\n"
                         "    name = o['input'].encode('utf-8', 'surrogateescape')\n"
                         "    assert ('error' in o) != ('symbol' in o), line\n"
                         "    assert 'error' in o or 0 <= o['start'] < o['end'], line\n"
                         "    tail = b'error' if 'error' in o else o['symbol'].encode()\n"
                         "    sys.stdout.buffer.write(name + b'|' + tail + b'\\n')\n";
    const TProcessResult Read = TChildProcess::Run({PYTHON_PROGRAM, "-c", Reader}, Json.Out);
    EXPECT_EQ(Read.Err, "");
    EXPECT_EQ(Read.Out, Expected);
}

TEST(DecoderFiles, ABatchInParallelPrintsWhatOneJobPrints)
{
    TTestFiles Files;
    std::vector<std::string> Inputs;
    for (int i = 0; i < 20; ++i) {
        // Lengths that differ a lot, so that the jobs finish out of order.
        const std::string Symbols = Sixteen.substr(0, 1 + (i * 7) % 16);
        Inputs.push_back(Files.WriteSound("in" + std::to_string(i) + ".wav",
                                          DtmfSequence(Symbols, i % 2 ? 8000 : 48000),
                                          i % 2 ? 8000 : 48000, 1, WavPcm16));
    }
    Inputs[5] = Files.WriteText("text.wav", "no sound here");
    Inputs[12] = Files.Path("missing.wav");
    for (const std::vector<std::string> &Format :
         {std::vector<std::string>{}, {"--format=jsonl"}, {"-ftsv", "-dwindow"}}) {
        std::vector<std::string> One = Format, Four = Format;
        One.push_back("-j1");
        Four.push_back("--jobs=4");
        One.insert(One.end(), Inputs.begin(), Inputs.end());
        Four.insert(Four.end(), Inputs.begin(), Inputs.end());
        const TProcessResult Serial = Decode(One);
        const TProcessResult Parallel = Decode(Four);
        EXPECT_GT(Serial.Out.size(), 500u) << Serial.Out;
        EXPECT_EQ(Parallel.Out, Serial.Out) << Describe(Format);
        EXPECT_EQ(Parallel.Err, Serial.Err) << Describe(Format);
        EXPECT_EQ(Parallel.Status, 1);
        EXPECT_EQ(Serial.Status, 1);
    }
}

TEST(DecoderStandardInput, DecodesRawPcmInEveryEncodingRateAndChannelCount)
{
    TTestFiles Files;
    EXPECT_EQ(Decode({"-"}, RawBytes(DtmfSequence(Sixteen, 48000))).Out, Sixteen + "\n");
    EXPECT_EQ(Decode({"--rate", "8000", "-"}, RawBytes(DtmfSequence(Sixteen, 8000))).Out,
              Sixteen + "\n");
    const TProcessResult Stereo = Decode({"--mix", "--channels=2", "--rate=44100", "-"},
                                         RawBytes(SplitStereo(Sixteen, 44100)));
    EXPECT_EQ(Stereo.Out, Sixteen + "\n");
    EXPECT_EQ(Stereo.Status, 0);

    struct TEncoding
    {
        const char *Name;
        int Format;
    };
    for (const TEncoding &Encoding : {TEncoding{"u8", SF_FORMAT_PCM_U8},
                                      {"f32le", SF_FORMAT_FLOAT | SF_ENDIAN_LITTLE},
                                      {"mulaw", SF_FORMAT_ULAW},
                                      {"alaw", SF_FORMAT_ALAW}}) {
        const std::string Raw = Files.WriteSound("raw", DtmfSequence(Sixteen, 8000), 8000, 1,
                                                 SF_FORMAT_RAW | Encoding.Format);
        const std::string Option = std::string("--encoding=") + Encoding.Name;
        const TProcessResult Piped = Decode({Option, "-r8000", "-"}, TTestFiles::ReadBytes(Raw));
        EXPECT_EQ(Piped.Out, Sixteen + "\n") << Encoding.Name << Piped.Err;
        // A named file is raw only when asked.
        const TProcessResult Named = Decode({Option, "-r8000", "--raw", Raw});
        EXPECT_EQ(Named.Out, Sixteen + "\n") << Encoding.Name << Named.Err;
        const TProcessResult Refused = Decode({Option, "-r8000", Raw});
        EXPECT_EQ(Refused.Status, 1) << Encoding.Name;
        EXPECT_NE(Refused.Err.find("(--raw reads it as raw samples)"), std::string::npos);
    }
}

TEST(DecoderStandardInput, SoundFilesArePipedInAsWhatTheyAre)
{
    TTestFiles Files;
    const std::vector<int16_t> Samples = DtmfSequence(Sixteen, 44100);
    for (int Format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_RF64 | SF_FORMAT_PCM_24,
                       SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                       SF_FORMAT_OGG | SF_FORMAT_VORBIS}) {
        const std::string File = Files.WriteSound("piped", Samples, 44100, 1, Format);
        const TProcessResult Result = Decode({"-"}, TTestFiles::ReadBytes(File));
        EXPECT_EQ(Result.Out, Sixteen + "\n") << std::hex << Format;
        EXPECT_EQ(Result.Err, "") << std::hex << Format;
        EXPECT_EQ(Result.Status, 0) << std::hex << Format;
    }
    // Forced raw, the same WAV is 16-bit samples at 48 kHz: its header is
    // a few samples of noise and the tones are too low to be symbols.
    const std::string Wav = Files.WriteSound("piped.wav", Samples, 44100, 1, WavPcm16);
    EXPECT_NE(Decode({"--raw", "-"}, TTestFiles::ReadBytes(Wav)).Out, Sixteen + "\n");
}

TEST(DecoderStandardInput, WritesEachSymbolAsSoonAsItIsDecided)
{
    for (const std::vector<std::string> &Options : {std::vector<std::string>{},
                                                    {"--detector=window"},
                                                    {"-dwindow", "--timestamps"},
                                                    {"--format=jsonl"},
                                                    {"-ftsv", "-dwindow"}}) {
        std::vector<std::string> Args{Program};
        Args.insert(Args.end(), Options.begin(), Options.end());
        Args.push_back("-");
        TChildProcess Child(Args);
        // Standard input stays open: the symbols must come out all the same.
        Child.Write(RawBytes(DtmfSequence("7", 48000)));
        EXPECT_TRUE(Child.WaitForOutput("7", 10000)) << Describe(Options);
        Child.Write(RawBytes(DtmfSequence("D", 48000)));
        EXPECT_TRUE(Child.WaitForOutput("D", 10000)) << Describe(Options);
        const TProcessResult Result = Child.Finish();
        EXPECT_EQ(Result.Status, 0);
        if (Options.size() == 2 && Options[1] == "--timestamps") {
            EXPECT_EQ(Result.Out, "0.021\t7\n0.149\tD\n");
        }
    }
}

TEST(DecoderStandardInput, ASmallWavOnAPipeIsDecodedAsItComes)
{
    // Well under the header reader's look-ahead: it must not wait for the end.
    TTestFiles Files;
    const std::string Wav = TTestFiles::ReadBytes(
        Files.WriteSound("small.wav", DtmfSequence("7D", 48000), 48000, 1, WavPcm16));
    TChildProcess Child({Program, "-"});
    Child.Write(Wav.substr(0, 44 + 2 * 6720));
    EXPECT_TRUE(Child.WaitForOutput("7", 10000));
    Child.Write(Wav.substr(44 + 2 * 6720));
    const TProcessResult Result = Child.Finish();
    EXPECT_EQ(Result.Out, "7D\n");
    EXPECT_EQ(Result.Status, 0);
}

TEST(DecoderErrors, AFailingInputIsNamedAndTheOthersAreStillDecoded)
{
    TTestFiles Files;
    const std::string Missing = Files.Path("missing.wav");
    const std::string Good =
        Files.WriteSound("good.wav", DtmfSequence("123", 48000), 48000, 1, WavPcm16);
    const std::string Text = Files.WriteText("notes.wav", "Not a recording, just some words.\n");
    const TProcessResult Result = Decode({Missing, Good, Text, Files.Path("")});
    EXPECT_EQ(Result.Status, 1);
    EXPECT_EQ(Result.Out, Good + ": 123\n");
    EXPECT_EQ(Result.Err, "dtmf-decode: " + Missing + ": unreadable: No such file or directory\n" +
                              "dtmf-decode: " + Text +
                              ": not audio: no kind of sound file known here starts like this\n" +
                              "dtmf-decode: " + Files.Path("") +
                              ": unreadable: it is a directory\n");
}

TEST(DecoderErrors, AFileCutShortKeepsItsSymbolsAndSaysHowMuchIsMissing)
{
    TTestFiles Files;
    // 16 symbols of 0.14 s: 2.24 s, of which 60 % are kept.
    const std::vector<int16_t> Samples = DtmfSequence(Sixteen, 48000);
    const std::string Wav = Files.WriteSound("cut.wav", Samples, 48000, 1, WavPcm16);
    const std::string Flac =
        Files.WriteSound("cut.flac", Samples, 48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::filesystem::resize_file(Wav, 44 + Samples.size() * 2 * 6 / 10);
    std::filesystem::resize_file(Flac, std::filesystem::file_size(Flac) * 6 / 10);
    for (const std::string &File : {Wav, Flac}) {
        for (const std::string &Name : {File, std::string("-")}) {
            const TProcessResult Result =
                Name == "-" ? Decode({"-"}, TTestFiles::ReadBytes(File)) : Decode({File});
            EXPECT_EQ(Result.Status, 1) << Name;
            EXPECT_EQ(Result.Out.substr(0, 9), "012345678") << Name;
            EXPECT_EQ(Result.Err.rfind("dtmf-decode: " + Name + ": cut short: ", 0), 0u)
                << Result.Err;
            EXPECT_NE(Result.Err.find(" of the 2.240 s its header gives are missing\n"),
                      std::string::npos)
                << Result.Err;
        }
    }
    // Exactly: the WAV lacks 40 % of its data.
    EXPECT_EQ(Decode({Wav}).Err,
              "dtmf-decode: " + Wav +
                  ": cut short: 0.896 s of the 2.240 s its header gives are missing\n");
}

TEST(DecoderErrors, AStreamCutInTheMiddleOfAFrameKeepsItsSymbolsAndFails)
{
    std::string Bytes = RawBytes(SplitStereo("47", 48000));
    Bytes += '\x01';
    const TProcessResult Result = Decode({"--mix", "--channels", "2", "-"}, Bytes);
    EXPECT_EQ(Result.Out, "47\n");
    EXPECT_EQ(Result.Status, 1);
    EXPECT_EQ(Result.Err, "dtmf-decode: -: cut short: its last frame lacks 3 of its 4 bytes\n");
}

TEST(DecoderErrors, AHeaderThatContradictsItselfIsAnError)
{
    TTestFiles Files;
    const std::string Wav =
        Files.WriteSound("300.wav", DtmfSequence("123", 48000), 48000, 1, WavPcm16);
    std::string Bytes = TTestFiles::ReadBytes(Wav);
    Bytes[22] = 44; // 300 channels, frames still 2 bytes
    Bytes[23] = 1;
    const std::string Lying = Files.WriteText("lying.wav", Bytes);
    const std::string Reason =
        ": damaged header: 300 channels of 16-bit samples take 600 bytes a frame, yet it says 2\n";
    for (const std::string &Name : {Lying, std::string("-")}) {
        const TProcessResult Result =
            Decode({"--format=jsonl", Name}, Name == "-" ? Bytes : std::string());
        EXPECT_EQ(Result.Status, 1);
        EXPECT_EQ(Result.Err, "dtmf-decode: " + Name + Reason);
        EXPECT_NE(Result.Out.find("\"error\":\"damaged header: 300 channels"), std::string::npos)
            << Result.Out;
    }
}

TEST(DecoderErrors, DataThatWouldStartPastTheEndIsNothingToDecode)
{
    // An AU header of unknown length whose data starts 64 KiB in, in a file
    // of 1 KiB: the reader is sent past the end of the stream.
    TTestFiles Files;
    std::string Header = ".snd";
    for (uint32_t Field : {0x10000u, 0xFFFFFFFFu, 3u, 8000u, 1u})
        for (int Shift = 24; Shift >= 0; Shift -= 8)
            Header += static_cast<char>(Field >> Shift & 0xFF);
    const std::string Au = Files.WriteText("past.au", Header + std::string(1000, '\x11'));
    const TProcessResult Result = Decode({Au});
    EXPECT_EQ(Result.Status, 0) << Result.Err;
    EXPECT_EQ(Result.Out, "\n");
}

TEST(DecoderErrors, WrongArgumentsGiveOneLineAndExitWithTwo)
{
    struct TCase
    {
        std::vector<std::string> Args;
        std::string Reason;
    };
    const std::vector<TCase> Wrong = {
        {{}, "no input given"},
        {{"--timestamps"}, "no input given"},
        {{"--rate"}, "option '--rate' wants a value"},
        {{"-", "-j"}, "option '-j' wants a value"},
        {{"--rate", "0", "-"}, "--rate wants a whole number from 1000 to 1000000, not '0'"},
        {{"--rate", "8k", "-"}, "--rate wants a whole number from 1000 to 1000000, not '8k'"},
        {{"--rate=", "-"}, "--rate wants a whole number from 1000 to 1000000, not ''"},
        {{"-c", "0", "-"}, "--channels wants a whole number from 1 to 1024, not '0'"},
        {{"--channels", "-1", "-"}, "--channels wants a whole number from 1 to 1024, not '-1'"},
        {{"-j", "x", "-"}, "--jobs wants a whole number from 0 to 1024, not 'x'"},
        {{"--format=xml", "-"}, "--format wants text, tsv or jsonl, not 'xml'"},
        {{"-d", "loose", "-"}, "--detector wants strict or window, not 'loose'"},
        {{"--timestamps=utc", "-"}, "--timestamps wants offset or wall, not 'utc'"},
        {{"-e", "s24le", "-"}, "--encoding wants s16le, u8, f32le, mulaw or alaw, not 's24le'"},
        {{"--loud", "-"}, "unknown option '--loud'"},
        {{"-Rx", "-"}, "unknown option '-x'"},
        {{"--raw=yes", "-"}, "option '--raw' takes no value"},
        {{"--min-tone=40ms", "-"}, "--min-tone wants a number, not '40ms'"},
        {{"--normal-twist", "30", "-"}, "the normal twist must lie between 0 and 20 dB"},
        {{"--mix", "-C1", "-"}, "--mix and --channel exclude each other"},
        {{"--label=calls/7", "a.wav"},
         "--label names standard input or the device, and neither is read"},
        {{"--device=default", "a.wav"}, "--device records from a sound source and reads no FILE"},
        {{"--min-pause=0.001", "-"}, "the minimum pause must lie between 0.010 and 1 s"},
    };
    for (const TCase &Case : Wrong) {
        const TProcessResult Result = Decode(Case.Args);
        EXPECT_EQ(Result.Status, 2) << Describe(Case.Args);
        EXPECT_EQ(Result.Out, "") << Describe(Case.Args);
        EXPECT_EQ(Result.Err, "dtmf-decode: " + Case.Reason + "; try 'dtmf-decode --help'\n");
    }
    for (const char *Help : {"-h", "--help"}) {
        const TProcessResult Result = Decode({Help, "--loud"});
        EXPECT_EQ(Result.Status, 0);
        EXPECT_EQ(Result.Out.rfind("Usage: dtmf-decode [OPTION]... FILE...\n", 0), 0u);
    }
    for (const char *Version : {"-V", "--version"})
        EXPECT_EQ(Decode({Version}).Out.rfind("dtmf-decode (DTMF) ", 0), 0u);
}

namespace {

// Silence before Samples, to start their symbols later on one channel.
std::vector<int16_t> Delayed(std::vector<int16_t> Samples, int Count)
{
    Samples.insert(Samples.begin(), static_cast<size_t>(Count), 0);
    return Samples;
}

std::vector<int16_t> Padded(std::vector<int16_t> Samples, size_t Size)
{
    Samples.resize(std::max(Size, Samples.size()), 0);
    return Samples;
}

// The symbol and channel columns of tsv lines, "5:1 9:2 ...".
std::string SymbolsAndChannels(const std::string &Tsv)
{
    std::string Pairs;
    size_t Start = Tsv.find('\n') + 1;
    while (Start < Tsv.size()) {
        const size_t End = Tsv.find('\n', Start);
        const std::string Line = Tsv.substr(Start, End - Start);
        const size_t Channel = Line.rfind('\t');
        const size_t Symbol = Line.rfind('\t', Channel - 1);
        Pairs += (Pairs.empty() ? "" : " ") + Line.substr(Symbol + 1, Channel - Symbol - 1) + ":" +
                 Line.substr(Channel + 1);
        Start = End + 1;
    }
    return Pairs;
}

} // namespace

TEST(DecoderInputs, EachKindOfInputIsDecodedOrRefusedWithAReason)
{
    TTestFiles Files;
    const std::string Keys = "0123456789ABCD";
    const std::vector<int16_t> Mono = DtmfSequence(Keys, 48000);
    const std::string Wav = Files.WriteSound("keys.wav", Mono, 48000, 1, WavPcm16);
    const std::string Mp3 = Files.Path("keys.mp3");
    ASSERT_EQ(TChildProcess::Run({"/usr/bin/lame", "--quiet", "-b", "64", Wav, Mp3}).Status, 0);
    // 159D on the left; 2580 on the right, 0.1 s later, so that neither 5 is at
    // the same time as the other.
    const std::vector<int16_t> Left = DtmfSequence("159D", 48000);
    const std::vector<int16_t> Right = Delayed(DtmfSequence("2580", 48000), 4800);
    const std::string Calls = Files.WriteSound(
        "call.wav", Interleave(Padded(Left, Right.size()), Right), 48000, 2, WavPcm16);
    const std::string Copy = Files.WriteSound("copy.flac", Interleave(Mono, Mono), 48000, 2,
                                              SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::string Split =
        Files.WriteSound("split.wav", SplitStereo(Keys, 44100), 44100, 2, WavPcm16);
    const std::string Mp4 = Files.WriteText("clip.m4a", std::string("\0\0\0\x1c"
                                                                    "ftypM4A \0\0\x02\0",
                                                                    16) +
                                                            std::string(4000, 'x'));
    const std::string Ogg =
        Files.WriteSound("cut.ogg", Mono, 48000, 1, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    // Damaged or cut in its header pages, an Ogg never reaches libsndfile,
    // which would leak the Vorbis set-up on it.
    std::string OggHeader = TTestFiles::ReadBytes(Ogg);
    const std::string CutHeader = Files.WriteText("header.ogg", OggHeader.substr(0, 1500));
    OggHeader[200] ^= 0x55;
    std::filesystem::resize_file(Ogg, std::filesystem::file_size(Ogg) * 85 / 100);
    // A streaming writer's placeholders: RIFF and data sizes of 0.
    std::string Bytes = TTestFiles::ReadBytes(Wav);
    for (size_t Field : {size_t(4), Bytes.find("data") + 4})
        Bytes.replace(Field, 4, std::string(4, '\0'));
    const std::string Zero = Files.WriteText("zero.wav", Bytes);
    const std::string Au = TTestFiles::ReadBytes(
        Files.WriteSound("keys.au", Mono, 48000, 1, SF_FORMAT_AU | SF_FORMAT_PCM_16));
    const std::string Caf = TTestFiles::ReadBytes(
        Files.WriteSound("keys.caf", Mono, 8000 * 6, 1, SF_FORMAT_CAF | SF_FORMAT_ULAW));
    const std::string Newline =
        Files.WriteSound("two\nlines.wav", DtmfSequence("42", 48000), 48000, 1, WavPcm16);
    const std::string Shown = Files.Path("two\\nlines.wav");

    struct TCase
    {
        std::vector<std::string> Args;
        std::string Input;
        std::string Out; // exact, or after "~" a part of it
        std::string Err; // a part of it, or "" for nothing
        int Status;
    };
    const std::vector<TCase> Cases = {
        {{Mp3}, "", Keys + "\n", "", 0},
        {{"-"}, TTestFiles::ReadBytes(Mp3), Keys + "\n", "", 0},
        {{Mp4},
         "",
         "",
         "MP4 (M4A, MOV) container, which libsndfile does not read; pipe it "
         "through ffmpeg: ffmpeg -i FILE -vn -f wav - | dtmf-decode -\n",
         1},
        {{"-"}, TTestFiles::ReadBytes(Mp4), "", "... | ffmpeg -i - -vn -f wav -", 1},
        {{Calls}, "", "125598D0\n", "", 0},
        {{"-C", "2", Calls}, "", "2580\n", "", 0},
        {{"--channel=3", Calls}, "", "", "call.wav: there is no channel 3: it has 2 channels", 1},
        {{"--mix", Split}, "", Keys + "\n", "", 0},
        {{Split}, "", "\n", "", 0},
        {{Copy}, "", Keys + "\n", "", 0},
        {{Ogg}, "", "~0123", "cut.ogg: cut short: it ends", 1},
        {{"-"}, TTestFiles::ReadBytes(Ogg), "~0123", "-: cut short: it ends", 1},
        {{CutHeader}, "", "", "header.ogg: cut short: it ends within its Ogg header pages\n", 1},
        {{"-"}, OggHeader, "", "-: damaged header: the checksum of Ogg page 2 fails\n", 1},
        {{Zero}, "", Keys + "\n", "", 0},
        {{"-"}, Bytes, Keys + "\n", "", 0},
        {{"-"}, Au, Keys + "\n", "", 0},
        {{"-"}, Caf, Keys + "\n", "", 0},
        {{"-", "-"}, "", "", "standard input '-' is named more than once", 2},
        {{Newline, Files.Path("gone\n\x1b[2J.wav")},
         "",
         Shown + ": 42\n",
         "dtmf-decode: " + Files.Path("gone\\n\\x1b[2J.wav") + ": unreadable: No such file",
         1},
        {{"--label=s3://calls/7.wav", "--summary", "-fjsonl", "-"},
         RawBytes(Mono),
         "~{\"input\":\"s3://calls/7.wav\",\"summary\":{\"symbols\":14,\"seconds\":1.960,"
         "\"status\":\"ok\"}}\n",
         "",
         0},
        {{"--summary", "-ftsv", Mp4},
         "",
         "~\n# summary\t" + Files.Path("clip.m4a") + "\t0\t0.000\tfailed\n",
         "ffmpeg",
         1},
    };
    for (const TCase &Case : Cases) {
        const TProcessResult Result = Decode(Case.Args, Case.Input);
        if (Case.Out.rfind("~", 0) == 0)
            EXPECT_NE(Result.Out.find(Case.Out.substr(1)), std::string::npos)
                << Describe(Case.Args) << Result.Out;
        else
            EXPECT_EQ(Result.Out, Case.Out) << Describe(Case.Args);
        if (Case.Err.empty())
            EXPECT_EQ(Result.Err, "") << Describe(Case.Args);
        else
            EXPECT_NE(Result.Err.find(Case.Err), std::string::npos)
                << Describe(Case.Args) << Result.Err;
        EXPECT_EQ(Result.Status, Case.Status) << Describe(Case.Args) << Result.Err;
    }

    // Each channel is named; a copy gives what the mono file gives, at the same times.
    EXPECT_EQ(SymbolsAndChannels(Decode({"-ftsv", Calls}).Out), "1:1 2:2 5:1 5:2 9:1 8:2 D:1 0:2");
    EXPECT_EQ(Decode({"--timestamps", Copy}).Out, Decode({"--timestamps", Wav}).Out);
    EXPECT_EQ(Decode({"-dwindow", "--timestamps", Copy}).Out,
              Decode({"-dwindow", "--timestamps", Wav}).Out);
    EXPECT_EQ(Decode({"-t", Mp3}).Out, Decode({"-t", Wav}).Out);
}
