#include "PulseContext.h"
#include "AudioLog.h"

#include <pulse/pulseaudio.h>

TPulseContext::~TPulseContext()
{
    StopLoop();
}

bool TPulseContext::StartLoop()
{
    if (Loop)
        return true;
    Loop = pa_threaded_mainloop_new();
    if (Loop && pa_threaded_mainloop_start(Loop) == 0)
        return true;
    if (Loop)
        pa_threaded_mainloop_free(Loop);
    Loop = nullptr;
    return false;
}

void TPulseContext::StopLoop()
{
    if (!Loop)
        return;
    {
        TPulseLock Lock(Loop);
        Disconnect();
    }
    pa_threaded_mainloop_stop(Loop);
    pa_threaded_mainloop_free(Loop);
    Loop = nullptr;
}

bool TPulseContext::Connect(TPulseLock &Lock)
{
    if (Context && pa_context_get_state(Context) == PA_CONTEXT_READY)
        return true;
    Disconnect();
    Context = pa_context_new(pa_threaded_mainloop_get_api(Loop), "DTMF");
    if (Context) {
        pa_context_set_state_callback(Context, StateChanged, Loop);
        if (pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) == 0 &&
            Lock.WaitForContext(Context)) {
            if (AudioLogOn())
                AudioLog(std::string("connected to the sound server ") +
                         pa_context_get_server(Context));
            return true;
        }
    }
    if (AudioLogOn())
        AudioLog(std::string("no connection to the sound server: ") +
                 (!Context     ? "no context"
                  : Good(Lock) ? "no answer in time"
                               : pa_strerror(pa_context_errno(Context))));
    Disconnect();
    return false;
}

void TPulseContext::Disconnect()
{
    if (!Context)
        return;
    pa_context_set_state_callback(Context, nullptr, nullptr);
    pa_context_disconnect(Context);
    pa_context_unref(Context);
    Context = nullptr;
}

bool TPulseContext::Good(TPulseLock &) const
{
    return Context && PA_CONTEXT_IS_GOOD(pa_context_get_state(Context));
}

MMRESULT TPulseContext::FailureCode(TPulseLock &Lock) const
{
    if (!Good(Lock))
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

const char *TPulseContext::FailureText(TPulseLock &) const
{
    return Context ? pa_strerror(pa_context_errno(Context)) : "not connected";
}

// Mainloop thread. A lost connection fails every stream on it through the
// streams' own state changes; here the waits only learn of it.
void TPulseContext::StateChanged(pa_context *, void *Loop)
{
    TPulseLock::Signal(static_cast<pa_threaded_mainloop *>(Loop));
}
