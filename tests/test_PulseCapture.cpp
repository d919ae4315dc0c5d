// The wave-in layer and the capture control against a private PulseAudio
// daemon that each test starts (and may kill), and against no server at all.
#include "AudioLog.h"
#include "CaptureHarness.h"
#include "PulseWaveIn.h"
#include "ToneSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <mutex>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using TClock = std::chrono::steady_clock;

const std::string OpenFailure = "Can`t open audio device !\r\n";
const std::string NoDriver = "no device driver present";
// 38 bytes: eight ASCII letters, then fifteen two-byte ones.
const std::string LongName = "Eingang_\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3"
                             "\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C";

std::string Shell(const std::string &Command)
{
    std::string Output;
    FILE *Pipe = popen(Command.c_str(), "r");
    char Chunk[512];
    while (Pipe && fgets(Chunk, sizeof(Chunk), Pipe))
        Output += Chunk;
    return Pipe && pclose(Pipe) == 0 ? Output : "";
}

const std::string Digits = "147*2580#369ABCD";

// Digits between two quarter seconds of silence, as raw samples in Dir;
// returns the file's path.
std::string WriteDigits(const std::string &Dir)
{
    std::vector<int16_t> Signal;
    AppendSilence(Signal, 12000);
    const std::vector<int16_t> Tones = DtmfSequence(Digits, 48000);
    Signal.insert(Signal.end(), Tones.begin(), Tones.end());
    AppendSilence(Signal, 12000);
    const std::string Raw = Dir + "/digits.raw";
    FILE *Out = fopen(Raw.c_str(), "wb");
    EXPECT_EQ(Signal.size(), Out ? fwrite(Signal.data(), 2, Signal.size(), Out) : 0);
    if (Out)
        fclose(Out);
    return Raw;
}

// Plays a raw file into line1 in real time on a thread of its own.
struct TPlayer
{
    std::atomic<bool> Played{false};
    std::thread Thread;

    explicit TPlayer(const std::string &Raw)
        : Thread([this, Raw] {
              Shell("pacat --device=line1 --format=s16le --rate=48000 --channels=1 " + Raw);
              Played = true;
          })
    {
    }
    ~TPlayer() { Thread.join(); }
};

// The capture layer's diagnostics while it lives, one string.
struct TLogCollector
{
    static std::mutex Mutex;
    static std::string Text;

    TLogCollector()
    {
        Text.clear();
        SetAudioLogSink(Collect);
    }
    ~TLogCollector() { SetAudioLogSink(nullptr); }
    static void Collect(const std::string &Line)
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        Text += Line + "\n";
    }
    std::string Lines()
    {
        std::lock_guard<std::mutex> Lock(Mutex);
        return Text;
    }
};
std::mutex TLogCollector::Mutex;
std::string TLogCollector::Text;

// A daemon started by the shared helper script; its environment is taken
// into this process, so the layer, pactl and pacat all find it.
struct TPrivateDaemon
{
    pid_t Pid = 0;
    std::string Dir;

    bool Start(const std::string &ExtraModule)
    {
        const std::string Script = PULSE_DAEMON_SCRIPT;
        std::string Lines = Shell("bash " + Script + " start '" + ExtraModule + "'");
        for (size_t At = 0, End; (End = Lines.find('\n', At)) != std::string::npos; At = End + 1) {
            const std::string Line = Lines.substr(At, End - At);
            const size_t Eq = Line.find('=');
            const std::string Key = Line.substr(7, Eq - 7), Value = Line.substr(Eq + 1);
            setenv(Key.c_str(), Value.c_str(), 1);
            Pid = Key == "PULSE_DAEMON_PID" ? std::stoi(Value) : Pid;
            Dir = Key == "PULSE_DAEMON_DIR" ? Value : Dir;
        }
        return Pid > 0;
    }
    ~TPrivateDaemon()
    {
        if (Pid > 0)
            Shell("bash " PULSE_DAEMON_SCRIPT " stop " + std::to_string(Pid) + " " + Dir);
    }
};

