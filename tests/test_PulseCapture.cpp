// The wave-in layer and the capture control against a real PulseAudio daemon
// that each test starts privately (and, in one test, kills), and against no
// sound server at all.
#include "CaptureHarness.h"
#include "PulseWaveIn.h"
#include "ToneSignals.h"
#include "mmErrMsg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <signal.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

const std::string OpenFailure = "Can`t open audio device !\r\n";
// 38 bytes: eight ASCII letters and fifteen two-byte ones.
const std::string LongDescription =
    "Eingang_\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84"
    "\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C";

std::string RunCommand(const std::string &Command)
{
    std::string Output;
    FILE *Pipe = popen(Command.c_str(), "r");
    if (!Pipe)
        return Output;
    char Chunk[512];
    while (size_t Got = fread(Chunk, 1, sizeof(Chunk), Pipe))
        Output.append(Chunk, Got);
    if (pclose(Pipe) != 0)
        Output.clear();
    return Output;
}

// A private daemon started by the shared shell helper; its environment is
// taken into this process, so the layer and paplay find it.
class TPrivateDaemon
{
  public:
    bool Start(const std::vector<std::string> &ExtraModules)
    {
        std::string Command = std::string("bash ") + PULSE_DAEMON_SCRIPT + " start";
        for (const std::string &Module : ExtraModules)
            Command += " '" + Module + "'";
        const std::string Output = RunCommand(Command);
        size_t At = 0;
        while (At < Output.size()) {
            const size_t End = std::min(Output.find('\n', At), Output.size());
            std::string Line = Output.substr(At, End - At);
            At = End + 1;
            const std::string Prefix = "export ";
            const size_t Eq = Line.find('=');
            if (Line.compare(0, Prefix.size(), Prefix) != 0 || Eq == std::string::npos)
                continue;
            const std::string Key = Line.substr(Prefix.size(), Eq - Prefix.size());
            const std::string Value = Line.substr(Eq + 1);
            setenv(Key.c_str(), Value.c_str(), 1);
            if (Key == "PULSE_DAEMON_PID")
                Pid = std::stoi(Value);
            if (Key == "PULSE_DAEMON_DIR")
                Dir = Value;
        }
        return Pid > 0;
    }

    void Kill() { kill(Pid, SIGKILL); }

    void Stop()
    {
        if (Pid > 0)
            RunCommand(std::string("bash ") + PULSE_DAEMON_SCRIPT + " stop " + std::to_string(Pid) +
                       " " + Dir);
        Pid = 0;
    }

    ~TPrivateDaemon() { Stop(); }

  private:
    pid_t Pid = 0;
    std::string Dir;
};

int ThreadCount()
{
    int Count = 0;
    if (DIR *Tasks = opendir("/proc/self/task")) {
        while (dirent *Entry = readdir(Tasks))
            if (Entry->d_name[0] != '.')
                ++Count;
        closedir(Tasks);
    }
    return Count;
}

void WriteWave(const std::string &Path, const std::vector<int16_t> &Samples)
{
    auto Put32 = [](std::ofstream &Out, uint32_t V) { Out.write(reinterpret_cast<char *>(&V), 4); };
    auto Put16 = [](std::ofstream &Out, uint16_t V) { Out.write(reinterpret_cast<char *>(&V), 2); };
    const uint32_t DataBytes = static_cast<uint32_t>(Samples.size() * 2);
    std::ofstream Out(Path, std::ios::binary);
    Out.write("RIFF", 4);
    Put32(Out, 36 + DataBytes);
    Out.write("WAVEfmt ", 8);
    Put32(Out, 16);
    Put16(Out, 1);
    Put16(Out, 1);
    Put32(Out, 48000);
    Put32(Out, 96000);
    Put16(Out, 2);
    Put16(Out, 16);
    Out.write("data", 4);
    Put32(Out, DataBytes);
    Out.write(reinterpret_cast<const char *>(Samples.data()), DataBytes);
}

