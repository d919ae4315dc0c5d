#include "PulseWaveIn.h"
#include "WaveBufferQueue.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstring>

struct TPulseWaveIn::THandle
{
    THandle(TPulseWaveIn *Owner, TWaveInWindow *Window, uint8_t SilenceByte)
        : Owner(Owner), Window(Window), Queue(Id(), Window, SilenceByte)
    {
    }
    HWAVEIN Id() { return reinterpret_cast<HWAVEIN>(this); }

    TPulseWaveIn *Owner;
    TWaveInWindow *Window;
    TWaveBufferQueue Queue;
    pa_stream *Stream = nullptr;
    bool Started = false;
    bool Failed = false;
};

namespace {

// Holds the mainloop's lock for a scope.
class TLoopLock
{
  public:
    explicit TLoopLock(pa_threaded_mainloop *Loop) : Loop(Loop) { pa_threaded_mainloop_lock(Loop); }
    ~TLoopLock() { pa_threaded_mainloop_unlock(Loop); }
    TLoopLock(const TLoopLock &) = delete;
    TLoopLock &operator=(const TLoopLock &) = delete;

  private:
    pa_threaded_mainloop *Loop;
};

struct TTimeout
{
    pa_threaded_mainloop *Loop;
    bool Expired;
};

void TimeoutExpired(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *Timeout)
{
    auto *T = static_cast<TTimeout *>(Timeout);
    T->Expired = true;
    pa_threaded_mainloop_signal(T->Loop, 0);
}

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

TPulseWaveIn &TPulseWaveIn::Instance()
{
    static TPulseWaveIn Driver;
    return Driver;
}

TPulseWaveIn::~TPulseWaveIn()
{
    std::lock_guard<std::mutex> Call(CallMutex);
    if (!Mainloop)
        return;
    {
        TLoopLock Lock(Mainloop);
        for (THandle *H : Handles) {
            ReleaseStream(*H);
            delete H;
        }
        Handles.clear();
        Disconnect();
    }
    pa_threaded_mainloop_stop(Mainloop);
    pa_threaded_mainloop_free(Mainloop);
    Mainloop = nullptr;
}

std::string TPulseWaveIn::ProductName(const std::string &Description)
{
    const size_t Limit = sizeof(WAVEINCAPSA::szPname) - 1;
    if (Description.size() <= Limit)
        return Description;
    size_t Cut = Limit;
    while (Cut > 0 && (static_cast<unsigned char>(Description[Cut]) & 0xC0) == 0x80)
        --Cut;
    return Description.substr(0, Cut);
}

std::vector<TPulseWaveIn::TSource>
TPulseWaveIn::OrderSources(const std::vector<TSource> &ServerOrder, const std::string &DefaultName)
{
    std::vector<TSource> Ordered;
    for (const TSource &S : ServerOrder)
        if (S.Name == DefaultName)
            Ordered.push_back(S);
    for (bool Monitors : {false, true})
        for (const TSource &S : ServerOrder)
            if (S.Monitor == Monitors && S.Name != DefaultName)
                Ordered.push_back(S);
    return Ordered;
}

template <typename Predicate> bool TPulseWaveIn::WaitFor(Predicate Done)
{
    pa_mainloop_api *Api = pa_threaded_mainloop_get_api(Mainloop);
    struct timeval When;
    pa_gettimeofday(&When);
    pa_timeval_add(&When, pa_usec_t(ServerTimeoutMs) * PA_USEC_PER_MSEC);
    TTimeout Timeout{Mainloop, false};
    pa_time_event *Timer = Api->time_new(Api, &When, TimeoutExpired, &Timeout);
    bool Finished = Done();
    while (!Finished && !Timeout.Expired) {
        pa_threaded_mainloop_wait(Mainloop);
        Finished = Done();
    }
    Api->time_free(Timer);
    return Finished;
}

bool TPulseWaveIn::ContextGood()
{
    return Context && PA_CONTEXT_IS_GOOD(pa_context_get_state(Context));
}

bool TPulseWaveIn::Connect()
{
    if (Context && pa_context_get_state(Context) == PA_CONTEXT_READY)
        return true;
    Disconnect();
    Context = pa_context_new(pa_threaded_mainloop_get_api(Mainloop), "DTMF");
    if (Context) {
        pa_context_set_state_callback(Context, ContextStateChanged, this);
        if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) == 0)
            WaitFor([this] {
                return pa_context_get_state(Context) == PA_CONTEXT_READY || !ContextGood();
            });
        if (pa_context_get_state(Context) == PA_CONTEXT_READY)
            return true;
    }
    // No server: no devices.
    Disconnect();
    Sources.clear();
    SourcesKnown = false;
    return false;
}

