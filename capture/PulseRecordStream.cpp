#include "PulseRecordStream.h"
#include "AudioLog.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <memory>

namespace {

struct TProplistFree
{
    void operator()(pa_proplist *List) const { pa_proplist_free(List); }
};

// Who records, for the server's volume controls: the desktop file and icon.
std::unique_ptr<pa_proplist, TProplistFree> StreamProperties()
{
    std::unique_ptr<pa_proplist, TProplistFree> List(pa_proplist_new());
    pa_proplist_sets(List.get(), PA_PROP_APPLICATION_ID, DTMF_APP_ID);
    pa_proplist_sets(List.get(), PA_PROP_APPLICATION_ICON_NAME, DTMF_APP_ID);
    return List;
}

pa_sample_spec SampleSpec(const WAVEFORMATEX &Format)
{
    pa_sample_spec Sample;
    Sample.format = Format.wBitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    Sample.rate = Format.nSamplesPerSec;
    Sample.channels = static_cast<uint8_t>(Format.nChannels);
    return Sample;
}

// The server hands over FragmentBytes at a time and holds as much as it
// allows (4 MiB, some 20 s here): while the whole process is stopped, the
// server keeps the audio, and what it cannot hold it drops without telling
// the client.
pa_buffer_attr BufferAttributes()
{
    pa_buffer_attr Attr;
    Attr.maxlength = uint32_t(-1);
    Attr.tlength = uint32_t(-1);
    Attr.prebuf = uint32_t(-1);
    Attr.minreq = uint32_t(-1);
    Attr.fragsize = TPulseRecordStream::FragmentBytes;
    return Attr;
}

} // namespace

TPulseRecordStream::TPulseRecordStream(pa_threaded_mainloop *Loop, TWaveInWindow *Window,
                                       uint8_t SilenceByte, std::atomic<uint64_t> &Dropped)
    : Loop(Loop), Window(Window), Queue(Id(), Window, SilenceByte), Dropped(Dropped)
{
}

MMRESULT TPulseRecordStream::Connect(TPulseLock &Lock, TPulseContext &Context,
                                     const std::string &Source, const WAVEFORMATEX &Format)
{
    SourceName = Source.empty() ? "the default source" : Source;
    const pa_sample_spec Sample = SampleSpec(Format);
    pa_channel_map Map;
    pa_channel_map_init_auto(&Map, Sample.channels, PA_CHANNEL_MAP_DEFAULT);
    Stream = pa_stream_new_with_proplist(Context.Get(Lock), "DTMF capture", &Sample, &Map,
                                         StreamProperties().get());
    if (!Stream) {
        LogFailure(Context.FailureText(Lock));
        return Context.FailureCode(Lock);
    }
    pa_stream_set_state_callback(Stream, StateChanged, this);
    pa_stream_set_read_callback(Stream, Readable, this);
    const pa_buffer_attr Attr = BufferAttributes();
    // A chosen source is kept: if it goes away, the stream fails rather than
    // moving on to record something else.
    const int Flags = PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY |
                      (Source.empty() ? PA_STREAM_NOFLAGS : PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(Stream, Source.empty() ? nullptr : Source.c_str(), &Attr,
                                 pa_stream_flags_t(Flags)) < 0) {
        LogFailure(Context.FailureText(Lock));
        return Context.FailureCode(Lock);
    }
    if (!Lock.WaitForStream(Stream)) {
        // A failure was logged as the stream's state changed.
        const bool TimedOut = PA_STREAM_IS_GOOD(pa_stream_get_state(Stream));
        if (TimedOut)
            LogFailure("no answer in time");
        return TimedOut ? MMSYSERR_ERROR : Context.FailureCode(Lock);
    }
    SetBacklogLimit(Format);
    return MMSYSERR_NOERROR;
}

// Every arriving fragment is checked against the limit, so keeping a few
// fragments' room below maxlength means libpulse never has to drop audio
// silently.
void TPulseRecordStream::SetBacklogLimit(const WAVEFORMATEX &Format)
{
    const pa_buffer_attr *Granted = pa_stream_get_buffer_attr(Stream);
    const size_t Room = std::max<size_t>(8 * size_t(Granted->fragsize), 65536);
    BacklogLimit = std::min<size_t>(BacklogSeconds * Format.nAvgBytesPerSec,
                                    Granted->maxlength > 2 * Room ? Granted->maxlength - Room
                                                                  : Granted->maxlength / 2);
    if (AudioLogOn())
        AudioLog("recording stream opened on " + SourceName + ": fragments of " +
                 std::to_string(Granted->fragsize) + " bytes, server holds up to " +
                 std::to_string(Granted->maxlength) + ", backlog kept up to " +
                 std::to_string(BacklogLimit));
}

