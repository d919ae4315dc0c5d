// The buffers added to one wave-in handle, in the order they were added
// (linked through lpNext): arriving audio is copied into them, and each
// buffer is handed back to the window with MM_WIM_DATA when it is full or
// when the queue is emptied. Nothing is allocated.
#pragma once

#include "WaveIn.h"

#include <cstddef>
#include <cstdint>

class TWaveBufferQueue
{
  public:
    // SilenceByte fills holes: 0 for 16-bit samples, 0x80 for 8-bit ones.
    TWaveBufferQueue(HWAVEIN Handle, TWaveInWindow *Window, uint8_t SilenceByte);

    bool Empty() const { return Head == nullptr; }
    // Queues Header with nothing recorded; false if it is queued already.
    bool Add(WAVEHDR *Header);
    // Copies Bytes of Data, or of silence when Data is null, into the queue;
    // returns how many bytes found no buffer and were dropped.
    size_t Deliver(const void *Data, size_t Bytes);
    // Hands every queued buffer back with what it holds.
    void ReturnAll();

  private:
    void HandBackHead();

    HWAVEIN Handle;
    TWaveInWindow *Window;
    uint8_t SilenceByte;
    WAVEHDR *Head = nullptr;
    WAVEHDR *Tail = nullptr;
};