void TPulseWaveIn::Disconnect()
{
    if (!Context)
        return;
    pa_context_set_state_callback(Context, nullptr, nullptr);
    pa_context_disconnect(Context);
    pa_context_unref(Context);
    Context = nullptr;
}

// Stops the mainloop thread when no handle needs it; the next call that
// needs the server starts it again and connects afresh.
void TPulseWaveIn::ShutdownIfIdle()
{
    if (!Mainloop || !Handles.empty())
        return;
    {
        TLoopLock Lock(Mainloop);
        Disconnect();
    }
    pa_threaded_mainloop_stop(Mainloop);
    pa_threaded_mainloop_free(Mainloop);
    Mainloop = nullptr;
}

bool TPulseWaveIn::RefreshSources()
{
    Arriving.clear();
    DefaultSource.clear();
    PendingReplies = 2;
    pa_operation *Ops[] = {pa_context_get_server_info(Context, ServerInfoArrived, this),
                           pa_context_get_source_info_list(Context, SourceInfoArrived, this)};
    bool Ok = Ops[0] && Ops[1];
    if (Ok)
        Ok = WaitFor([this] { return PendingReplies == 0 || !ContextGood(); }) &&
             PendingReplies == 0;
    for (pa_operation *Op : Ops) {
        if (!Op)
            continue;
        if (pa_operation_get_state(Op) == PA_OPERATION_RUNNING)
            pa_operation_cancel(Op);
        pa_operation_unref(Op);
    }
    SourcesKnown = Ok;
    Sources = Ok ? OrderSources(Arriving, DefaultSource) : std::vector<TSource>();
    return Ok;
}

void TPulseWaveIn::ServerInfoArrived(pa_context *, const pa_server_info *Info, void *Self)
{
    auto *Driver = static_cast<TPulseWaveIn *>(Self);
    if (Info && Info->default_source_name)
        Driver->DefaultSource = Info->default_source_name;
    --Driver->PendingReplies;
    pa_threaded_mainloop_signal(Driver->Mainloop, 0);
}

void TPulseWaveIn::SourceInfoArrived(pa_context *, const pa_source_info *Info, int Last, void *Self)
{
    auto *Driver = static_cast<TPulseWaveIn *>(Self);
    if (Last) {
        --Driver->PendingReplies;
        pa_threaded_mainloop_signal(Driver->Mainloop, 0);
        return;
    }
    TSource S;
    S.Name = Info->name ? Info->name : "";
    S.Description = Info->description ? Info->description : S.Name;
    S.Channels = Info->sample_spec.channels;
    S.Monitor = Info->monitor_of_sink != PA_INVALID_INDEX;
    Driver->Arriving.push_back(S);
}

// The code for a server request that failed.
MMRESULT TPulseWaveIn::ServerFailureCode()
{
    if (!ContextGood())
        return MMSYSERR_NODRIVER;
    switch (pa_context_errno(Context)) {
    case PA_ERR_NOENTITY:
        return MMSYSERR_BADDEVICEID;
    case PA_ERR_INVALID:
    case PA_ERR_NOTSUPPORTED:
        return WAVERR_BADFORMAT;
    case PA_ERR_BUSY:
    case PA_ERR_EXIST:
        return MMSYSERR_ALLOCATED;
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_CONNECTIONTERMINATED:
        return MMSYSERR_NODRIVER;
    default:
        return MMSYSERR_ERROR;
    }
}

