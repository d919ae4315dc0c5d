// The wave-in functions: argument checks, the table of open handles, and
// dispatch to the driver that opened each handle.
#include "WaveIn.h"
#include "WaveInDriver.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace {

constexpr DWORD CallbackTypeMask = 0x00070000;

struct TRegistry
{
    std::mutex Mutex;
    TWaveInDriver *Installed = nullptr; // nullptr: the default driver
    std::vector<std::pair<HWAVEIN, TWaveInDriver *>> Handles;
};

TRegistry &Registry()
{
    static TRegistry Instance;
    return Instance;
}

TWaveInDriver &CurrentDriver()
{
    TRegistry &R = Registry();
    std::lock_guard<std::mutex> Lock(R.Mutex);
    return R.Installed ? *R.Installed : DefaultWaveInDriver();
}

// The driver that opened Handle, or nullptr when Handle is not open.
TWaveInDriver *OwnerOf(HWAVEIN Handle)
{
    TRegistry &R = Registry();
    std::lock_guard<std::mutex> Lock(R.Mutex);
    for (const auto &Entry : R.Handles)
        if (Entry.first == Handle)
            return Entry.second;
    return nullptr;
}

void Register(HWAVEIN Handle, TWaveInDriver *Driver)
{
    TRegistry &R = Registry();
    std::lock_guard<std::mutex> Lock(R.Mutex);
    R.Handles.emplace_back(Handle, Driver);
}

void Unregister(HWAVEIN Handle)
{
    TRegistry &R = Registry();
    std::lock_guard<std::mutex> Lock(R.Mutex);
    R.Handles.erase(std::remove_if(R.Handles.begin(), R.Handles.end(),
                                   [Handle](const auto &Entry) { return Entry.first == Handle; }),
                    R.Handles.end());
}

bool HeaderArgumentsValid(const WAVEHDR *Header, UINT HeaderSize)
{
    return Header != nullptr && HeaderSize >= sizeof(WAVEHDR);
}

} // namespace

TWaveInDriver *SetWaveInDriver(TWaveInDriver *Driver)
{
    TWaveInDriver &Default = DefaultWaveInDriver();
    TRegistry &R = Registry();
    std::lock_guard<std::mutex> Lock(R.Mutex);
    TWaveInDriver *Previous = R.Installed;
    TWaveInDriver *Outgoing = Previous ? Previous : &Default;
    // Only the handles of the driver in place can be reached.
    R.Handles.erase(
        std::remove_if(R.Handles.begin(), R.Handles.end(),
                       [Outgoing](const auto &Entry) { return Entry.second == Outgoing; }),
        R.Handles.end());
    R.Installed = Driver;
    return Previous;
}

UINT waveInGetNumDevs()
{
    return CurrentDriver().GetNumDevs();
}

MMRESULT waveInGetDevCapsA(UINT DeviceId, WAVEINCAPSA *Caps, UINT CapsSize)
{
    if (Caps == nullptr || CapsSize < sizeof(WAVEINCAPSA))
        return MMSYSERR_INVALPARAM;
    return CurrentDriver().GetDevCaps(DeviceId, Caps);
}

MMRESULT waveInOpen(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format, DWORD_PTR Callback,
                    DWORD_PTR /*Instance*/, DWORD Flags)
{
    const bool Query = (Flags & WAVE_FORMAT_QUERY) != 0;
    const DWORD CallbackType = Flags & CallbackTypeMask;
    if (Format == nullptr || (!Query && Handle == nullptr))
        return MMSYSERR_INVALPARAM;
    if (CallbackType != 0 && CallbackType != CALLBACK_WINDOW)
        return MMSYSERR_INVALPARAM;
    TWaveInWindow *Window = nullptr;
    if (!Query && CallbackType == CALLBACK_WINDOW)
        Window = reinterpret_cast<TWaveInWindow *>(Callback);

    TWaveInDriver &Driver = CurrentDriver();
    HWAVEIN Opened = nullptr;
    const MMRESULT Result = Driver.Open(Query ? nullptr : &Opened, DeviceId, Format, Window, Flags);
    if (Query)
        return Result;
    *Handle = Result == MMSYSERR_NOERROR ? Opened : nullptr;
    if (Result == MMSYSERR_NOERROR)
        Register(Opened, &Driver);
    return Result;
}

MMRESULT waveInPrepareHeader(HWAVEIN Handle, WAVEHDR *Header, UINT HeaderSize)
{
    TWaveInDriver *Driver = OwnerOf(Handle);
    if (Driver == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (!HeaderArgumentsValid(Header, HeaderSize) || Header->lpData == nullptr)
        return MMSYSERR_INVALPARAM;
    if (Header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    const MMRESULT Result = Driver->PrepareHeader(Handle, Header);
    if (Result == MMSYSERR_NOERROR)
        Header->dwFlags |= WHDR_PREPARED;
    return Result;
}

MMRESULT waveInAddBuffer(HWAVEIN Handle, WAVEHDR *Header, UINT HeaderSize)
{
    TWaveInDriver *Driver = OwnerOf(Handle);
    if (Driver == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (!HeaderArgumentsValid(Header, HeaderSize))
        return MMSYSERR_INVALPARAM;
    if (!(Header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (Header->lpData == nullptr || Header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    return Driver->AddBuffer(Handle, Header);
}

MMRESULT waveInStart(HWAVEIN Handle)
{
    TWaveInDriver *Driver = OwnerOf(Handle);
    return Driver ? Driver->Start(Handle) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInReset(HWAVEIN Handle)
{
    TWaveInDriver *Driver = OwnerOf(Handle);
    return Driver ? Driver->Reset(Handle) : MMSYSERR_INVALHANDLE;
}

MMRESULT waveInClose(HWAVEIN Handle)
{
    TWaveInDriver *Driver = OwnerOf(Handle);
    if (Driver == nullptr)
        return MMSYSERR_INVALHANDLE;
    const MMRESULT Result = Driver->Close(Handle);
    if (Result == MMSYSERR_NOERROR)
        Unregister(Handle);
    return Result;
}