int ThreadCount()
{
    int Count = 0;
    DIR *Tasks = opendir("/proc/self/task");
    while (dirent *Entry = readdir(Tasks))
        Count += Entry->d_name[0] != '.';
    closedir(Tasks);
    return Count;
}

// The thread count once it has come down to Expected, or after a second: a
// thread that has been joined may stay listed for a moment while the kernel
// finishes its exit.
int ThreadCountComingTo(int Expected)
{
    int Count = ThreadCount();
    for (int Wait = 0; Wait < 100 && Count != Expected; ++Wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        Count = ThreadCount();
    }
    return Count;
}

std::string ProductNameOf(UINT DeviceId)
{
    WAVEINCAPSA Caps;
    if (waveInGetDevCapsA(DeviceId, &Caps, sizeof(Caps)) != MMSYSERR_NOERROR)
        return "(none)";
    return std::string(Caps.szPname, strnlen(Caps.szPname, sizeof(Caps.szPname)));
}

struct PulseServer : ::testing::Test
{
    TPrivateDaemon Daemon;
    int ThreadsBefore = ThreadCount();

    void SetUp() override
    {
        InputDeviceIndex = 0;
        ASSERT_TRUE(Daemon.Start("module-null-source source_name=mic description=" + LongName));
    }
};

TEST_F(PulseServer, ListsDefaultSourceThenInputsThenMonitorsAndOpensOneTwice)
{
    // In the server's order: line1.monitor, line2.monitor, mic.
    ASSERT_NE("", Shell("pactl set-default-source line2.monitor && echo ok"));
    ASSERT_EQ(3u, waveInGetNumDevs());
    EXPECT_EQ("Monitor of LineTwo", ProductNameOf(0));
    EXPECT_EQ(LongName.substr(0, 30), ProductNameOf(1));
    EXPECT_EQ("Monitor of LineOne", ProductNameOf(2));
    EXPECT_EQ("(none)", ProductNameOf(3));

    WAVEFORMATEX Format, Wide;
    FillCaptureFormat(Format);
    for (UINT Id : {0u, 1u, 2u, WAVE_MAPPER})
        EXPECT_EQ(MMSYSERR_NOERROR, waveInOpen(nullptr, Id, &Format, 0, 0, WAVE_FORMAT_QUERY));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(nullptr, 3, &Format, 0, 0, WAVE_FORMAT_QUERY));
    Wide = Format;
    Wide.wBitsPerSample = 24;
    HWAVEIN First = nullptr, Second = nullptr;
    EXPECT_EQ(WAVERR_BADFORMAT, waveInOpen(&First, 0, &Wide, 0, 0, 0));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(&First, 3, &Format, 0, 0, 0));
    EXPECT_EQ(ThreadsBefore, ThreadCountComingTo(ThreadsBefore));

    TQueuedWindow Window;
    const DWORD_PTR To = WaveInWindowCallback(&Window);
    ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&First, 1, &Format, To, 0, CALLBACK_WINDOW));
    ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&Second, 1, &Format, To, 0, CALLBACK_WINDOW));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(Second));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(First));
    EXPECT_EQ((std::vector<UINT>{MM_WIM_OPEN, MM_WIM_OPEN, MM_WIM_CLOSE, MM_WIM_CLOSE}),
              Window.PendingKinds());
    EXPECT_EQ(ThreadsBefore, ThreadCountComingTo(ThreadsBefore));
}

