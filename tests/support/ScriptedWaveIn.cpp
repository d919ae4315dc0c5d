#include "ScriptedWaveIn.h"

#include <algorithm>
#include <cstring>

struct TScriptedWaveIn::THandle
{
    UINT DeviceId = 0;
    TWaveInWindow *Window = nullptr;
    bool Started = false;
    std::deque<WAVEHDR *> Queue;

    HWAVEIN Id() { return reinterpret_cast<HWAVEIN>(this); }
    void Post(UINT Msg, WAVEHDR *Header)
    {
        if (Window)
            Window->PostWaveMessage(Msg, Id(), Header);
    }
    void HandBack()
    {
        WAVEHDR *Header = Queue.front();
        Queue.pop_front();
        Header->dwFlags = (Header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        Post(MM_WIM_DATA, Header);
    }
};

TScriptedWaveIn::TScriptedWaveIn()
{
    Previous = SetWaveInDriver(this);
}

TScriptedWaveIn::~TScriptedWaveIn()
{
    SetWaveInDriver(Previous);
    for (THandle *H : Handles)
        delete H;
}

TScriptedWaveIn::THandle *TScriptedWaveIn::Find(HWAVEIN Handle) const
{
    for (THandle *H : Handles)
        if (H->Id() == Handle)
            return H;
    return nullptr;
}

TScriptedWaveIn::THandle *TScriptedWaveIn::Called(const char *Call, HWAVEIN Handle)
{
    Calls.push_back(Call);
    return Find(Handle);
}

TScriptedWaveIn::THandle *TScriptedWaveIn::StartedHandle() const
{
    for (auto It = Handles.rbegin(); It != Handles.rend(); ++It)
        if ((*It)->Started)
            return *It;
    return nullptr;
}

bool TScriptedWaveIn::FillBuffer(const std::vector<int16_t> &Samples)
{
    THandle *H = StartedHandle();
    if (!H || H->Queue.empty())
        return false;
    WAVEHDR *Header = H->Queue.front();
    const size_t Bytes = std::min<size_t>(Samples.size() * sizeof(int16_t), Header->dwBufferLength);
    std::memcpy(Header->lpData, Samples.data(), Bytes);
    Header->dwBytesRecorded = static_cast<DWORD>(Bytes);
    H->HandBack();
    return true;
}

int TScriptedWaveIn::QueuedBuffers() const
{
    size_t Count = 0;
    for (const THandle *H : Handles)
        Count += H->Queue.size();
    return static_cast<int>(Count);
}

int TScriptedWaveIn::OpenHandles() const
{
    return static_cast<int>(Handles.size());
}

UINT TScriptedWaveIn::GetNumDevs()
{
    Calls.push_back("waveInGetNumDevs");
    return static_cast<UINT>(Devices.size());
}

MMRESULT TScriptedWaveIn::GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps)
{
    Calls.push_back("waveInGetDevCapsA");
    if (DeviceId >= Devices.size())
        return MMSYSERR_BADDEVICEID;
    const TDevice &Device = Devices[DeviceId];
    if (Device.CapsFail)
        return MMSYSERR_ERROR;
    std::memset(Caps, 0, sizeof(*Caps));
    std::strncpy(Caps->szPname, Device.Name.c_str(), sizeof(Caps->szPname) - 1);
    Caps->wChannels = 1;
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveIn::DeviceResult(UINT DeviceId) const
{
    if (DeviceId == WAVE_MAPPER)
        DeviceId = 0;
    if (DeviceId >= Devices.size())
        return MMSYSERR_BADDEVICEID;
    return Devices[DeviceId].FormatSupported ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

MMRESULT TScriptedWaveIn::Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *,
                               TWaveInWindow *Window, DWORD Flags)
{
    Calls.push_back("waveInOpen");
    if (Flags & WAVE_FORMAT_QUERY)
        return DeviceResult(DeviceId);
    if (!OpenResults.empty()) {
        const MMRESULT Scripted = OpenResults.front();
        OpenResults.pop_front();
        if (Scripted != MMSYSERR_NOERROR)
            return Scripted;
    }
    const MMRESULT Result = DeviceResult(DeviceId);
    if (Result != MMSYSERR_NOERROR)
        return Result;
    auto *H = new THandle;
    H->DeviceId = DeviceId;
    H->Window = Window;
    Handles.push_back(H);
    OpenedDevices.push_back(DeviceId);
    *Handle = H->Id();
    H->Post(MM_WIM_OPEN, nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveIn::PrepareHeader(HWAVEIN Handle, WAVEHDR *)
{
    if (!Called("waveInPrepareHeader", Handle))
        return MMSYSERR_INVALHANDLE;
    return PrepareResult;
}

MMRESULT TScriptedWaveIn::AddBuffer(HWAVEIN Handle, WAVEHDR *Header)
{
    THandle *H = Called("waveInAddBuffer", Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    if (AddBufferResult != MMSYSERR_NOERROR)
        return AddBufferResult;
    if (Header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    Header->dwBytesRecorded = 0;
    Header->dwFlags = (Header->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
    H->Queue.push_back(Header);
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveIn::Start(HWAVEIN Handle)
{
    THandle *H = Called("waveInStart", Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    if (StartResult != MMSYSERR_NOERROR)
        return StartResult;
    H->Started = true;
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveIn::Reset(HWAVEIN Handle)
{
    THandle *H = Called("waveInReset", Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    H->Started = false;
    while (!H->Queue.empty())
        H->HandBack();
    return MMSYSERR_NOERROR;
}

MMRESULT TScriptedWaveIn::Close(HWAVEIN Handle)
{
    THandle *H = Called("waveInClose", Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    if (!H->Queue.empty())
        return WAVERR_STILLPLAYING;
    Handles.erase(std::find(Handles.begin(), Handles.end(), H));
    H->Post(MM_WIM_CLOSE, nullptr);
    delete H;
    return MMSYSERR_NOERROR;
}