std::string ProductNameOf(UINT DeviceId)
{
    WAVEINCAPSA Caps;
    if (waveInGetDevCapsA(DeviceId, &Caps, sizeof(Caps)) != MMSYSERR_NOERROR)
        return "(caps failed)";
    return std::string(Caps.szPname, strnlen(Caps.szPname, sizeof(Caps.szPname)));
}

struct Recorder
{
    TQueuedWindow Window;
    TStringDigitLine Line;
    TDtmfSpine Spine{Line};
    THarnessControl Control{Spine, Window};

    Recorder()
    {
        FillCaptureFormat(CaptureFormat);
        InputDeviceIndex = 0;
        Control.ClearCaptureState();
        Control.RealPause = true;
    }
    ~Recorder() { Control.CloseHandles(); }

    // Handles notifications as a window's event loop would, until Done or
    // Limit has passed; returns Done().
    template <typename Predicate> bool PumpUntil(Predicate Done, TClock::duration Limit)
    {
        const auto End = TClock::now() + Limit;
        while (!Done() && TClock::now() < End) {
            Window.WaitForMessage(20ms);
            Control.ProcessMessages();
        }
        return Done();
    }
    void PumpFor(TClock::duration Span)
    {
        PumpUntil([] { return false; }, Span);
    }
};

struct PulseServer : ::testing::Test
{
    TPrivateDaemon Daemon;
    int ThreadsBefore = ThreadCount();

    void SetUp() override
    {
        ASSERT_TRUE(Daemon.Start({"module-null-source source_name=mic rate=48000 channels=1 "
                                  "description=" +
                                  LongDescription}));
    }
};

TEST_F(PulseServer, ListsTheDefaultSourceFirstThenInputsThenMonitors)
{
    ASSERT_EQ(3u, waveInGetNumDevs());
    EXPECT_EQ("Monitor of LineOne", ProductNameOf(0));
    EXPECT_EQ(LongDescription.substr(0, 30), ProductNameOf(1));
    EXPECT_EQ("Monitor of LineTwo", ProductNameOf(2));

    WAVEFORMATEX Format;
    FillCaptureFormat(Format);
    for (UINT Id : {0u, 1u, 2u, WAVE_MAPPER})
        EXPECT_EQ(MMSYSERR_NOERROR, waveInOpen(nullptr, Id, &Format, 0, 0, WAVE_FORMAT_QUERY));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(nullptr, 3, &Format, 0, 0, WAVE_FORMAT_QUERY));
    WAVEINCAPSA Caps;
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInGetDevCapsA(3, &Caps, sizeof(Caps)));
    WAVEFORMATEX Wide = Format;
    Wide.wBitsPerSample = 24;
    Wide.nBlockAlign = 3;
    Wide.nAvgBytesPerSec = 144000;
    EXPECT_EQ(WAVERR_BADFORMAT, waveInOpen(nullptr, 0, &Wide, 0, 0, WAVE_FORMAT_QUERY));
    HWAVEIN Handle = nullptr;
    EXPECT_EQ(WAVERR_BADFORMAT, waveInOpen(&Handle, 0, &Wide, 0, 0, 0));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(&Handle, 3, &Format, 0, 0, 0));
    // Enumerating leaves no thread behind.
    EXPECT_EQ(ThreadsBefore, ThreadCount());
}

TEST_F(PulseServer, TwoHandlesOnOneSourceOpenAndCloseInOrder)
{
    TQueuedWindow Window;
    WAVEFORMATEX Format;
    FillCaptureFormat(Format);
    HWAVEIN First = nullptr;
    HWAVEIN Second = nullptr;
    ASSERT_EQ(MMSYSERR_NOERROR,
              waveInOpen(&First, 1, &Format, WaveInWindowCallback(&Window), 0, CALLBACK_WINDOW));
    ASSERT_EQ(MMSYSERR_NOERROR,
              waveInOpen(&Second, 1, &Format, WaveInWindowCallback(&Window), 0, CALLBACK_WINDOW));
    EXPECT_NE(First, Second);
    EXPECT_EQ(MMSYSERR_NOERROR, waveInReset(Second));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(Second));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(First));
    EXPECT_EQ((std::vector<UINT>{MM_WIM_OPEN, MM_WIM_OPEN, MM_WIM_CLOSE, MM_WIM_CLOSE}),
              Window.PendingKinds());
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInClose(First));
    EXPECT_EQ(ThreadsBefore, ThreadCount());
}

