#include "PulseWaveIn.h"

#include <algorithm>
#include <cstring>

namespace {

bool FormatRecordable(const WAVEFORMATEX &F)
{
    if (F.wFormatTag != WAVE_FORMAT_PCM || F.nChannels < 1 || F.nChannels > 2)
        return false;
    if (F.wBitsPerSample != 8 && F.wBitsPerSample != 16)
        return false;
    if (F.nSamplesPerSec < 8000 || F.nSamplesPerSec > 192000)
        return false;
    const unsigned Align = F.nChannels * F.wBitsPerSample / 8;
    return F.nBlockAlign == Align && F.nAvgBytesPerSec == F.nSamplesPerSec * Align;
}

// Every wave format a source can be opened in, at 11, 22, 44, 48 and 96 kHz.
constexpr DWORD AllStandardFormats = 0x000FFFFF;

} // namespace

TWaveInDriver &DefaultWaveInDriver()
{
    return TPulseWaveIn::Instance();
}

TPulseWaveIn &TPulseWaveIn::Instance()
{
    static TPulseWaveIn Driver;
    return Driver;
}

TPulseWaveIn::~TPulseWaveIn()
{
    TCallLock Call(CallMutex);
    if (!Context.LoopRunning())
        return;
    {
        TPulseLock Lock(Context.MainLoop());
        for (const auto &S : Handles)
            S->Release(Lock);
        Handles.clear();
    }
    Context.StopLoop();
}

// Stops the mainloop thread when no handle needs it; the next call that
// needs the server starts it again and connects afresh.
void TPulseWaveIn::ShutdownIfIdle(TCallLock &)
{
    if (Handles.empty())
        Context.StopLoop();
}

bool TPulseWaveIn::Refresh(TPulseLock &Lock)
{
    if (Context.Connect(Lock))
        return SourceList.Refresh(Lock, Context.Get(Lock));
    // No server: no devices.
    SourceList.Forget();
    return false;
}

UINT TPulseWaveIn::GetNumDevs()
{
    TCallLock Call(CallMutex);
    if (!Context.StartLoop())
        return 0;
    UINT Count = 0;
    {
        TPulseLock Lock(Context.MainLoop());
        if (Refresh(Lock))
            Count = static_cast<UINT>(SourceList.Sources().size());
    }
    ShutdownIfIdle(Call);
    return Count;
}

template <typename Answer> MMRESULT TPulseWaveIn::FromSources(TCallLock &Call, Answer Reply)
{
    if (SourceList.Known())
        return Reply();
    if (!Context.StartLoop())
        return MMSYSERR_ERROR;
    MMRESULT Result;
    {
        TPulseLock Lock(Context.MainLoop());
        Result = Refresh(Lock)        ? MMSYSERR_NOERROR
                 : Context.Good(Lock) ? Context.FailureCode(Lock)
                                      : MMSYSERR_NODRIVER;
    }
    ShutdownIfIdle(Call);
    return Result == MMSYSERR_NOERROR ? Reply() : Result;
}

MMRESULT TPulseWaveIn::GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps)
{
    TCallLock Call(CallMutex);
    const size_t Index = DeviceId == WAVE_MAPPER ? 0 : DeviceId;
    return FromSources(Call, [&] {
        if (Index >= SourceList.Sources().size())
            return MMSYSERR_BADDEVICEID;
        FillCaps(SourceList.Sources()[Index], *Caps);
        return MMSYSERR_NOERROR;
    });
}

void TPulseWaveIn::FillCaps(const TPulseSourceList::TSource &Source, WAVEINCAPSA &Caps)
{
    std::memset(&Caps, 0, sizeof(Caps));
    Caps.vDriverVersion = 0x0100;
    const std::string Name = TPulseSourceList::ProductName(Source.Description);
    std::memcpy(Caps.szPname, Name.data(), Name.size());
    Caps.dwFormats = AllStandardFormats;
    Caps.wChannels = Source.Channels >= 2 ? 2 : 1;
}

MMRESULT TPulseWaveIn::Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format,
                            TWaveInWindow *Window, DWORD Flags)
{
    if (!FormatRecordable(*Format))
        return WAVERR_BADFORMAT;
    TCallLock Call(CallMutex);
    if (Flags & WAVE_FORMAT_QUERY) {
        const size_t Needed = DeviceId == WAVE_MAPPER ? 1 : size_t(DeviceId) + 1;
        return FromSources(Call, [&] {
            return SourceList.Sources().size() >= Needed ? MMSYSERR_NOERROR : MMSYSERR_BADDEVICEID;
        });
    }
    if (!Context.StartLoop())
        return MMSYSERR_ERROR;
    MMRESULT Result;
    {
        TPulseLock Lock(Context.MainLoop());
        Result = OpenStream(Lock, Handle, DeviceId, *Format, Window);
    }
    ShutdownIfIdle(Call);
    return Result;
}

