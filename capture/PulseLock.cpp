#include "PulseLock.h"

#include <pulse/pulseaudio.h>

namespace {

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

void OperationStateChanged(pa_operation *, void *Loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop *>(Loop), 0);
}

} // namespace

void TOperationRelease::operator()(pa_operation *Operation) const
{
    pa_operation_set_state_callback(Operation, nullptr, nullptr);
    pa_operation_unref(Operation);
}

TPulseLock::TPulseLock(pa_threaded_mainloop *Loop) : Loop(Loop)
{
    pa_threaded_mainloop_lock(Loop);
}

TPulseLock::~TPulseLock()
{
    pa_threaded_mainloop_unlock(Loop);
}

void TPulseLock::Signal(pa_threaded_mainloop *Loop)
{
    pa_threaded_mainloop_signal(Loop, 0);
}

TPulseOperation TPulseLock::Track(pa_operation *Operation)
{
    if (Operation)
        pa_operation_set_state_callback(Operation, OperationStateChanged, Loop);
    return TPulseOperation(Operation);
}

template <typename Predicate> bool TPulseLock::WaitUntil(Predicate Done)
{
    pa_mainloop_api *Api = pa_threaded_mainloop_get_api(Loop);
    struct timeval When;
    pa_gettimeofday(&When);
    pa_timeval_add(&When, pa_usec_t(TimeoutMs) * PA_USEC_PER_MSEC);
    TTimeout Timeout{Loop, false};
    pa_time_event *Timer = Api->time_new(Api, &When, TimeoutExpired, &Timeout);
    bool Finished = Done();
    while (!Finished && !Timeout.Expired) {
        pa_threaded_mainloop_wait(Loop);
        Finished = Done();
    }
    Api->time_free(Timer);
    return Finished;
}

bool TPulseLock::WaitForContext(pa_context *Context)
{
    WaitUntil([Context] {
        return !PA_CONTEXT_IS_GOOD(pa_context_get_state(Context)) ||
               pa_context_get_state(Context) == PA_CONTEXT_READY;
    });
    return pa_context_get_state(Context) == PA_CONTEXT_READY;
}

bool TPulseLock::WaitForOperation(const TPulseOperation &Operation)
{
    if (!Operation)
        return false;
    WaitUntil([&] { return pa_operation_get_state(Operation.get()) != PA_OPERATION_RUNNING; });
    return pa_operation_get_state(Operation.get()) == PA_OPERATION_DONE;
}

bool TPulseLock::WaitForStream(pa_stream *Stream)
{
    WaitUntil([Stream] {
        return !PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)) ||
               pa_stream_get_state(Stream) == PA_STREAM_READY;
    });
    return pa_stream_get_state(Stream) == PA_STREAM_READY;
}