bool TPulseWaveIn::StartMainloop()
{
    if (Mainloop)
        return true;
    Mainloop = pa_threaded_mainloop_new();
    if (Mainloop && pa_threaded_mainloop_start(Mainloop) == 0)
        return true;
    if (Mainloop)
        pa_threaded_mainloop_free(Mainloop);
    Mainloop = nullptr;
    return false;
}

UINT TPulseWaveIn::GetNumDevs()
{
    std::lock_guard<std::mutex> Call(CallMutex);
    if (!StartMainloop())
        return 0;
    UINT Count = 0;
    {
        TLoopLock Lock(Mainloop);
        if (Connect() && RefreshSources())
            Count = static_cast<UINT>(Sources.size());
    }
    ShutdownIfIdle();
    return Count;
}

// Answers from the source list, asking the server for it first if it is not
// known. The list is read and written only by callers holding CallMutex.
template <typename Answer> MMRESULT TPulseWaveIn::FromSources(Answer Reply)
{
    if (SourcesKnown)
        return Reply();
    if (!StartMainloop())
        return MMSYSERR_ERROR;
    MMRESULT Result = MMSYSERR_NODRIVER;
    {
        TLoopLock Lock(Mainloop);
        if (Connect())
            Result = RefreshSources() ? MMSYSERR_NOERROR : ServerFailureCode();
    }
    ShutdownIfIdle();
    return Result == MMSYSERR_NOERROR ? Reply() : Result;
}

MMRESULT TPulseWaveIn::GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps)
{
    std::lock_guard<std::mutex> Call(CallMutex);
    const size_t Index = DeviceId == WAVE_MAPPER ? 0 : DeviceId;
    return FromSources([&] {
        if (Index >= Sources.size())
            return MMSYSERR_BADDEVICEID;
        FillCaps(Sources[Index], *Caps);
        return MMSYSERR_NOERROR;
    });
}

void TPulseWaveIn::FillCaps(const TSource &Source, WAVEINCAPSA &Caps)
{
    std::memset(&Caps, 0, sizeof(Caps));
    Caps.vDriverVersion = 0x0100;
    const std::string Name = ProductName(Source.Description);
    std::memcpy(Caps.szPname, Name.data(), Name.size());
    Caps.dwFormats = AllStandardFormats;
    Caps.wChannels = Source.Channels >= 2 ? 2 : 1;
}

MMRESULT TPulseWaveIn::Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format,
                            TWaveInWindow *Window, DWORD Flags)
{
    if (!FormatRecordable(*Format))
        return WAVERR_BADFORMAT;
    std::lock_guard<std::mutex> Call(CallMutex);
    if (Flags & WAVE_FORMAT_QUERY) {
        const size_t Needed = DeviceId == WAVE_MAPPER ? 1 : size_t(DeviceId) + 1;
        return FromSources(
            [&] { return Sources.size() >= Needed ? MMSYSERR_NOERROR : MMSYSERR_BADDEVICEID; });
    }
    if (!StartMainloop())
        return MMSYSERR_ERROR;
    MMRESULT Result;
    {
        TLoopLock Lock(Mainloop);
        Result = OpenStream(Handle, DeviceId, *Format, Window);
    }
    ShutdownIfIdle();
    return Result;
}

