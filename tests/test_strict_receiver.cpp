#include "ToneSignals.h"
#include "strict/StrictReceiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Runs a receiver over Samples in pieces of Piece samples, then finishes.
std::vector<TDecodedSymbol> Receive(TStrictReceiver &Receiver, const std::vector<float> &Samples,
                                    size_t Piece = 1000)
{
    std::vector<TDecodedSymbol> Out;
    for (size_t At = 0; At < Samples.size(); At += Piece)
        Receiver.Receive(Samples.data() + At, std::min(Piece, Samples.size() - At), Out);
    Receiver.Finish(Out);
    return Out;
}

std::string Symbols(const std::vector<TDecodedSymbol> &Found)
{
    std::string Text;
    for (const TDecodedSymbol &S : Found)
        Text += S.Symbol;
    return Text;
}

// Every row of the receiver's requirements, accepted and rejected; where no
// noise blurs the edges, each digit's start and end lie within 3 ms of the
// tone's.
TEST(StrictReceiver, RequirementCases)
{
    for (const TReceiverCase &Case : ReceiverCases()) {
        SCOPED_TRACE(Case.Name);
        TStrictReceiver Receiver;
        const std::vector<TDecodedSymbol> Found = Receive(Receiver, CaseSignal(Case));
        const std::string Text = Symbols(Found);
        const int Correct = InOrder(Case.Expected, Text);
        EXPECT_GE(Correct, Case.MinCorrect) << Text;
        EXPECT_LE(static_cast<int>(Text.size()) - Correct, Case.MaxExtra) << Text;
        if (Case.Noisy || Text != Case.Expected)
            continue;
        const double Period = (Case.Play.ToneSeconds + Case.Play.GapSeconds) * 48000;
        const double Length = Case.Play.ToneSeconds * 48000;
        for (size_t i = 0; i < Found.size(); ++i) {
            EXPECT_NEAR(Found[i].Start, i * Period, 144) << "symbol " << i;
            EXPECT_NEAR(Found[i].End, i * Period + Length, 144) << "symbol " << i;
        }
    }
}

// Two notes of music that come near a pair, 300 ms long, against a keypad
// dialler's pair, whose tones each land up to 0.75 % off their frequencies,
// one up and the other down: what sets them apart.
TEST(StrictReceiver, NotesAndDiallers)
{
    struct TPartial
    {
        double Hertz;
        double StartDbfs;
        double EndDbfs;     // the level moves evenly in dB
        double From = 0;    // seconds
        double Until = 0.3; // seconds
        double Phase = 0;   // radians
    };
    struct TNotes
    {
        const char *Name;
        std::vector<TPartial> Partials;
        const char *Expected;
    };
    const TNotes Cases[] = {
        {"F5 and F#6 with their second harmonics",
         {{698.46, -12, -12}, {1396.9, -24, -24}, {1479.98, -12, -12}, {2959.96, -24, -24}},
         ""},
        {"G5 and E6, off the pair each its own way", {{783.99, -12, -12}, {1318.51, -12, -12}}, ""},
        {"a note fading as the other swells", {{697, -6, -30}, {1477, -30, -6}}, ""},
        {"a dialler's 0, at 948 and 1331.7 Hz", {{948.0, -12, -12}, {1331.7, -12, -12}}, "0"},
        {"a dialler's C, at 847.4 and 1645 Hz", {{847.4, -12, -12}, {1645.0, -12, -12}}, "C"},
        {"the dialler's 0 under a voice's low harmonics, which carry more power than the pair",
         {{948.0, -14, -14}, {1331.7, -14, -14}, {200, -12, -12}, {400, -12, -12}},
         "0"},
        {"a 9 whose louder high tone reads, 218 Hz off, as its low tone's harmonic",
         {{844.1, -16, -16}, {1485.9, -12, -12, 0, 0.3, 5}},
         "9"},
        {"a 9 keyed under a steady note on 697 Hz, louder than its low tone",
         {{697, -12, -12}, {852, -18, -18, 0.1, 0.19}, {1477, -18, -18, 0.1, 0.19}},
         ""},
    };
    const size_t Count = 48000 * 3 / 10;
    for (const TNotes &Case : Cases) {
        SCOPED_TRACE(Case.Name);
        std::vector<float> Samples(Count + 4800, 0.0f);
        for (const TPartial &P : Case.Partials)
            for (size_t n = static_cast<size_t>(P.From * 48000);
                 n < static_cast<size_t>(P.Until * 48000); ++n) {
                const double Dbfs = P.StartDbfs + (P.EndDbfs - P.StartDbfs) * n / Count;
                Samples[n] += static_cast<float>(
                    std::pow(10.0, Dbfs / 20) * std::sin(2 * M_PI * P.Hertz * n / 48000 + P.Phase));
            }
        TStrictReceiver Receiver;
        EXPECT_EQ(Symbols(Receive(Receiver, Samples)), Case.Expected);
    }
}

