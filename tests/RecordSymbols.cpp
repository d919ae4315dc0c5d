// Records from device 0 of the sound server named by the environment and
// prints what it decodes, for tests that stall or stop a whole recording
// process. Prints "recording PID" once blocks arrive. Each line "stall MS" on
// standard input keeps the notifications unhandled for MS milliseconds, as a
// busy GUI thread would; the end of standard input stops capture, and the
// program prints "symbols: ..." and "dropped: N" (bytes of audio lost). The
// capture layer's diagnostics go to standard error.
#include "AudioLog.h"
#include "CaptureHarness.h"
#include "PulseWaveIn.h"

#include <chrono>
#include <cstdio>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// Reads what standard input has now; false once it has ended.
bool ReadCommands(std::string &Pending)
{
    pollfd In = {STDIN_FILENO, POLLIN, 0};
    while (poll(&In, 1, 0) > 0) {
        char Chunk[256];
        const ssize_t Got = read(STDIN_FILENO, Chunk, sizeof Chunk);
        if (Got <= 0)
            return false;
        Pending.append(Chunk, static_cast<size_t>(Got));
    }
    return true;
}

void RunCommands(std::string &Pending)
{
    for (size_t End; (End = Pending.find('\n')) != std::string::npos;) {
        const std::string Line = Pending.substr(0, End);
        Pending.erase(0, End + 1);
        if (Line.rfind("stall ", 0) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(Line.substr(6))));
    }
}

void WriteLog(const std::string &Text)
{
    std::fprintf(stderr, "audio: %s\n", Text.c_str());
}

} // namespace

int main()
{
    SetAudioLogSink(WriteLog);
    InputDeviceIndex = 0;
    TRecorder Recorder;
    if (!Recorder.StartRecording()) {
        std::fprintf(stderr, "capture did not start\n");
        return 1;
    }
    std::printf("recording %d\n", static_cast<int>(getpid()));
    std::fflush(stdout);
    for (std::string Pending; ReadCommands(Pending);) {
        RunCommands(Pending);
        Recorder.PumpFor(std::chrono::milliseconds(20));
    }
    Recorder.Control.SwitchCapture(false);
    std::printf("symbols: %s\ndropped: %llu\n", Recorder.Line.Text().c_str(),
                static_cast<unsigned long long>(TPulseWaveIn::Instance().DroppedBytes()));
    for (const std::string &Warning : Recorder.Control.Warnings)
        std::fprintf(stderr, "warning: %s\n", Warning.c_str());
    return Recorder.Control.Warnings.empty() ? 0 : 1;
}
