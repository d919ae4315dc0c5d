#include "StrictPipe.h"

TStrictPipe::TStrictPipe() = default;

void TStrictPipe::Analysed(const TStrictFront &Front)
{
    TPipedRecord &Record = Next();
    Record.Kind = TPipedRecord::TKind::Step;
    Front.Record(Record.Step, Judging);
}

void TStrictPipe::Mark(TPipedRecord::TKind Kind)
{
    Next().Kind = Kind;
}

// A full chunk is handed over only when the next record needs room, so that
// a mark always follows the records before it. Either side that has to wait
// waits until half the chunks are there for it: waking a thread costs more
// than a record.
TPipedRecord &TStrictPipe::Next()
{
    if (Filled == ChunkRecords) {
        Publish();
        std::unique_lock<std::mutex> Guard(Lock);
        if (Made - Freed == Chunks) {
            MakerWaits = true;
            Released.wait(Guard, [this] { return Made - Freed <= Chunks / 2 || Abandoned; });
            MakerWaits = false;
        }
        if (Abandoned)
            throw TAbandoned();
        // The tracking lags: this side takes on what it can of its work.
        Judging = Made - Freed >= Chunks / 2;
    }
    std::unique_ptr<TPipedRecord[]> &Chunk = Store[Made % Chunks];
    if (!Chunk)
        Chunk = std::make_unique<TPipedRecord[]>(ChunkRecords);
    return Chunk[Filled++];
}

void TStrictPipe::Publish()
{
    bool Wake;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Counts[Made % Chunks] = Filled;
        ++Made;
        Wake = TakerWaits && Made - Freed >= Chunks / 2;
    }
    Filled = 0;
    if (Wake)
        Published.notify_one();
}

void TStrictPipe::Close()
{
    if (Filled > 0)
        Publish();
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Closed = true;
    }
    Published.notify_one();
}

bool TStrictPipe::Take(const TPipedRecord *&Taken, size_t &Count)
{
    std::unique_lock<std::mutex> Guard(Lock);
    if (Made == Freed && !Closed) {
        TakerWaits = true;
        Published.wait(Guard, [this] { return Made - Freed >= Chunks / 2 || Closed; });
        TakerWaits = false;
    }
    if (Made == Freed)
        return false;
    Taken = Store[Freed % Chunks].get();
    Count = Counts[Freed % Chunks];
    return true;
}

void TStrictPipe::Release()
{
    bool Wake;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        ++Freed;
        Wake = MakerWaits && Made - Freed <= Chunks / 2;
    }
    if (Wake)
        Released.notify_one();
}

void TStrictPipe::Abandon()
{
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Abandoned = true;
    }
    Released.notify_one();
}