MMRESULT TPulseWaveIn::OpenStream(TPulseLock &Lock, HWAVEIN *Handle, UINT DeviceId,
                                  const WAVEFORMATEX &Format, TWaveInWindow *Window)
{
    // An open always looks at the server's list as it is now.
    if (!Refresh(Lock))
        return Context.Good(Lock) ? Context.FailureCode(Lock) : MMSYSERR_NODRIVER;
    const auto &Sources = SourceList.Sources();
    std::string SourceName;
    if (DeviceId != WAVE_MAPPER) {
        if (DeviceId >= Sources.size())
            return MMSYSERR_BADDEVICEID;
        SourceName = Sources[DeviceId].Name;
    } else if (Sources.empty()) {
        return MMSYSERR_BADDEVICEID;
    }
    auto S = std::make_unique<TPulseRecordStream>(Context.MainLoop(), Window,
                                                  Format.wBitsPerSample == 8 ? 0x80 : 0, Dropped);
    const MMRESULT Result = S->Connect(Lock, Context, SourceName, Format);
    if (Result != MMSYSERR_NOERROR) {
        S->Release(Lock);
        return Result;
    }
    *Handle = S->Id();
    Handles.push_back(std::move(S));
    if (Window)
        Window->PostWaveMessage(MM_WIM_OPEN, *Handle, nullptr);
    return MMSYSERR_NOERROR;
}

template <typename Action> MMRESULT TPulseWaveIn::OnHandle(TCallLock &, HWAVEIN Handle, Action Act)
{
    const auto Found = std::find_if(Handles.begin(), Handles.end(),
                                    [Handle](const auto &S) { return S->Id() == Handle; });
    if (Found == Handles.end())
        return MMSYSERR_INVALHANDLE;
    TPulseLock Lock(Context.MainLoop());
    return Act(**Found, Lock);
}

MMRESULT TPulseWaveIn::PrepareHeader(HWAVEIN Handle, WAVEHDR *)
{
    TCallLock Call(CallMutex);
    return OnHandle(Call, Handle,
                    [](TPulseRecordStream &, TPulseLock &) { return MMSYSERR_NOERROR; });
}

MMRESULT TPulseWaveIn::AddBuffer(HWAVEIN Handle, WAVEHDR *Header)
{
    TCallLock Call(CallMutex);
    return OnHandle(Call, Handle, [Header](TPulseRecordStream &S, TPulseLock &Lock) {
        return S.AddBuffer(Lock, Header);
    });
}

MMRESULT TPulseWaveIn::Start(HWAVEIN Handle)
{
    TCallLock Call(CallMutex);
    return OnHandle(Call, Handle,
                    [](TPulseRecordStream &S, TPulseLock &Lock) { return S.Start(Lock); });
}

MMRESULT TPulseWaveIn::Reset(HWAVEIN Handle)
{
    TCallLock Call(CallMutex);
    return OnHandle(Call, Handle, [](TPulseRecordStream &S, TPulseLock &Lock) {
        S.Reset(Lock);
        return MMSYSERR_NOERROR;
    });
}

MMRESULT TPulseWaveIn::Close(HWAVEIN Handle)
{
    TCallLock Call(CallMutex);
    const MMRESULT Result = OnHandle(Call, Handle, [this](TPulseRecordStream &S, TPulseLock &Lock) {
        if (!S.Idle(Lock))
            return WAVERR_STILLPLAYING;
        S.Release(Lock);
        S.NotifyClosed();
        // The last use of S: erasing it destroys the stream.
        Handles.erase(std::find_if(Handles.begin(), Handles.end(),
                                   [&S](const auto &Owned) { return Owned.get() == &S; }));
        return MMSYSERR_NOERROR;
    });
    ShutdownIfIdle(Call);
    return Result;
}

int TPulseWaveIn::OpenHandles()
{
    TCallLock Call(CallMutex);
    return static_cast<int>(Handles.size());
}

bool TPulseWaveIn::MainloopRunning()
{
    TCallLock Call(CallMutex);
    return Context.LoopRunning();
}
