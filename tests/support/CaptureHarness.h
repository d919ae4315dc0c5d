// A stand-in for the main window in the capture tests: a notification queue
// that any thread may post to, and a capture control whose hooks record what
// a window would show.
#pragma once

#include "CaptureControl.h"
#include "window/DigitLine.h"
#include "window/DtmfSpine.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class TQueuedWindow : public TWaveInWindow
{
  public:
    using TClock = std::chrono::steady_clock;
    struct TMessage
    {
        UINT Msg;
        HWAVEIN Handle;
        WAVEHDR *Header;
        TClock::time_point Posted;
    };

    void PostWaveMessage(UINT Msg, HWAVEIN Handle, WAVEHDR *Header) override
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        Queue.push_back({Msg, Handle, Header, TClock::now()});
        Arrived.notify_one();
    }
    bool Take(TMessage &Message)
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        if (Queue.empty())
            return false;
        Message = Queue.front();
        Queue.pop_front();
        return true;
    }
    void WaitForMessage(std::chrono::milliseconds Timeout)
    {
        std::unique_lock<std::mutex> Lock(Mutex);
        Arrived.wait_for(Lock, Timeout, [this] { return !Queue.empty(); });
    }
    std::vector<UINT> PendingKinds()
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        std::vector<UINT> Kinds;
        for (const TMessage &M : Queue)
            Kinds.push_back(M.Msg);
        return Kinds;
    }

  private:
    std::mutex Mutex;
    std::condition_variable Arrived;
    std::deque<TMessage> Queue;
};

class THarnessControl : public TCaptureControl
{
  public:
    THarnessControl(TDtmfSpine &Spine, TQueuedWindow &Window)
        : TCaptureControl(Spine, Window), Queue(Window)
    {
    }

    std::vector<std::string> Warnings;
    // Running as seen inside each warning dialog, after its event loop ran.
    std::vector<bool> RunningInDialog;
    std::vector<int32_t> MeterPositions;
    // Microseconds from a data notification's posting to its handling.
    std::vector<double> DataLatencyUs;
    int32_t LastMeterPosition = 0;
    int Passes = 0;
    // False: the wait loop's pause only counts, so a long wait is quick.
    bool RealPause = false;
    // False: nothing is kept per block, for runs of millions of blocks.
    bool KeepRecords = true;

    void ShowWarning(const std::string &Text) override
    {
        Warnings.push_back(Text);
        // A modal dialog's own event loop goes on handling notifications.
        ProcessMessages();
        RunningInDialog.push_back(Running);
    }
    void ProcessMessages() override
    {
        for (TQueuedWindow::TMessage M; Queue.Take(M);) {
            if (M.Msg == MM_WIM_DATA && KeepRecords)
                DataLatencyUs.push_back(std::chrono::duration<double, std::micro>(
                                            TQueuedWindow::TClock::now() - M.Posted)
                                            .count());
            HandleWaveMessage(M.Msg, M.Handle, M.Header);
        }
    }
    void SetMeterPosition(int32_t Position) override
    {
        LastMeterPosition = Position;
        if (KeepRecords)
            MeterPositions.push_back(Position);
    }
    void PauseOneMillisecond() override
    {
        ++Passes;
        if (RealPause)
            TCaptureControl::PauseOneMillisecond();
    }

  private:
    TQueuedWindow &Queue;
};

// The capture control with a window's event loop around it, recording from
// InputDeviceIndex into a digit line held as a string.
struct TRecorder
{
    using TClock = std::chrono::steady_clock;

    TQueuedWindow Window;
    TStringDigitLine Line;
    TDtmfSpine Spine{Line};
    THarnessControl Control{Spine, Window};

    TRecorder()
    {
        FillCaptureFormat(CaptureFormat);
        Control.RealPause = true;
    }
    ~TRecorder() { Control.CloseHandles(); }

    template <typename Predicate> bool PumpUntil(Predicate Done, TClock::duration Limit)
    {
        for (const auto End = TClock::now() + Limit; !Done() && TClock::now() < End;) {
            Window.WaitForMessage(std::chrono::milliseconds(20));
            Control.ProcessMessages();
        }
        return Done();
    }
    void PumpFor(TClock::duration Span)
    {
        PumpUntil([] { return false; }, Span);
    }
    // Starts capture and waits, at most Limit, for a few blocks; false if
    // they did not come.
    bool StartRecording(TClock::duration Limit = std::chrono::seconds(10))
    {
        Control.SwitchCapture(true);
        return PumpUntil([&] { return Control.MeterPositions.size() >= 5; }, Limit) &&
               Control.Running;
    }
};