TEST(StrictReceiver, NothingFromNoise)
{
    for (TNoiseColour Colour : {TNoiseColour::White, TNoiseColour::Pink}) {
        TStrictReceiver Receiver;
        const std::vector<float> Samples = Noise(60 * 48000, Colour, 0.1, 5);
        EXPECT_EQ(Symbols(Receive(Receiver, Samples, 48000)), "");
    }
}

// A digit is handed out once it has been missing long enough, without waiting
// for more input; how the input is cut up changes nothing; Finish ends a
// digit that runs to the end and leaves the receiver as new.
TEST(StrictReceiver, Streams)
{
    TKeypadPlay Play;
    const std::vector<float> Digit = KeypadSignal("7", Play); // 100 ms, then 100 ms of silence
    TStrictReceiver Receiver;
    std::vector<TDecodedSymbol> Out;
    Receiver.Receive(Digit.data(), Digit.size(), Out);
    ASSERT_EQ(Symbols(Out), "7");
    Receiver.Finish(Out);
    ASSERT_EQ(Symbols(Out), "7");

    const std::vector<float> Sequence = KeypadSignal("159D#0", Play);
    const std::vector<TDecodedSymbol> Whole = Receive(Receiver, Sequence, Sequence.size());
    ASSERT_EQ(Symbols(Whole), "159D#0");
    for (size_t Piece : {1, 7, 4096}) {
        const std::vector<TDecodedSymbol> Pieces = Receive(Receiver, Sequence, Piece);
        ASSERT_EQ(Pieces.size(), Whole.size()) << Piece;
        for (size_t i = 0; i < Whole.size(); ++i) {
            EXPECT_EQ(Pieces[i].Start, Whole[i].Start) << Piece;
            EXPECT_EQ(Pieces[i].End, Whole[i].End) << Piece;
        }
    }

    // A second of digital silence in front (a whole number of blocks and of
    // phase periods) only moves the digits along.
    std::vector<float> Quiet(48000, 0.0f);
    Quiet.insert(Quiet.end(), Sequence.begin(), Sequence.end());
    const std::vector<TDecodedSymbol> Later = Receive(Receiver, Quiet, 4096);
    ASSERT_EQ(Later.size(), Whole.size());
    for (size_t i = 0; i < Whole.size(); ++i) {
        EXPECT_EQ(Later[i].Start, Whole[i].Start + 48000);
        EXPECT_EQ(Later[i].End, Whole[i].End + 48000);
    }

    Play.GapSeconds = 0;
    const std::vector<float> Cut = KeypadSignal("3", Play);
    const std::vector<TDecodedSymbol> Last = Receive(Receiver, Cut);
    ASSERT_EQ(Symbols(Last), "3");
    EXPECT_NEAR(Last[0].End, static_cast<double>(Cut.size()), 96);
}

} // namespace

