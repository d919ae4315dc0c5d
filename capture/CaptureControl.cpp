#include "CaptureControl.h"

#include "mmErrMsg.h"
#include "window/DtmfSpine.h"

#include <chrono>
#include <thread>

WAVEFORMATEX CaptureFormat = {};
int32_t InputDeviceIndex = 0;

namespace {

const char OpenFailurePrefix[] = "Can`t open audio device !\r\n";

} // namespace

void FillCaptureFormat(WAVEFORMATEX &Format)
{
    Format.wFormatTag = WAVE_FORMAT_PCM;
    Format.nChannels = 1;
    Format.nSamplesPerSec = 48000;
    Format.wBitsPerSample = 16;
    Format.nAvgBytesPerSec =
        (Format.nChannels * Format.nSamplesPerSec * Format.wBitsPerSample) >> 3;
    Format.nBlockAlign = static_cast<WORD>((Format.nChannels * Format.wBitsPerSample) >> 3);
    Format.cbSize = 0;
}

TCaptureControl::TCaptureControl(TDtmfSpine &Spine, TWaveInWindow &Window)
    : Spine(Spine), Window(Window)
{
}

void TCaptureControl::ClearCaptureState()
{
    Running = false;
    Stopping = false;
    OpenCount = 0;
    CloseCount = 0;
    WaveIn1 = nullptr;
    WaveIn2 = nullptr;
}

void TCaptureControl::SwitchCapture(bool Enable)
{
    if (Enable)
        StartCapture();
    else
        StopCapture();
}

bool TCaptureControl::OpenDevice(HWAVEIN &Handle)
{
    const MMRESULT Result = waveInOpen(&Handle, static_cast<UINT>(InputDeviceIndex), &CaptureFormat,
                                       WaveInWindowCallback(&Window), 0, CALLBACK_WINDOW);
    if (Result == MMSYSERR_NOERROR)
        return true;
    ShowWarning(std::string(OpenFailurePrefix) + MMErrorText(Result));
    Running = false;
    return false;
}

void TCaptureControl::ReportFailure(MMRESULT Result)
{
    if (Result == MMSYSERR_NOERROR)
        return;
    // Failed already while the dialog is open, so that the buffers handed
    // back meanwhile are neither analysed nor queued again; and again after
    // it, as notifications handled inside it may have set Running.
    Stopping = true;
    Running = false;
    ShowWarning(MMErrorText(Result));
    Stopping = true;
    Running = false;
}

void TCaptureControl::StartCapture()
{
    if (Running)
        return;
    if (!OpenDevice(WaveIn1) || !OpenDevice(WaveIn2))
        return;
    OpenCount = 0;
    CloseCount = 0;
    for (int i = 0; i < WaveBufferCount; ++i) {
        WAVEHDR &Header = WaveHeaders[i];
        Header.lpData = WaveBuffers[i];
        Header.dwBufferLength = WaveBufferBytes;
        Header.dwBytesRecorded = 0;
        Header.dwFlags = 0;
        Header.dwLoops = 0;
        Header.lpNext = nullptr;
        Header.reserved = 0;
        ReportFailure(waveInPrepareHeader(WaveIn1, &Header, sizeof(WAVEHDR)));
        ReportFailure(waveInAddBuffer(WaveIn1, &Header, sizeof(WAVEHDR)));
    }
    ReportFailure(waveInStart(WaveIn1));
}

void TCaptureControl::StopCapture()
{
    Stopping = true;
    ResetAndClose(WaveIn1);
    ResetAndClose(WaveIn2);
    WaitWhileRunning();
}

void TCaptureControl::ResetAndClose(HWAVEIN &Handle)
{
    if (!Handle)
        return;
    waveInReset(Handle);
    waveInClose(Handle);
    Handle = nullptr;
}

void TCaptureControl::WaitWhileRunning()
{
    int Passes = 0;
    do {
        ProcessMessages();
        PauseOneMillisecond();
        ++Passes;
    } while (Running && Passes < MaxWaitPasses);
}

void TCaptureControl::PauseOneMillisecond()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TCaptureControl::CloseHandles()
{
    ResetAndClose(WaveIn1);
    ResetAndClose(WaveIn2);
}

void TCaptureControl::ClearFailedCapture()
{
    if (Running)
        return;
    // Buffers handed back by the reset are neither analysed nor queued again.
    Stopping = true;
    CloseHandles();
    // The driver posts the returned buffers and the close notifications
    // before its calls return; they are all handled here, before the counts
    // are cleared for the next start.
    ProcessMessages();
    ClearCaptureState();
}

void TCaptureControl::HandleWaveMessage(UINT Msg, HWAVEIN, WAVEHDR *Header)
{
    switch (Msg) {
    case MM_WIM_OPEN:
        OpenArrived();
        break;
    case MM_WIM_DATA:
        if (Header)
            DataArrived(*Header);
        break;
    case MM_WIM_CLOSE:
        CloseArrived();
        break;
    default:
        break;
    }
}

void TCaptureControl::OpenArrived()
{
    ++OpenCount;
    if (OpenCount == 1) {
        Running = true;
        OpenCount = 0;
    }
}

// A filled (or, on a reset, partly filled) buffer: analysed unless capture is
// stopping, then queued again while the recording handle is open. Once
// capture has failed, buffers that come back are kept: queuing them again
// would only fail again, with one more warning for every buffer (a lost
// device hands back all four).
void TCaptureControl::DataArrived(WAVEHDR &Header)
{
    if (!Stopping) {
        const int32_t PeakLevel =
            Spine.ReceiveBlock(Header.lpData, static_cast<int32_t>(Header.dwBytesRecorded));
        SetMeterPosition(PeakLevel);
    }
    const bool Failed = Stopping && !Running;
    if (WaveIn1 && !Failed)
        ReportFailure(waveInAddBuffer(WaveIn1, &Header, sizeof(WAVEHDR)));
}

void TCaptureControl::CloseArrived()
{
    ++CloseCount;
    if (CloseCount == 2) {
        Running = false;
        CloseCount = 0;
        Stopping = false;
        SetMeterPosition(0);
    }
}