TEST_F(PulseServer, PlayedDigitsAreRecordedAndDecoded)
{
    const std::string Raw = WriteDigits(Daemon.Dir);
    TRecorder R;
    ASSERT_TRUE(R.StartRecording());
    TPlayer Player(Raw);
    ASSERT_TRUE(R.PumpUntil([&] { return Player.Played.load(); }, 30s));
    for (const char *Property : {"application.id", "application.icon_name"})
        EXPECT_NE("", Shell(std::string("pactl list source-outputs | grep -F '") + Property +
                            " = \"" DTMF_APP_ID "\"'"))
            << Property;
    R.PumpFor(300ms);
    R.Control.SwitchCapture(false);

    EXPECT_EQ(Digits, R.Line.Text());
    EXPECT_TRUE(R.Control.Warnings.empty());
    EXPECT_FALSE(R.Control.Running || R.Control.Stopping || R.Control.WaveIn1 || R.Control.WaveIn2);
    EXPECT_EQ(0, R.Control.MeterPositions.back());
    EXPECT_EQ(0, TPulseWaveIn::Instance().OpenHandles());
    EXPECT_EQ(ThreadsBefore, ThreadCountComingTo(ThreadsBefore));

    std::vector<double> Latency = R.Control.DataLatencyUs;
    std::sort(Latency.begin(), Latency.end());
    std::printf("buffer filled to notification handled, %zu blocks: median %.0f us, "
                "99th percentile %.0f us, max %.0f us; audio dropped: %llu bytes\n",
                Latency.size(), Latency[Latency.size() / 2], Latency[Latency.size() * 99 / 100],
                Latency.back(),
                static_cast<unsigned long long>(TPulseWaveIn::Instance().DroppedBytes()));
}

// The daemon killed, or the recorded source unloaded, while recording.
struct LostWhileRecording : PulseServer, ::testing::WithParamInterface<bool>
{
};

TEST_P(LostWhileRecording, IsReportedAndLeavesCaptureFailed)
{
    const bool KillDaemon = GetParam();
    InputDeviceIndex = 2; // Monitor of LineTwo
    TLogCollector Log;
    TRecorder R;
    ASSERT_TRUE(R.StartRecording());
    if (KillDaemon)
        kill(Daemon.Pid, SIGKILL);
    else
        Shell(
            "pactl unload-module $(pactl list short modules | awk '/sink_name=line2 /{print $1}')");
    ASSERT_TRUE(R.PumpUntil([&] { return !R.Control.Warnings.empty(); }, 10s));
    R.PumpFor(100ms);
    // The first buffer handed back fails to go back to the driver; the
    // others are kept, so the loss is reported once.
    EXPECT_EQ(std::vector<std::string>{NoDriver}, R.Control.Warnings);
    EXPECT_FALSE(R.Control.Running);
    EXPECT_TRUE(R.Control.Stopping);

    R.Control.CloseHandles();
    EXPECT_EQ(ThreadsBefore, ThreadCountComingTo(ThreadsBefore));
    EXPECT_EQ(KillDaemon ? 0u : 2u, waveInGetNumDevs());
    // The diagnostics name the stream and libpulse's own reason.
    EXPECT_NE(std::string::npos,
              Log.Lines().find(std::string("recording stream on line2.monitor failed: ") +
                               (KillDaemon ? "Connection terminated" : "Entity killed")))
        << Log.Lines();
}

INSTANTIATE_TEST_SUITE_P(DaemonOrSource, LostWhileRecording, ::testing::Bool());

// A GUI thread held up for longer than the stream keeps (4 s): the oldest
// audio is dropped and counted, the newest is kept and decoded.
TEST_F(PulseServer, OverlongStallDropsTheOldestAudioAndCountsIt)
{
    const std::string Raw = WriteDigits(Daemon.Dir);
    TRecorder R;
    ASSERT_TRUE(R.StartRecording());
    const uint64_t DroppedBefore = TPulseWaveIn::Instance().DroppedBytes();
    {
        TPlayer Player(Raw);
        std::this_thread::sleep_for(6s);
    }
    R.PumpFor(1s);
    R.Control.SwitchCapture(false);
    // About 6 s - 4 s kept - 85 ms in the four buffers, at 96000 bytes/s.
    const double DroppedSeconds =
        double(TPulseWaveIn::Instance().DroppedBytes() - DroppedBefore) / 96000;
    EXPECT_GT(DroppedSeconds, 1.4);
    EXPECT_LT(DroppedSeconds, 2.4);
    std::printf("dropped %.3f s of audio, kept and decoded \"%s\"\n", DroppedSeconds,
                R.Line.Text().c_str());
    EXPECT_EQ('D', R.Line.Text().empty() ? ' ' : R.Line.Text().back());
    EXPECT_LT(R.Line.Text().size(), Digits.size());
}

