// The wave-in driver over PulseAudio, the default behind the wave-in
// functions. Its three parts: the connection (mainloop, context and the
// bounded waits), the source list, and one record stream per handle. The
// mainloop thread runs while a handle is open (and for the length of a call
// that needs the server).
#pragma once

#include "PulseContext.h"
#include "PulseRecordStream.h"
#include "PulseSourceList.h"
#include "WaveInDriver.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TPulseWaveIn : public TWaveInDriver
{
  public:
    // How long a call waits for the server at most, in milliseconds.
    static constexpr int ServerTimeoutMs = TPulseLock::TimeoutMs;

    static TPulseWaveIn &Instance();

    TPulseWaveIn() = default;
    ~TPulseWaveIn() override;
    TPulseWaveIn(const TPulseWaveIn &) = delete;
    TPulseWaveIn &operator=(const TPulseWaveIn &) = delete;

    UINT GetNumDevs() override;
    MMRESULT GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps) override;
    MMRESULT Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format, TWaveInWindow *Window,
                  DWORD Flags) override;
    MMRESULT PrepareHeader(HWAVEIN Handle, WAVEHDR *Header) override;
    MMRESULT AddBuffer(HWAVEIN Handle, WAVEHDR *Header) override;
    MMRESULT Start(HWAVEIN Handle) override;
    MMRESULT Reset(HWAVEIN Handle) override;
    MMRESULT Close(HWAVEIN Handle) override;

    // Handles open now.
    int OpenHandles();
    // Whether the mainloop thread is running.
    bool MainloopRunning();
    // Bytes of audio lost because no buffer was queued for too long, over
    // all handles since this driver was made.
    uint64_t DroppedBytes() const { return Dropped; }

  private:
    // CallMutex is held for the length of every call, so that the mainloop
    // is started and stopped by one caller at a time; functions that need it
    // take a TCallLock & to say so.
    using TCallLock = std::lock_guard<std::mutex>;

    // Finds Handle and runs Action(Stream, Lock) with the mainloop's lock
    // held; MMSYSERR_INVALHANDLE for a handle that is not open.
    template <typename Action> MMRESULT OnHandle(TCallLock &Call, HWAVEIN Handle, Action Act);
    // Answers from the source list, asking the server for it first if it is
    // not known.
    template <typename Answer> MMRESULT FromSources(TCallLock &Call, Answer Reply);
    bool Refresh(TPulseLock &Lock);
    void ShutdownIfIdle(TCallLock &Call);
    MMRESULT OpenStream(TPulseLock &Lock, HWAVEIN *Handle, UINT DeviceId,
                        const WAVEFORMATEX &Format, TWaveInWindow *Window);
    static void FillCaps(const TPulseSourceList::TSource &Source, WAVEINCAPSA &Caps);

    std::mutex CallMutex;
    TPulseContext Context;
    TPulseSourceList SourceList;
    std::vector<std::unique_ptr<TPulseRecordStream>> Handles;
    std::atomic<uint64_t> Dropped{0};
};
