// The driver behind the wave-in functions. The program always records through
// PulseAudio; tests put a scripted in-memory driver in its place.
#pragma once

#include "WaveIn.h"

class TWaveInDriver
{
  public:
    virtual ~TWaveInDriver() = default;
    virtual UINT GetNumDevs() = 0;
    virtual MMRESULT GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps) = 0;
    // Window is null for a WAVE_FORMAT_QUERY, which opens nothing.
    virtual MMRESULT Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format,
                          TWaveInWindow *Window, DWORD Flags) = 0;
    virtual MMRESULT PrepareHeader(HWAVEIN Handle, WAVEHDR *Header) = 0;
    virtual MMRESULT AddBuffer(HWAVEIN Handle, WAVEHDR *Header) = 0;
    virtual MMRESULT Start(HWAVEIN Handle) = 0;
    virtual MMRESULT Reset(HWAVEIN Handle) = 0;
    virtual MMRESULT Close(HWAVEIN Handle) = 0;
};

// The driver in place when no other is installed: PulseAudio.
TWaveInDriver &DefaultWaveInDriver();

// Puts Driver behind the wave-in functions; nullptr brings back PulseAudio.
// Returns the driver that was in place (nullptr for PulseAudio).
TWaveInDriver *SetWaveInDriver(TWaveInDriver *Driver);
