#include "WaveBufferQueue.h"

#include <algorithm>
#include <cstring>

TWaveBufferQueue::TWaveBufferQueue(HWAVEIN Handle, TWaveInWindow *Window, uint8_t SilenceByte)
    : Handle(Handle), Window(Window), SilenceByte(SilenceByte)
{
}

bool TWaveBufferQueue::Add(WAVEHDR *Header)
{
    if (Header->dwFlags & WHDR_INQUEUE)
        return false;
    Header->dwBytesRecorded = 0;
    Header->dwFlags = (Header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
    Header->lpNext = nullptr;
    if (Tail)
        Tail->lpNext = Header;
    else
        Head = Header;
    Tail = Header;
    return true;
}

size_t TWaveBufferQueue::Deliver(const void *Data, size_t Bytes)
{
    const auto *From = static_cast<const char *>(Data);
    while (Bytes > 0 && Head) {
        const size_t Take = std::min<size_t>(Head->dwBufferLength - Head->dwBytesRecorded, Bytes);
        char *Into = Head->lpData + Head->dwBytesRecorded;
        if (From) {
            std::memcpy(Into, From, Take);
            From += Take;
        } else {
            std::memset(Into, SilenceByte, Take);
        }
        Head->dwBytesRecorded += static_cast<DWORD>(Take);
        Bytes -= Take;
        if (Head->dwBytesRecorded == Head->dwBufferLength)
            HandBackHead();
    }
    return Bytes;
}

void TWaveBufferQueue::ReturnAll()
{
    while (Head)
        HandBackHead();
}

void TWaveBufferQueue::HandBackHead()
{
    WAVEHDR *Header = Head;
    Head = Header->lpNext;
    if (!Head)
        Tail = nullptr;
    Header->lpNext = nullptr;
    Header->dwFlags = (Header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    if (Window)
        Window->PostWaveMessage(MM_WIM_DATA, Handle, Header);
}
