#include "SymbolDetector.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int16_t ToSample(float Value)
{
    const float Scaled = Value * 32768.0f;
    if (std::isnan(Scaled))
        return 0;
    if (Scaled >= 32767.0f)
        return 32767;
    if (Scaled <= -32768.0f)
        return -32768;
    return static_cast<int16_t>(std::lrint(Scaled));
}

// Longer than the strict receiver takes to be sure of a digit at its longest
// minimum tone.
constexpr int64_t SureAfter = 2 * TStrictReceiver::SampleRate;

} // namespace

std::unique_ptr<TSymbolDetector> TSymbolDetector::Make(TDetectorKind Kind,
                                                       const TStrictLimits &Limits,
                                                       THandler OnEnded, THandler OnStarted,
                                                       int Rate)
{
    if (Kind == TDetectorKind::Window)
        return std::make_unique<TWindowDetector>(std::move(OnEnded), std::move(OnStarted));
    return std::make_unique<TStrictDetector>(Limits, std::move(OnEnded), std::move(OnStarted),
                                             Rate);
}

TSymbolDetector::TSymbolDetector(THandler OnEnded, THandler OnStarted)
    : OnEnded(std::move(OnEnded)), OnStarted(std::move(OnStarted))
{
}

// --- the strict receiver -----------------------------------------------------------------

TStrictDetector::TStrictDetector(const TStrictLimits &Limits, THandler OnEnded, THandler OnStarted,
                                 int Rate)
    : TSymbolDetector(std::move(OnEnded), std::move(OnStarted)), Receiver(Rate, Limits),
      Scale(TStrictReceiver::SampleRate / Receiver.Rate())
{
}

void TStrictDetector::ReceiveShorts(const int16_t *Samples, size_t Count)
{
    // Pieces of a fixed length, so that the conversion vectorises.
    float Floats[Piece];
    while (Count >= Piece) {
        for (size_t i = 0; i < Piece; ++i)
            Floats[i] = static_cast<float>(Samples[i]) * (1.0f / 32768.0f);
        Receiver.Receive(Floats, Piece, Ended, &Started);
        Received += static_cast<int64_t>(Piece) * Scale;
        Samples += Piece;
        Count -= Piece;
    }
    for (size_t i = 0; i < Count; ++i)
        Floats[i] = static_cast<float>(Samples[i]) * (1.0f / 32768.0f);
    ReceiveFloats(Floats, Count);
}

void TStrictDetector::ReceiveFloats(const float *Samples, size_t Count)
{
    Receiver.Receive(Samples, Count, Ended, &Started);
    Received += static_cast<int64_t>(Count) * Scale;
    if (Piped != nullptr)
        Piped->Mark(TPipedRecord::TKind::HandOver);
    else
        HandOver();
}

void TStrictDetector::Finish()
{
    Receiver.Finish(Ended);
    if (Piped != nullptr)
        Piped->Mark(TPipedRecord::TKind::Finish);
    else
        HandOver();
}

void TStrictDetector::Divert(TStrictPipe *Pipe)
{
    Piped = Pipe;
    Receiver.Divert(Pipe);
}

void TStrictDetector::Track(const TPipedRecord *Records, size_t Count)
{
    for (size_t i = 0; i < Count; ++i) {
        const TPipedRecord &Record = Records[i];
        // Written on another core: each record's lines fetched while the
        // one two before it is tracked.
        if (i + 2 < Count) {
            const char *Ahead = reinterpret_cast<const char *>(&Records[i + 2]);
            for (size_t Line = 0; Line < sizeof(TPipedRecord); Line += 64)
                __builtin_prefetch(Ahead + Line);
        }
        if (Record.Kind == TPipedRecord::TKind::Step) {
            Receiver.TakeRecord(Record.Step, Ended, &Started);
            continue;
        }
        if (Record.Kind == TPipedRecord::TKind::Finish)
            Receiver.Finished(Ended);
        HandOver();
    }
    Receiver.KeepRecords();
}

int64_t TStrictDetector::Frontier() const
{
    return OpenStart >= 0 ? OpenStart : Received - SureAfter;
}

// A digit's start always comes before its end, so the starts go first. The
// digits of one channel don't overlap: one that ends past the start of the
// digit sounding now is that digit.
void TStrictDetector::HandOver()
{
    if (!Started.empty())
        OpenStart = Started.back().Start * Scale;
    for (TDecodedSymbol &S : Started) {
        S.Start *= Scale;
        if (OnStarted)
            OnStarted(S);
    }
    Started.clear();
    for (TDecodedSymbol &S : Ended) {
        S.Start *= Scale;
        S.End *= Scale;
        if (OpenStart >= 0 && S.End > OpenStart)
            OpenStart = -1;
        if (OnEnded)
            OnEnded(S);
    }
    Ended.clear();
}

// --- the window program's detector -------------------------------------------------------

TWindowDetector::TWindowDetector(THandler OnEnded, THandler OnStarted)
    : TSymbolDetector(std::move(OnEnded), std::move(OnStarted))
{
}

void TWindowDetector::ReceiveShorts(const int16_t *Samples, size_t Count)
{
    while (Count > 0) {
        // Whole blocks are analysed where they lie.
        if (Filled == 0 && Count >= BlockSamples) {
            AnalyseBlock(Samples);
            Samples += BlockSamples;
            Count -= BlockSamples;
            continue;
        }
        const size_t Take = std::min<size_t>(Count, BlockSamples - Filled);
        std::memcpy(Block + Filled, Samples, Take * sizeof(int16_t));
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled == BlockSamples)
            AnalyseBlock(Block);
    }
}

void TWindowDetector::ReceiveFloats(const float *Samples, size_t Count)
{
    Shorts.resize(Count);
    std::transform(Samples, Samples + Count, Shorts.begin(), ToSample);
    ReceiveShorts(Shorts.data(), Count);
}

void TWindowDetector::Finish()
{
    if (Filled > 0) {
        std::fill(Block + Filled, Block + BlockSamples, 0);
        AnalyseBlock(Block);
    }
    if (Sounding)
        EndSymbol();
}

// The spine's analysis straight on the block: the same detector and gate as
// after ReceiveBlock, without its one-block delay.
void TWindowDetector::AnalyseBlock(const int16_t *Samples)
{
    Spine.AnalyseBlock(Samples);
    const int64_t BlockEnd = BlockStart + BlockSamples;
    // After the gate, LastSymbol is what the detector made of this block.
    if (Sounding && Spine.LastSymbol == Current.Symbol)
        Current.End = BlockEnd;
    else if (Sounding)
        EndSymbol();
    const char Emitted = Spine.EmittedSymbol();
    if (Emitted != ' ') {
        Current = {Emitted, BlockStart, BlockEnd};
        Sounding = true;
        if (OnStarted)
            OnStarted({Emitted, BlockStart, -1});
    }
    BlockStart = BlockEnd;
    Filled = 0;
}

void TWindowDetector::EndSymbol()
{
    Sounding = false;
    if (OnEnded)
        OnEnded(Current);
}