MMRESULT TPulseWaveIn::OpenStream(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX &Format,
                                  TWaveInWindow *Window)
{
    // An open always looks at the server's list as it is now.
    if (!Connect())
        return MMSYSERR_NODRIVER;
    if (!RefreshSources())
        return ServerFailureCode();
    std::string SourceName;
    if (DeviceId != WAVE_MAPPER) {
        if (DeviceId >= Sources.size())
            return MMSYSERR_BADDEVICEID;
        SourceName = Sources[DeviceId].Name;
    } else if (Sources.empty()) {
        return MMSYSERR_BADDEVICEID;
    }
    auto *H = new THandle(this, Window, Format.wBitsPerSample == 8 ? 0x80 : 0);
    const MMRESULT Result =
        ConnectStream(*H, SourceName.empty() ? nullptr : SourceName.c_str(), Format);
    if (Result != MMSYSERR_NOERROR) {
        ReleaseStream(*H);
        delete H;
        return Result;
    }
    Handles.push_back(H);
    *Handle = H->Id();
    if (Window)
        Window->PostWaveMessage(MM_WIM_OPEN, *Handle, nullptr);
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseWaveIn::ConnectStream(THandle &H, const char *SourceName, const WAVEFORMATEX &Format)
{
    pa_sample_spec SampleSpec;
    SampleSpec.format = Format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    SampleSpec.rate = Format.nSamplesPerSec;
    SampleSpec.channels = static_cast<uint8_t>(Format.nChannels);
    pa_channel_map Map;
    pa_channel_map_init_auto(&Map, SampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
    H.Stream = pa_stream_new(Context, "DTMF capture", &SampleSpec, &Map);
    if (!H.Stream)
        return ServerFailureCode();
    pa_stream_set_state_callback(H.Stream, StreamStateChanged, &H);
    pa_stream_set_read_callback(H.Stream, StreamReadable, &H);

    pa_buffer_attr Attr;
    Attr.maxlength = uint32_t(-1);
    Attr.tlength = uint32_t(-1);
    Attr.prebuf = uint32_t(-1);
    Attr.minreq = uint32_t(-1);
    Attr.fragsize = FragmentBytes;
    // A chosen source is kept: if it goes away, the stream fails rather than
    // moving on to record something else.
    const int Flags = PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                      (SourceName ? PA_STREAM_DONT_MOVE : PA_STREAM_NOFLAGS);
    if (pa_stream_connect_record(H.Stream, SourceName, &Attr, pa_stream_flags_t(Flags)) < 0)
        return ServerFailureCode();
    const bool Settled = WaitFor([this, &H] {
        const pa_stream_state_t State = pa_stream_get_state(H.Stream);
        return State == PA_STREAM_READY || !PA_STREAM_IS_GOOD(State) || !ContextGood();
    });
    if (!Settled)
        return MMSYSERR_ERROR;
    if (pa_stream_get_state(H.Stream) != PA_STREAM_READY)
        return ServerFailureCode();
    return MMSYSERR_NOERROR;
}

void TPulseWaveIn::ReleaseStream(THandle &H)
{
    if (!H.Stream)
        return;
    pa_stream_set_state_callback(H.Stream, nullptr, nullptr);
    pa_stream_set_read_callback(H.Stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(H.Stream)))
        pa_stream_disconnect(H.Stream);
    pa_stream_unref(H.Stream);
    H.Stream = nullptr;
}

TPulseWaveIn::THandle *TPulseWaveIn::Find(HWAVEIN Handle)
{
    for (THandle *H : Handles)
        if (H->Id() == Handle)
            return H;
    return nullptr;
}

MMRESULT TPulseWaveIn::PrepareHeader(HWAVEIN Handle, WAVEHDR *)
{
    std::lock_guard<std::mutex> Call(CallMutex);
    return Find(Handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT TPulseWaveIn::AddBuffer(HWAVEIN Handle, WAVEHDR *Header)
{
    std::lock_guard<std::mutex> Call(CallMutex);
    THandle *H = Find(Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    TLoopLock Lock(Mainloop);
    if (H->Failed)
        return MMSYSERR_NODRIVER;
    return H->Queue.Add(Header) ? MMSYSERR_NOERROR : WAVERR_STILLPLAYING;
}

MMRESULT TPulseWaveIn::Start(HWAVEIN Handle)
{
    std::lock_guard<std::mutex> Call(CallMutex);
    THandle *H = Find(Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    TLoopLock Lock(Mainloop);
    if (H->Failed)
        return MMSYSERR_NODRIVER;
    if (H->Started)
        return MMSYSERR_NOERROR;
    pa_operation *Op = pa_stream_cork(H->Stream, 0, nullptr, nullptr);
    if (!Op) {
        Fail(*H);
        return MMSYSERR_NODRIVER;
    }
    pa_operation_unref(Op);
    H->Started = true;
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseWaveIn::Reset(HWAVEIN Handle)
{
    std::lock_guard<std::mutex> Call(CallMutex);
    THandle *H = Find(Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    TLoopLock Lock(Mainloop);
    if (H->Started && pa_stream_get_state(H->Stream) == PA_STREAM_READY) {
        // Audio still on its way is discarded by the read callback, since
        // the handle no longer counts as started.
        if (pa_operation *Op = pa_stream_cork(H->Stream, 1, nullptr, nullptr))
            pa_operation_unref(Op);
        if (pa_operation *Op = pa_stream_flush(H->Stream, nullptr, nullptr))
            pa_operation_unref(Op);
    }
    H->Started = false;
    H->Queue.ReturnAll();
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseWaveIn::Close(HWAVEIN Handle)
{
    std::lock_guard<std::mutex> Call(CallMutex);
    THandle *H = Find(Handle);
    if (!H)
        return MMSYSERR_INVALHANDLE;
    {
        TLoopLock Lock(Mainloop);
        if (!H->Queue.Empty())
            return WAVERR_STILLPLAYING;
        Handles.erase(std::find(Handles.begin(), Handles.end(), H));
        ReleaseStream(*H);
        if (H->Window)
            H->Window->PostWaveMessage(MM_WIM_CLOSE, Handle, nullptr);
        delete H;
    }
    ShutdownIfIdle();
    return MMSYSERR_NOERROR;
}

int TPulseWaveIn::OpenHandles()
{
    std::lock_guard<std::mutex> Call(CallMutex);
    return static_cast<int>(Handles.size());
}

bool TPulseWaveIn::MainloopRunning()
{
    std::lock_guard<std::mutex> Call(CallMutex);
    return Mainloop != nullptr;
}

uint64_t TPulseWaveIn::DroppedBytes()
{
    std::lock_guard<std::mutex> Call(CallMutex);
    if (!Mainloop)
        return Dropped;
    TLoopLock Lock(Mainloop);
    return Dropped;
}

// Mainloop thread from here on: the loop's lock is held.

void TPulseWaveIn::ContextStateChanged(pa_context *Context, void *Self)
{
    auto *Driver = static_cast<TPulseWaveIn *>(Self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(Context)))
        for (THandle *H : Driver->Handles)
            Driver->Fail(*H);
    pa_threaded_mainloop_signal(Driver->Mainloop, 0);
}

void TPulseWaveIn::StreamStateChanged(pa_stream *Stream, void *Handle)
{
    auto *H = static_cast<THandle *>(Handle);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)))
        H->Owner->Fail(*H);
    pa_threaded_mainloop_signal(H->Owner->Mainloop, 0);
}

void TPulseWaveIn::StreamReadable(pa_stream *Stream, size_t, void *Handle)
{
    auto *H = static_cast<THandle *>(Handle);
    while (pa_stream_readable_size(Stream) > 0) {
        const void *Data = nullptr;
        size_t Bytes = 0;
        if (pa_stream_peek(Stream, &Data, &Bytes) < 0 || Bytes == 0)
            return;
        // Audio is kept only between a start and a reset. No data with a
        // length is a hole in the stream, which the queue fills with silence.
        if (H->Started)
            H->Owner->Dropped += H->Queue.Deliver(Data, Bytes);
        pa_stream_drop(Stream);
    }
}

// The source or the server went away: every queued buffer comes back with
// what it holds, and the handle takes no more.
void TPulseWaveIn::Fail(THandle &H)
{
    if (H.Failed)
        return;
    H.Failed = true;
    H.Started = false;
    H.Queue.ReturnAll();
}