TEST_F(PulseServer, PlayedDigitsAreRecordedAndDecoded)
{
    const std::string Digits = "147*2580#369ABCD";
    std::vector<int16_t> Signal;
    AppendSilence(Signal, 48000 / 4);
    const std::vector<int16_t> Tones = DtmfSequence(Digits, 48000);
    Signal.insert(Signal.end(), Tones.begin(), Tones.end());
    AppendSilence(Signal, 48000 / 4);
    char WavePath[] = "/tmp/dtmf-played-XXXXXX";
    const int Fd = mkstemp(WavePath);
    ASSERT_GE(Fd, 0);
    close(Fd);
    WriteWave(WavePath, Signal);

    Recorder R;
    R.Control.SwitchCapture(true);
    ASSERT_TRUE(R.PumpUntil([&] { return R.Control.Running; }, 5s));
    ASSERT_TRUE(R.Control.Warnings.empty());
    R.PumpFor(200ms);

    std::atomic<bool> Played{false};
    int PlayResult = -1;
    std::thread Player([&] {
        PlayResult = std::system(("paplay --device=line1 " + std::string(WavePath)).c_str());
        Played = true;
    });
    const bool Finished = R.PumpUntil([&] { return Played.load(); }, 30s);
    Player.join();
    ASSERT_TRUE(Finished);
    ASSERT_EQ(0, PlayResult);
    R.PumpFor(300ms);
    unlink(WavePath);

    R.Control.SwitchCapture(false);
    EXPECT_EQ(Digits, R.Line.Text());
    EXPECT_TRUE(R.Control.Warnings.empty());
    EXPECT_FALSE(R.Control.Running);
    EXPECT_FALSE(R.Control.Stopping);
    EXPECT_EQ(nullptr, R.Control.WaveIn1);
    EXPECT_EQ(nullptr, R.Control.WaveIn2);
    EXPECT_EQ(0, R.Control.MeterPositions.back());
    // The two tones of 8000 each show on the meter.
    EXPECT_GT(*std::max_element(R.Control.MeterPositions.begin(), R.Control.MeterPositions.end()),
              12000);
    EXPECT_EQ(0, TPulseWaveIn::Instance().OpenHandles());
    EXPECT_FALSE(TPulseWaveIn::Instance().MainloopRunning());
    EXPECT_EQ(ThreadsBefore, ThreadCount());

    std::vector<double> Latency = R.Control.DataLatencyUs;
    ASSERT_GT(Latency.size(), 100u);
    std::sort(Latency.begin(), Latency.end());
    std::printf("buffer filled to notification handled, %zu blocks: median %.0f us, "
                "99th percentile %.0f us, max %.0f us\n",
                Latency.size(), Latency[Latency.size() / 2], Latency[Latency.size() * 99 / 100],
                Latency.back());
    std::printf("audio dropped for want of a queued buffer: %llu bytes\n",
                static_cast<unsigned long long>(TPulseWaveIn::Instance().DroppedBytes()));
}

TEST_F(PulseServer, DaemonKilledWhileRecordingIsReportedWithoutHanging)
{
    Recorder R;
    R.Control.SwitchCapture(true);
    ASSERT_TRUE(R.PumpUntil([&] { return R.Control.Running; }, 5s));
    ASSERT_TRUE(R.PumpUntil([&] { return R.Control.MeterPositions.size() >= 5; }, 5s));

    Daemon.Kill();
    ASSERT_TRUE(R.PumpUntil([&] { return !R.Control.Warnings.empty(); }, 10s));
    R.PumpFor(100ms);
    // Each buffer handed back fails to go back to the driver.
    EXPECT_LE(R.Control.Warnings.size(), size_t(WaveBufferCount));
    for (const std::string &Warning : R.Control.Warnings)
        EXPECT_EQ("no device driver present", Warning);
    EXPECT_FALSE(R.Control.Running);
    EXPECT_TRUE(R.Control.Stopping);

    // The window's destruction closes what is left.
    R.Control.CloseHandles();
    R.Control.ProcessMessages();
    EXPECT_EQ(nullptr, R.Control.WaveIn1);
    EXPECT_EQ(ThreadsBefore, ThreadCount());
    EXPECT_EQ(0u, waveInGetNumDevs());
}