namespace {

// The limits set at run time, each on both sides of its edge and of its
// default: what the receiver finds of "0123456789ABCD*#" played so.
TEST(StrictReceiver, LimitsAtTheirEdges)
{
    const std::string All = "0123456789ABCD*#";
    struct TRow
    {
        const char *Name;
        TStrictLimits Limits;
        double LowDbfs, HighDbfs, ToneMs, GapMs;
        bool Found;
    };
    auto With = [](double TStrictLimits::*Field, double Value) {
        TStrictLimits Limits;
        Limits.*Field = Value;
        return Limits;
    };
    const TStrictLimits Q24;
    const TStrictLimits Twists = With(&TStrictLimits::NormalTwist, 12.0);
    const TStrictLimits Reverse = With(&TStrictLimits::ReverseTwist, 10.0);
    const TStrictLimits Floor = With(&TStrictLimits::MinLevel, -30.0);
    const TStrictLimits Tone = With(&TStrictLimits::MinTone, 0.060);
    const TRow Rows[] = {
        {"low louder by 8 dB", Q24, -6, -14, 100, 100, true},
        {"low louder by 10 dB", Q24, -6, -16, 100, 100, false},
        {"low louder by 11 dB, normal twist 12", Twists, -6, -17, 100, 100, true},
        {"low louder by 14 dB, normal twist 12", Twists, -6, -20, 100, 100, false},
        {"high louder by 4 dB", Q24, -12, -8, 100, 100, true},
        {"high louder by 6 dB", Q24, -13, -7, 100, 100, false},
        {"high louder by 9 dB, reverse twist 10", Reverse, -16, -7, 100, 100, true},
        {"high louder by 11 dB, reverse twist 10", Reverse, -18, -7, 100, 100, false},
        {"-42 dBFS", Q24, -42, -42, 100, 100, true},
        {"-60 dBFS", Q24, -60, -60, 100, 100, false},
        {"-27 dBFS, floor -30", Floor, -27, -27, 100, 100, true},
        {"-33 dBFS, floor -30", Floor, -33, -33, 100, 100, false},
        {"70 ms tones, shortest 60 ms", Tone, -10, -10, 70, 100, true},
        {"45 ms tones, shortest 60 ms", Tone, -10, -10, 45, 100, false},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Name);
        ASSERT_EQ(Row.Limits.Fault(), "");
        TKeypadPlay Play;
        Play.LowDbfs = Row.LowDbfs;
        Play.HighDbfs = Row.HighDbfs;
        Play.ToneSeconds = Row.ToneMs / 1000;
        Play.GapSeconds = Row.GapMs / 1000;
        TStrictReceiver Receiver(48000, Row.Limits);
        EXPECT_EQ(Symbols(Receive(Receiver, KeypadSignal(All, Play))), Row.Found ? All : "");
    }

    // The louder tone leaks into the weaker one's bin, by more or less as
    // their phases turn: the twist's edges hold whatever phase the tones
    // start at, at both rates.
    for (const TRow &Row : {Rows[0], Rows[1], Rows[4], Rows[5]})
        for (double Rate : {8000.0, 48000.0})
            for (double Phase : {0.5, 1.5, 2.5, 3.5, 4.5, 5.5}) {
                TKeypadPlay Play;
                Play.LowDbfs = Row.LowDbfs - 10;
                Play.HighDbfs = Row.HighDbfs - 10;
                Play.HighPhase = Phase;
                TStrictReceiver Receiver(Rate, Row.Limits);
                EXPECT_EQ(Symbols(Receive(Receiver, KeypadSignal(All, Play, Rate))),
                          Row.Found ? All : "")
                    << Row.Name << ", " << Rate << " Hz, high tone from " << Phase << " rad";
            }

    // The shortest pause: 40 ms gaps part equal digits by default, not when
    // 60 ms are wanted; 80 ms gaps part them then.
    TKeypadPlay Fast;
    Fast.ToneSeconds = 0.06;
    const std::string Pairs = "55";
    for (const auto &[GapMs, MinPause, Expected] :
         {std::tuple{40.0, 0.025, "55"}, {40.0, 0.060, "5"}, {80.0, 0.060, "55"}}) {
        Fast.GapSeconds = GapMs / 1000;
        TStrictReceiver Receiver(48000, With(&TStrictLimits::MinPause, MinPause));
        EXPECT_EQ(Symbols(Receive(Receiver, KeypadSignal(Pairs, Fast))), Expected)
            << GapMs << " ms gaps, shortest pause " << MinPause;
    }

    for (const TStrictLimits &Wrong :
         {With(&TStrictLimits::NormalTwist, -1), With(&TStrictLimits::ReverseTwist, NAN),
          With(&TStrictLimits::MinLevel, 3), With(&TStrictLimits::MinTone, 0.001),
          With(&TStrictLimits::MinPause, 5)})
        EXPECT_NE(Wrong.Fault(), "");
}

