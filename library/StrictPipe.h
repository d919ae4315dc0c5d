// The hand-over between the strict receiver's two stages on two threads: the
// analysis of the samples makes records of its sub-blocks, with marks for
// when the symbols found so far are handed over and when the input ends,
// into a ring of chunks; the tracking takes each chunk once it is full.
// Either side waits only for the other, which always moves on or stops.
#pragma once

#include "strict/StrictFront.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <stdexcept>

// Each on lines of its own, which only its record's side writes.
struct alignas(64) TPipedRecord
{
    enum class TKind : unsigned char
    {
        Step,     // Step holds a sub-block's analysis
        HandOver, // the symbols found so far are handed over
        Finish    // the input has ended
    };
    TKind Kind = TKind::Step;
    TStrictRecord Step;
};

class TStrictPipe : public TStrictFront::TSink
{
  public:
    // What the analysing side meets once the tracking side has given up.
    class TAbandoned : public std::runtime_error
    {
      public:
        TAbandoned() : std::runtime_error("the tracking stopped") {}
    };

    TStrictPipe();

    // The analysing side.
    void Analysed(const TStrictFront &Front) override;
    void Mark(TPipedRecord::TKind Kind);
    // No more records: always called last, also when the analysis failed.
    void Close();

    // The tracking side: the next chunk's records, or false once every
    // record is taken and the pipe closed. Release gives the chunk back.
    bool Take(const TPipedRecord *&Records, size_t &Count);
    void Release();
    // The tracking stops: the analysing side's waits end, and its next
    // record throws TAbandoned.
    void Abandon();

  private:
    // 0.64 s of audio at most in each, under 1 MB in all: larger chunks
    // crowd out what each side keeps in its cache, smaller ones wake the
    // other side more often.
    static constexpr size_t ChunkRecords = 128;
    static constexpr size_t Chunks = 16;

    TPipedRecord &Next();
    void Publish();

    // Each chunk made when first filled: a short input fills few.
    std::unique_ptr<TPipedRecord[]> Store[Chunks];
    size_t Counts[Chunks] = {};
    size_t Filled = 0;    // records of the chunk being filled
    bool Judging = false; // whether its windows are judged here
    std::mutex Lock;
    std::condition_variable Published;
    std::condition_variable Released;
    // Chunks made and given back so far, counted on from the start.
    size_t Made = 0;
    size_t Freed = 0;
    bool Closed = false;
    bool Abandoned = false;
    // Whether either side waits.
    bool MakerWaits = false;
    bool TakerWaits = false;
};