TEST_F(PulseServer, SourceRemovedWhileRecordingIsReported)
{
    Recorder R;
    InputDeviceIndex = 2; // Monitor of LineTwo
    R.Control.SwitchCapture(true);
    ASSERT_TRUE(R.PumpUntil([&] { return R.Control.Running; }, 5s));
    ASSERT_TRUE(R.PumpUntil([&] { return R.Control.MeterPositions.size() >= 5; }, 5s));

    ASSERT_EQ(0, std::system("pactl unload-module "
                             "$(pactl list short modules | awk '/sink_name=line2 /{print $1}')"));
    ASSERT_TRUE(R.PumpUntil([&] { return !R.Control.Warnings.empty(); }, 10s));
    R.PumpFor(100ms);
    for (const std::string &Warning : R.Control.Warnings)
        EXPECT_EQ("no device driver present", Warning);
    EXPECT_FALSE(R.Control.Running);
    EXPECT_TRUE(R.Control.Stopping);
    R.Control.CloseHandles();
    EXPECT_EQ(0, TPulseWaveIn::Instance().OpenHandles());
    // The server itself is still there, with one source fewer.
    EXPECT_EQ(2u, waveInGetNumDevs());
}

TEST(NoSoundServer, NoDevicesAndOpenFailsWithNoDriver)
{
    char Empty[] = "/tmp/dtmf-no-server-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(Empty));
    setenv("XDG_RUNTIME_DIR", Empty, 1);
    setenv("PULSE_SERVER", (std::string("unix:") + Empty + "/pulse/native").c_str(), 1);

    EXPECT_EQ(0u, waveInGetNumDevs());
    WAVEINCAPSA Caps;
    EXPECT_EQ(MMSYSERR_NODRIVER, waveInGetDevCapsA(0, &Caps, sizeof(Caps)));
    WAVEFORMATEX Format;
    FillCaptureFormat(Format);
    EXPECT_EQ(MMSYSERR_NODRIVER, waveInOpen(nullptr, 0, &Format, 0, 0, WAVE_FORMAT_QUERY));

    Recorder R;
    R.Control.SwitchCapture(true);
    EXPECT_EQ((std::vector<std::string>{OpenFailure + "no device driver present"}),
              R.Control.Warnings);
    EXPECT_FALSE(R.Control.Running);
    EXPECT_EQ(nullptr, R.Control.WaveIn1);
    rmdir(Empty);
}

TEST(NoSoundServer, AServerThatNeverAnswersIsGivenUpOn)
{
    char Folder[] = "/tmp/dtmf-mute-server-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(Folder));
    const std::string Path = std::string(Folder) + "/native";
    // A socket that takes connections and never says a word.
    const int Listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(Listener, 0);
    sockaddr_un Address = {};
    Address.sun_family = AF_UNIX;
    std::strncpy(Address.sun_path, Path.c_str(), sizeof(Address.sun_path) - 1);
    ASSERT_EQ(0, bind(Listener, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)));
    ASSERT_EQ(0, listen(Listener, 8));
    setenv("PULSE_SERVER", ("unix:" + Path).c_str(), 1);

    EXPECT_EQ(0u, waveInGetNumDevs());
    Recorder R;
    R.Control.SwitchCapture(true);
    EXPECT_EQ((std::vector<std::string>{OpenFailure + "no device driver present"}),
              R.Control.Warnings);
    EXPECT_FALSE(TPulseWaveIn::Instance().MainloopRunning());

    close(Listener);
    unlink(Path.c_str());
    rmdir(Folder);
}

} // namespace