// On a live stream taken 10 ms at a time, at either rate, each digit's start
// is told before its end and no later than 60 ms into the tone, and both
// edges lie within 3 ms of the tone's.
TEST(StrictReceiver, StartBeforeEnd)
{
    TKeypadPlay Play;
    Play.ToneSeconds = 0.07;
    Play.GapSeconds = 0.08;
    const std::string Played = "1590#D";
    for (int Rate : {48000, 8000}) {
        SCOPED_TRACE(Rate);
        ASSERT_TRUE(TStrictReceiver::TakesRate(Rate));
        const std::vector<float> Samples = KeypadSignal(Played, Play, Rate);
        TStrictReceiver Receiver(Rate);
        ASSERT_EQ(Receiver.Rate(), Rate);
        std::vector<TDecodedSymbol> Started;
        std::vector<TDecodedSymbol> Ended;
        std::vector<size_t> StartedAt; // samples taken in when each start was told
        std::vector<size_t> EndedAt;
        const size_t Piece = static_cast<size_t>(Rate / 100);
        for (size_t At = 0; At < Samples.size(); At += Piece) {
            Receiver.Receive(Samples.data() + At, std::min(Piece, Samples.size() - At), Ended,
                             &Started);
            StartedAt.resize(Started.size(), At + Piece);
            EndedAt.resize(Ended.size(), At + Piece);
        }
        Receiver.Finish(Ended);
        EndedAt.resize(Ended.size(), Samples.size());
        ASSERT_EQ(Symbols(Started), Played);
        ASSERT_EQ(Symbols(Ended), Played);
        const double Period = (Play.ToneSeconds + Play.GapSeconds) * Rate;
        const double Ms = Rate / 1000.0;
        for (size_t i = 0; i < Played.size(); ++i) {
            EXPECT_EQ(Started[i].End, -1);
            EXPECT_EQ(Started[i].Start, Ended[i].Start);
            EXPECT_LT(StartedAt[i], EndedAt[i]) << i;
            EXPECT_LE(StartedAt[i], i * Period + 60 * Ms) << i;
            EXPECT_NEAR(Ended[i].Start, i * Period, 3 * Ms) << i;
            EXPECT_NEAR(Ended[i].End, i * Period + Play.ToneSeconds * Rate, 3 * Ms) << i;
        }
    }
}

} // namespace

// The tracking stage, on records of the analysis made apart from it, finds
// what the receiver finds on its own, whichever long windows were judged
// ahead, with each record gone once KeepRecords was called, over two inputs
// in a row: digits, a long silence and digits over noise, at either rate.
TEST(StrictReceiver, RecordsTrackedApart)
{
    struct TRecords : TStrictFront::TSink
    {
        int Policy = 0; // ahead: never, always, every third record
        std::vector<TStrictRecord> Made;
        void Analysed(const TStrictFront &Front) override
        {
            Made.emplace_back();
            Front.Record(Made.back(), Policy == 1 || (Policy == 2 && Made.size() % 3 == 0));
        }
    };
    TKeypadPlay Play;
    Play.ToneSeconds = 0.06;
    Play.GapSeconds = 0.04;
    for (int Rate : {8000, 48000}) {
        std::vector<float> Samples = KeypadSignal("159#", Play, Rate);
        Samples.resize(Samples.size() + static_cast<size_t>(Rate) / 2);
        std::vector<float> Noisy = KeypadSignal("*0D73", {0.2, 0.15, -20, -18}, Rate);
        Mix(Noisy, Noise(Noisy.size(), TNoiseColour::Pink, 0.1, 9, Rate));
        Samples.insert(Samples.end(), Noisy.begin(), Noisy.end());
        for (int Policy : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << Rate << " Hz, policy " << Policy);
            TStrictReceiver Whole(Rate);
            TStrictReceiver Apart(Rate);
            TRecords Records;
            Records.Policy = Policy;
            Apart.Divert(&Records);
            std::vector<TDecodedSymbol> Out[2][2]; // whole, apart; ended, started
            const auto TakeAll = [&] {
                for (const TStrictRecord &Record : Records.Made)
                    Apart.TakeRecord(Record, Out[1][0], &Out[1][1]);
                Apart.KeepRecords();
                for (TStrictRecord &Record : Records.Made)
                    Record.Now.Tone[0] = Record.Now.Tone[4] = std::nan("");
                Records.Made.clear();
            };
            for (int Round = 0; Round < 2; ++Round) {
                for (size_t At = 0; At < Samples.size(); At += 4999) {
                    const size_t Count = std::min<size_t>(4999, Samples.size() - At);
                    Whole.Receive(Samples.data() + At, Count, Out[0][0], &Out[0][1]);
                    Apart.Receive(Samples.data() + At, Count, Out[1][0], &Out[1][1]);
                    TakeAll();
                }
                Whole.Finish(Out[0][0]);
                Apart.Finish(Out[1][0]);
                TakeAll();
                Apart.Finished(Out[1][0]);
            }
            EXPECT_EQ(Symbols(Out[0][0]), "159#*0D73159#*0D73");
            for (int List = 0; List < 2; ++List) {
                ASSERT_EQ(Out[0][List].size(), Out[1][List].size());
                for (size_t i = 0; i < Out[0][List].size(); ++i) {
                    EXPECT_EQ(Out[0][List][i].Symbol, Out[1][List][i].Symbol);
                    EXPECT_EQ(Out[0][List][i].Start, Out[1][List][i].Start);
                    EXPECT_EQ(Out[0][List][i].End, Out[1][List][i].End);
                }
            }
        }
    }
}
