#include "strict/StrictReceiver.h"
#include "ToneSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
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

// Two notes of music that come near a pair, 300 ms long: what sets them
// apart from a keypad's tones.
TEST(StrictReceiver, NothingFromNotes)
{
    struct TPartial
    {
        double Hertz;
        double StartDbfs;
        double EndDbfs; // the level moves evenly in dB
    };
    struct TNotes
    {
        const char *Name;
        std::vector<TPartial> Partials;
    };
    const TNotes Cases[] = {
        {"F5 and F#6 with their second harmonics",
         {{698.46, -12, -12}, {1396.9, -24, -24}, {1479.98, -12, -12}, {2959.96, -24, -24}}},
        {"A#5 and F#6, off the pair each its own way", {{932.33, -12, -12}, {1479.98, -12, -12}}},
        {"a note fading as the other swells", {{697, -6, -30}, {1477, -30, -6}}},
    };
    const size_t Count = 48000 * 3 / 10;
    for (const TNotes &Case : Cases) {
        SCOPED_TRACE(Case.Name);
        std::vector<float> Samples(Count + 4800, 0.0f);
        for (const TPartial &P : Case.Partials)
            for (size_t n = 0; n < Count; ++n) {
                const double Dbfs = P.StartDbfs + (P.EndDbfs - P.StartDbfs) * n / Count;
                Samples[n] += static_cast<float>(std::pow(10.0, Dbfs / 20) *
                                                 std::sin(2 * M_PI * P.Hertz * n / 48000));
            }
        TStrictReceiver Receiver;
        EXPECT_EQ(Symbols(Receive(Receiver, Samples)), "");
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
