// Capture control: opens the chosen wave-in device twice, keeps four buffers
// queued on the first handle, feeds every filled buffer through the spine and
// back to the driver, and stops, waiting for the driver, on request.
#pragma once

#include "WaveIn.h"

#include <cstdint>
#include <string>

class TDtmfSpine;

constexpr int WaveBufferCount = 4;
constexpr int WaveBufferBytes = 2048;
constexpr int MaxWaitPasses = 3001;

// The PCM format every capture opens with; filled by FillCaptureFormat.
extern WAVEFORMATEX CaptureFormat;
// The device capture opens; 0 at every start.
extern int32_t InputDeviceIndex;

// PCM, mono, 48000 Hz, 16 bits; the two derived fields worked out from those.
void FillCaptureFormat(WAVEFORMATEX &Format);

class TCaptureControl
{
  public:
    // Window is where the driver posts its notifications; the owner hands
    // each of them back to HandleWaveMessage on its own thread.
    TCaptureControl(TDtmfSpine &Spine, TWaveInWindow &Window);
    virtual ~TCaptureControl() = default;

    // Running, Stopping, OpenCount, CloseCount, WaveIn1 and WaveIn2 to zero.
    void ClearCaptureState();

    // true: open, queue and start when not running; false: stop and wait.
    void SwitchCapture(bool Enable);

    // The handling of MM_WIM_OPEN, MM_WIM_DATA and MM_WIM_CLOSE; other
    // messages are ignored.
    void HandleWaveMessage(UINT Msg, HWAVEIN Handle, WAVEHDR *Header);

    // {ProcessMessages; sleep 1 ms} at least once, until Running is false or
    // MaxWaitPasses passes have been made.
    void WaitWhileRunning();

    // Resets and closes any handle still open (the window's destruction).
    void CloseHandles();

    // Once capture has failed or was never started: closes the handles the
    // failure left open, handles what the driver sends back for them and
    // clears the capture state, so that SwitchCapture(true) starts afresh.
    // Does nothing while capture runs.
    void ClearFailedCapture();

    HWAVEIN WaveIn1 = nullptr;
    HWAVEIN WaveIn2 = nullptr;
    WAVEHDR WaveHeaders[WaveBufferCount] = {};
    char WaveBuffers[WaveBufferCount][WaveBufferBytes] = {};
    bool Running = false;
    bool Stopping = false;
    int32_t OpenCount = 0;
    int32_t CloseCount = 0;

  protected:
    // A modal warning dialog; driver notifications go on being handled while
    // it is open.
    virtual void ShowWarning(const std::string &Text) = 0;
    // Runs the handlers of every pending event, the driver's notifications too.
    virtual void ProcessMessages() = 0;
    // The level meter's position.
    virtual void SetMeterPosition(int32_t Position) = 0;
    // The pause of one pass of the wait loop: 1 ms.
    virtual void PauseOneMillisecond();

  private:
    void StartCapture();
    void StopCapture();
    // Opens InputDeviceIndex into Handle; a refusal is reported.
    bool OpenDevice(HWAVEIN &Handle);
    void ResetAndClose(HWAVEIN &Handle);
    // A non-zero Result is shown and leaves capture failed.
    void ReportFailure(MMRESULT Result);
    void OpenArrived();
    void DataArrived(WAVEHDR &Header);
    void CloseArrived();

    TDtmfSpine &Spine;
    TWaveInWindow &Window;
};
