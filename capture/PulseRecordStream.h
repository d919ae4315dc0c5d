// One wave-in handle: a PulseAudio record stream and the buffers queued on
// it. Arriving audio is copied into the queued buffers; audio that finds no
// buffer waits in the stream (libpulse keeps it) until one is queued, so a
// GUI thread or a whole process that stalls for a while loses nothing. A
// backlog longer than BacklogSeconds is dropped, oldest first, and counted.
#pragma once

#include "PulseContext.h"
#include "PulseLock.h"
#include "WaveBufferQueue.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

struct pa_stream;

class TPulseRecordStream
{
  public:
    // Bytes the server hands over at a time.
    static constexpr uint32_t FragmentBytes = 2048;
    // Seconds of audio kept while no buffer is queued.
    static constexpr uint32_t BacklogSeconds = 4;

    // Dropped counts the bytes lost, for the driver as a whole.
    TPulseRecordStream(pa_threaded_mainloop *Loop, TWaveInWindow *Window, uint8_t SilenceByte,
                       std::atomic<uint64_t> &Dropped);
    TPulseRecordStream(const TPulseRecordStream &) = delete;
    TPulseRecordStream &operator=(const TPulseRecordStream &) = delete;

    HWAVEIN Id() { return reinterpret_cast<HWAVEIN>(this); }

    // Connects a corked stream to SourceName (the server's default when
    // empty) and waits until it is ready.
    MMRESULT Connect(TPulseLock &Lock, TPulseContext &Context, const std::string &SourceName,
                     const WAVEFORMATEX &Format);
    // Disconnects and lets the stream go; call before deleting.
    void Release(TPulseLock &Lock);

    MMRESULT AddBuffer(TPulseLock &Lock, WAVEHDR *Header);
    MMRESULT Start(TPulseLock &Lock);
    // Stops recording, discards the audio not yet handed over and hands
    // every queued buffer back.
    void Reset(TPulseLock &Lock);
    // Posts MM_WIM_CLOSE, once the stream is released.
    void NotifyClosed();
    // No buffer is queued.
    bool Idle(TPulseLock &) const { return Queue.Empty(); }

  private:
    // The backlog kept while no buffer is queued: BacklogSeconds, within
    // what the server granted.
    void SetBacklogLimit(const WAVEFORMATEX &Format);
    // Hands the audio waiting in the stream to the queued buffers, or
    // discards it when not started. Needs the lock.
    void Pull();
    void Discard();
    void DropOverflow();
    bool PeekFragment(const void *&Data, size_t &Bytes);
    void DropFragment();
    void Fail();
    void LogFailure(const char *Text) const;

    static void StateChanged(pa_stream *Stream, void *Self);
    static void Readable(pa_stream *Stream, size_t Bytes, void *Self);

    pa_threaded_mainloop *Loop;
    TWaveInWindow *Window;
    TWaveBufferQueue Queue;
    std::atomic<uint64_t> &Dropped;
    pa_stream *Stream = nullptr;
    std::string SourceName;
    // Bytes of the fragment in hand (peeked, not yet dropped) already
    // handed over.
    size_t Taken = 0;
    // The backlog the stream may hold before the oldest audio is dropped.
    size_t BacklogLimit = 0;
    // Bytes handed to buffers, and bytes dropped, for the log.
    uint64_t Recorded = 0;
    uint64_t Lost = 0;
    bool Started = false;
    bool Failed = false;
};
