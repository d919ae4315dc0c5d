// A deterministic in-memory wave-in driver for tests: scripted devices and
// results, buffers filled from given samples, notifications posted to the
// window at once (the window queues them, as a real one does).
#pragma once

#include "WaveInDriver.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class TScriptedWaveIn : public TWaveInDriver
{
  public:
    struct TDevice
    {
        std::string Name;            // product name
        bool CapsFail = false;       // waveInGetDevCapsA fails
        bool FormatSupported = true; // the WAVE_FORMAT_QUERY succeeds
    };

    // Installs itself behind the wave-in functions; the destructor puts the
    // previous driver back.
    TScriptedWaveIn();
    ~TScriptedWaveIn() override;
    TScriptedWaveIn(const TScriptedWaveIn &) = delete;
    TScriptedWaveIn &operator=(const TScriptedWaveIn &) = delete;

    std::vector<TDevice> Devices;
    // Results for the next opens (not queries), in order; success once empty.
    std::deque<MMRESULT> OpenResults;
    MMRESULT PrepareResult = MMSYSERR_NOERROR;
    MMRESULT AddBufferResult = MMSYSERR_NOERROR;
    MMRESULT StartResult = MMSYSERR_NOERROR;

    // Fills the oldest queued buffer of the started handle with Samples (at
    // most its length) and posts its MM_WIM_DATA. False when no buffer is
    // queued or nothing was started.
    bool FillBuffer(const std::vector<int16_t> &Samples);
    // Buffers queued on the started handle now.
    int QueuedBuffers() const;
    // Handles opened and not yet closed.
    int OpenHandles() const;
    // Device identifier of every successful open, in order.
    std::vector<UINT> OpenedDevices;
    // Every call, in order, by name ("waveInOpen", "waveInAddBuffer", ...).
    std::vector<std::string> Calls;

    UINT GetNumDevs() override;
    MMRESULT GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps) override;
    MMRESULT Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format, TWaveInWindow *Window,
                  DWORD Flags) override;
    MMRESULT PrepareHeader(HWAVEIN Handle, WAVEHDR *Header) override;
    MMRESULT AddBuffer(HWAVEIN Handle, WAVEHDR *Header) override;
    MMRESULT Start(HWAVEIN Handle) override;
    MMRESULT Reset(HWAVEIN Handle) override;
    MMRESULT Close(HWAVEIN Handle) override;

  private:
    struct THandle;
    THandle *Find(HWAVEIN Handle) const;
    // Records the call and finds its handle (nullptr when it is not open).
    THandle *Called(const char *Call, HWAVEIN Handle);
    THandle *StartedHandle() const;
    MMRESULT DeviceResult(UINT DeviceId) const;
    std::vector<THandle *> Handles;
    TWaveInDriver *Previous = nullptr;
};