// A recording process held up for 1.5 s while the digits play: its GUI
// thread alone (false), or the whole process stopped by SIGSTOP (true). The
// audio waits in the record stream meanwhile, so every digit arrives in
// order and nothing is dropped.
struct StalledRecorder : PulseServer, ::testing::WithParamInterface<bool>
{
    // The value after Key in Text, up to the end of its line.
    static std::string Field(const std::string &Text, const std::string &Key)
    {
        const size_t At = Text.find(Key);
        return At == std::string::npos
                   ? "(none)"
                   : Text.substr(At + Key.size(), Text.find('\n', At) - At - Key.size());
    }
};

TEST_P(StalledRecorder, LosesNoAudio)
{
    const bool WholeProcess = GetParam();
    const std::string Raw = WriteDigits(Daemon.Dir);
    const std::string Printed = Daemon.Dir + "/recorder.out";
    FILE *Commands =
        popen((RECORD_SYMBOLS_PROGRAM " >" + Printed + " 2>" + Printed + ".log").c_str(), "w");
    ASSERT_NE(nullptr, Commands);
    std::string Out;
    for (auto End = TClock::now() + 20s; Out.find('\n') == std::string::npos && TClock::now() < End;
         std::this_thread::sleep_for(50ms))
        Out = Shell("cat " + Printed);
    const pid_t Child = std::atoi(Field(Out, "recording ").c_str());
    ASSERT_GT(Child, 0) << Out;

    {
        TPlayer Player(Raw);
        std::this_thread::sleep_for(600ms);
        if (WholeProcess) {
            kill(Child, SIGSTOP);
            std::this_thread::sleep_for(1500ms);
            kill(Child, SIGCONT);
        } else {
            std::fputs("stall 1500\n", Commands);
            std::fflush(Commands);
        }
    }
    // Time to catch up on the audio held back, and for the last digit.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(0, pclose(Commands));
    Out = Shell("cat " + Printed + " " + Printed + ".log");
    EXPECT_EQ(Digits, Field(Out, "symbols: ")) << Out;
    EXPECT_EQ("0", Field(Out, "dropped: ")) << Out;
}

INSTANTIATE_TEST_SUITE_P(GuiThreadOrProcess, StalledRecorder, ::testing::Bool());

// No socket at all, then one that takes the connection and never answers.
TEST(NoSoundServer, NoDevicesAndOpenFailsWithNoDriver)
{
    char Folder[] = "/tmp/dtmf-no-server-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(Folder));
    const std::string Path = std::string(Folder) + "/native";
    setenv("PULSE_SERVER", ("unix:" + Path).c_str(), 1);
    const int Mute = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un Address = {};
    Address.sun_family = AF_UNIX;
    std::strncpy(Address.sun_path, Path.c_str(), sizeof(Address.sun_path) - 1);

    TLogCollector Log;
    for (bool Listening : {false, true}) {
        if (Listening) {
            ASSERT_EQ(0, bind(Mute, reinterpret_cast<sockaddr *>(&Address), sizeof(Address)));
            ASSERT_EQ(0, listen(Mute, 8));
        }
        EXPECT_EQ(0u, waveInGetNumDevs());
        WAVEINCAPSA Caps;
        EXPECT_EQ(MMSYSERR_NODRIVER, waveInGetDevCapsA(0, &Caps, sizeof(Caps)));
        TRecorder R;
        R.Control.SwitchCapture(true);
        EXPECT_EQ(std::vector<std::string>{OpenFailure + NoDriver}, R.Control.Warnings);
        EXPECT_FALSE(R.Control.Running || R.Control.WaveIn1);
        EXPECT_FALSE(TPulseWaveIn::Instance().MainloopRunning());
        EXPECT_NE(std::string::npos,
                  Log.Lines().find(std::string("no connection to the sound server: ") +
                                   (Listening ? "no answer in time" : "Connection refused")))
            << Log.Lines();
    }
    close(Mute);
    unlink(Path.c_str());
    rmdir(Folder);
}

} // namespace
