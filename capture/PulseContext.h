// The connection to the PulseAudio server: a threaded mainloop and its
// context. The mainloop thread runs while the driver needs the server and is
// stopped when it is idle; a connection that was lost is made afresh on the
// next call that needs the server.
#pragma once

#include "PulseLock.h"
#include "WaveIn.h"

struct pa_threaded_mainloop;
struct pa_context;

class TPulseContext
{
  public:
    TPulseContext() = default;
    ~TPulseContext();
    TPulseContext(const TPulseContext &) = delete;
    TPulseContext &operator=(const TPulseContext &) = delete;

    // Starts the mainloop thread unless it runs; false if it cannot start.
    bool StartLoop();
    // Disconnects and ends the mainloop thread. Not with the lock held.
    void StopLoop();
    bool LoopRunning() const { return Loop != nullptr; }
    // The loop to lock; null while the thread is not running.
    pa_threaded_mainloop *MainLoop() const { return Loop; }

    // Connects unless connected, waiting for the server; true when ready.
    bool Connect(TPulseLock &Lock);
    // The connected context (null before Connect).
    pa_context *Get(TPulseLock &) const { return Context; }
    // The connection exists and has not failed.
    bool Good(TPulseLock &Lock) const;
    // The wave-in code for the server request that failed last.
    MMRESULT FailureCode(TPulseLock &Lock) const;
    // libpulse's own text for that failure.
    const char *FailureText(TPulseLock &Lock) const;

  private:
    void Disconnect();
    static void StateChanged(pa_context *Context, void *Loop);

    pa_threaded_mainloop *Loop = nullptr;
    pa_context *Context = nullptr;
};
