// The lock of the PulseAudio threaded mainloop, held for a scope. Every wait
// for the server is a member, so nothing can wait without holding the lock:
// a wait lets the lock go while it sleeps, takes it back, and gives up after
// TimeoutMs. Functions that need the lock take a TPulseLock & to say so; the
// libpulse callbacks run on the mainloop thread, which holds it already.
#pragma once

#include <memory>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_operation;

// A pa_operation is unreferenced when its holder goes; an operation still
// running is left to finish on its own (cancel it first to stop it).
struct TOperationRelease
{
    void operator()(pa_operation *Operation) const;
};
using TPulseOperation = std::unique_ptr<pa_operation, TOperationRelease>;

class TPulseLock
{
  public:
    // How long one wait for the server lasts at most, in milliseconds.
    static constexpr int TimeoutMs = 4000;

    explicit TPulseLock(pa_threaded_mainloop *Loop);
    ~TPulseLock();
    TPulseLock(const TPulseLock &) = delete;
    TPulseLock &operator=(const TPulseLock &) = delete;

    // Holds Operation (which may be null), waking the waits of this lock
    // whenever its state changes.
    TPulseOperation Track(pa_operation *Operation);

    // Until Context is ready (true), or has failed, or the time is up.
    bool WaitForContext(pa_context *Context);
    // Until Operation has finished (true), or was cancelled (its context
    // failed), or the time is up.
    bool WaitForOperation(const TPulseOperation &Operation);
    // Until Stream is ready (true), or has failed, or the time is up.
    bool WaitForStream(pa_stream *Stream);

    // Wakes the waits; for callbacks on the mainloop thread.
    static void Signal(pa_threaded_mainloop *Loop);

  private:
    template <typename Predicate> bool WaitUntil(Predicate Done);

    pa_threaded_mainloop *Loop;
};