void TPulseRecordStream::Release(TPulseLock &)
{
    if (!Stream)
        return;
    if (AudioLogOn())
        AudioLog("recording stream on " + SourceName + " closed: " + std::to_string(Recorded) +
                 " bytes recorded, " + std::to_string(Lost) + " lost");
    pa_stream_set_state_callback(Stream, nullptr, nullptr);
    pa_stream_set_read_callback(Stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)))
        pa_stream_disconnect(Stream);
    pa_stream_unref(Stream);
    Stream = nullptr;
}

void TPulseRecordStream::NotifyClosed()
{
    if (Window)
        Window->PostWaveMessage(MM_WIM_CLOSE, Id(), nullptr);
}

MMRESULT TPulseRecordStream::AddBuffer(TPulseLock &, WAVEHDR *Header)
{
    if (Failed)
        return MMSYSERR_NODRIVER;
    if (!Queue.Add(Header))
        return WAVERR_STILLPLAYING;
    // Audio that waited for a buffer goes into it at once.
    Pull();
    return MMSYSERR_NOERROR;
}

MMRESULT TPulseRecordStream::Start(TPulseLock &Lock)
{
    if (Failed)
        return MMSYSERR_NODRIVER;
    if (Started)
        return MMSYSERR_NOERROR;
    if (!Lock.Track(pa_stream_cork(Stream, 0, nullptr, nullptr))) {
        Fail();
        return MMSYSERR_NODRIVER;
    }
    Started = true;
    return MMSYSERR_NOERROR;
}

void TPulseRecordStream::Reset(TPulseLock &Lock)
{
    if (Started && pa_stream_get_state(Stream) == PA_STREAM_READY) {
        // Audio still on its way is discarded as it arrives, since the
        // stream no longer counts as started.
        Lock.Track(pa_stream_cork(Stream, 1, nullptr, nullptr));
        Lock.Track(pa_stream_flush(Stream, nullptr, nullptr));
    }
    Started = false;
    Discard();
    Queue.ReturnAll();
}

// The stream or the server went away: every queued buffer comes back with
// what it holds, and the handle takes no more.
void TPulseRecordStream::Fail()
{
    if (Failed)
        return;
    Failed = true;
    Started = false;
    Queue.ReturnAll();
}

bool TPulseRecordStream::PeekFragment(const void *&Data, size_t &Bytes)
{
    Data = nullptr;
    Bytes = 0;
    return Stream && pa_stream_get_state(Stream) == PA_STREAM_READY &&
           pa_stream_peek(Stream, &Data, &Bytes) == 0 && Bytes > 0;
}

void TPulseRecordStream::DropFragment()
{
    pa_stream_drop(Stream);
    Taken = 0;
}

// A fragment without data is a hole in the stream, which the queue fills
// with silence. A fragment only partly taken stays in hand until the next
// buffer is queued.
void TPulseRecordStream::Pull()
{
    if (!Started) {
        Discard();
        return;
    }
    const void *Data;
    size_t Bytes;
    while (!Queue.Empty() && PeekFragment(Data, Bytes)) {
        const char *From = Data ? static_cast<const char *>(Data) + Taken : nullptr;
        const size_t Left = Bytes - Taken;
        const size_t Delivered = Left - Queue.Deliver(From, Left);
        Taken += Delivered;
        Recorded += Delivered;
        if (Taken < Bytes)
            break;
        DropFragment();
    }
    DropOverflow();
}

void TPulseRecordStream::Discard()
{
    const void *Data;
    size_t Bytes;
    while (PeekFragment(Data, Bytes))
        DropFragment();
}

// The oldest audio goes when the backlog nears what the stream can hold.
void TPulseRecordStream::DropOverflow()
{
    uint64_t Now = 0;
    const void *Data;
    size_t Bytes;
    while (Stream && pa_stream_readable_size(Stream) != size_t(-1) &&
           pa_stream_readable_size(Stream) > BacklogLimit && PeekFragment(Data, Bytes)) {
        Now += Bytes - Taken;
        DropFragment();
    }
    if (Now == 0)
        return;
    Lost += Now;
    Dropped += Now;
    if (AudioLogOn())
        AudioLog("lost " + std::to_string(Now) + " bytes of audio from " + SourceName +
                 ": no buffer was queued for too long");
}

void TPulseRecordStream::LogFailure(const char *Text) const
{
    if (AudioLogOn())
        AudioLog("recording stream on " + SourceName + " failed: " + Text);
}

// Mainloop thread from here on: the loop's lock is held.

void TPulseRecordStream::StateChanged(pa_stream *Stream, void *Self)
{
    auto *S = static_cast<TPulseRecordStream *>(Self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)) && !S->Failed) {
        S->LogFailure(pa_strerror(pa_context_errno(pa_stream_get_context(Stream))));
        S->Fail();
    }
    TPulseLock::Signal(S->Loop);
}

void TPulseRecordStream::Readable(pa_stream *, size_t, void *Self)
{
    static_cast<TPulseRecordStream *>(Self)->Pull();
}
