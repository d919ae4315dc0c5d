// The wave-in interface: the names, records and contract of the classic
// multimedia wave-in API, served on Linux by a PulseAudio client (or, in the
// tests, by a scripted in-memory driver behind the same functions).
#pragma once

#include <cstdint>

using UINT = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using DWORD_PTR = uintptr_t;
using MMRESULT = uint32_t;

struct HWAVEIN__;
using HWAVEIN = HWAVEIN__ *;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT WAVERR_BADFORMAT = 32;
constexpr MMRESULT WAVERR_STILLPLAYING = 33;
constexpr MMRESULT WAVERR_UNPREPARED = 34;

constexpr UINT WAVE_MAPPER = UINT(-1);
constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
constexpr DWORD CALLBACK_WINDOW = 0x00010000;
constexpr WORD WAVE_FORMAT_PCM = 1;

constexpr UINT MM_WIM_OPEN = 0x3BE;
constexpr UINT MM_WIM_CLOSE = 0x3BF;
constexpr UINT MM_WIM_DATA = 0x3C0;

constexpr DWORD WHDR_DONE = 0x00000001;
constexpr DWORD WHDR_PREPARED = 0x00000002;
constexpr DWORD WHDR_INQUEUE = 0x00000010;

#pragma pack(push, 1)
struct WAVEFORMATEX
{
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is packed");

struct WAVEHDR
{
    char *lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR *lpNext;
    DWORD_PTR reserved;
};

struct WAVEINCAPSA
{
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    char szPname[32];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
};
static_assert(sizeof(WAVEINCAPSA) == 48, "WAVEINCAPSA is 48 bytes");

// The "window" a CALLBACK_WINDOW open reports to: the driver calls
// PostWaveMessage from its own thread; the receiver queues the notification
// and handles it later on its own (GUI) thread.
class TWaveInWindow
{
  public:
    virtual ~TWaveInWindow() = default;
    virtual void PostWaveMessage(UINT Msg, HWAVEIN Handle, WAVEHDR *Header) = 0;
};

// dwCallback of a CALLBACK_WINDOW open is a TWaveInWindow *.
inline DWORD_PTR WaveInWindowCallback(TWaveInWindow *Window)
{
    return reinterpret_cast<DWORD_PTR>(Window);
}

UINT waveInGetNumDevs();
MMRESULT waveInGetDevCapsA(UINT DeviceId, WAVEINCAPSA *Caps, UINT CapsSize);
MMRESULT waveInOpen(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format, DWORD_PTR Callback,
                    DWORD_PTR Instance, DWORD Flags);
MMRESULT waveInPrepareHeader(HWAVEIN Handle, WAVEHDR *Header, UINT HeaderSize);
MMRESULT waveInAddBuffer(HWAVEIN Handle, WAVEHDR *Header, UINT HeaderSize);
MMRESULT waveInStart(HWAVEIN Handle);
MMRESULT waveInReset(HWAVEIN Handle);
MMRESULT waveInClose(HWAVEIN Handle);
