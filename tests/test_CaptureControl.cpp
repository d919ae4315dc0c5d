// Capture control against the scripted driver: the four states (idle,
// recording, stopping, failed) and the transitions between them.
#include "CaptureHarness.h"
#include "ScriptedWaveIn.h"
#include "ToneSignals.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string OpenFailure = "Can`t open audio device !\r\n";

struct CaptureControl : ::testing::Test
{
    TScriptedWaveIn Driver;
    TQueuedWindow Window;
    TStringDigitLine Line;
    TDtmfSpine Spine{Line};
    THarnessControl Control{Spine, Window};

    CaptureControl()
    {
        Driver.Devices = {{"Mic"}, {"Line in"}};
        FillCaptureFormat(CaptureFormat);
        InputDeviceIndex = 0;
        Control.ClearCaptureState();
    }
    ~CaptureControl() override { Control.CloseHandles(); }

    // Feeds Samples block by block through the driver and the notifications.
    void Record(const std::vector<int16_t> &Samples)
    {
        for (size_t At = 0; At < Samples.size(); At += BlockSamples) {
            const auto End = Samples.begin() + std::min(Samples.size(), At + BlockSamples);
            ASSERT_TRUE(Driver.FillBuffer(std::vector<int16_t>(Samples.begin() + At, End)));
            Control.ProcessMessages();
        }
    }
    long CallsOf(const std::string &Name) const
    {
        return std::count(Driver.Calls.begin(), Driver.Calls.end(), Name);
    }
};

TEST_F(CaptureControl, RecordsFromTheChosenDeviceAndDecodesWhatArrives)
{
    InputDeviceIndex = 1;
    Control.SwitchCapture(true);
    // Running comes from the open notification, not from the call.
    EXPECT_FALSE(Control.Running);
    Control.ProcessMessages();
    ASSERT_TRUE(Control.Running);
    EXPECT_EQ((std::vector<UINT>{1, 1}), Driver.OpenedDevices);
    EXPECT_EQ(4, Driver.QueuedBuffers());

    Record(DtmfSequence("159#", 48000));
    Record(std::vector<int16_t>(2 * BlockSamples, 0));
    EXPECT_EQ("159#", Line.Text());
    EXPECT_EQ(4, Driver.QueuedBuffers());
    EXPECT_TRUE(Control.Warnings.empty());
    EXPECT_GT(*std::max_element(Control.MeterPositions.begin(), Control.MeterPositions.end()),
              12000);
    EXPECT_EQ(0, Control.MeterPositions.back());

    Control.SwitchCapture(true);
    EXPECT_EQ(2u, Driver.OpenedDevices.size());
}

TEST_F(CaptureControl, OrdinaryStopNeitherAnalysesNorRequeuesReturnedBuffers)
{
    Control.SwitchCapture(true);
    Record(DtmfSequence("7", 48000));
    ASSERT_EQ("7", Line.Text());
    const size_t MeterUpdates = Control.MeterPositions.size();
    const long Adds = CallsOf("waveInAddBuffer");
    // Loud samples sit in the buffers the reset hands back; they must not show.
    for (auto &Buffer : Control.WaveBuffers)
        std::fill(std::begin(Buffer), std::end(Buffer), char(0x40));

    Control.SwitchCapture(false);
    EXPECT_EQ(Adds, CallsOf("waveInAddBuffer"));
    EXPECT_EQ(0, Driver.OpenHandles());
    EXPECT_FALSE(Control.Running || Control.Stopping || Control.WaveIn1 || Control.WaveIn2);
    // The only meter change: dark on the second close.
    EXPECT_EQ(MeterUpdates + 1, Control.MeterPositions.size());
    EXPECT_EQ(0, Control.MeterPositions.back());
    EXPECT_EQ(1, Control.Passes);

    Control.SwitchCapture(true);
    Control.ProcessMessages();
    EXPECT_TRUE(Control.Running);
}

TEST_F(CaptureControl, WaitMakesOnePassAtLeastAnd3001AtMost)
{
    Control.SwitchCapture(false);
    EXPECT_TRUE(Control.Stopping);
    EXPECT_EQ(1, Control.Passes);
    EXPECT_TRUE(Driver.Calls.empty());

    Control.Running = true;
    Control.WaitWhileRunning();
    EXPECT_EQ(1 + 3001, Control.Passes);
}

struct RefusedOpen : CaptureControl,
                     ::testing::WithParamInterface<std::pair<MMRESULT, const char *>>
{
};

TEST_P(RefusedOpen, ShowsTheOpenFailureTextAndStaysIdle)
{
    Driver.OpenResults = {GetParam().first};
    Control.SwitchCapture(true);
    EXPECT_EQ(std::vector<std::string>{OpenFailure + GetParam().second}, Control.Warnings);
    EXPECT_FALSE(Control.Running || Control.Stopping || Control.WaveIn1);
    EXPECT_EQ(0, Driver.OpenHandles());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, RefusedOpen,
    ::testing::Values(std::make_pair(MMSYSERR_BADDEVICEID, "device ID out of range"),
                      std::make_pair(MMSYSERR_ALLOCATED, "device already allocated")));

TEST_F(CaptureControl, SecondOpenFailingLeavesTheFirstHandleOpenAndIdle)
{
    Driver.OpenResults = {MMSYSERR_NOERROR, MMSYSERR_ALLOCATED};
    Control.SwitchCapture(true);
    EXPECT_EQ(std::vector<std::string>{OpenFailure + "device already allocated"}, Control.Warnings);
    // The dialog's own loop handled the first handle's open notification.
    EXPECT_EQ(std::vector<bool>{true}, Control.RunningInDialog);
    EXPECT_FALSE(Control.Running);
    EXPECT_TRUE(Control.WaveIn1 && !Control.WaveIn2);
    EXPECT_EQ(0, Driver.QueuedBuffers());
    EXPECT_EQ(0, CallsOf("waveInStart"));

    // Closing the window: the wait ends at once, the destruction closes it.
    Control.WaitWhileRunning();
    EXPECT_EQ(1, Control.Passes);
    Control.CloseHandles();
    EXPECT_EQ(0, Driver.OpenHandles());
}

TEST_F(CaptureControl, FailedRequeueReportsAndStopsAnalysis)
{
    Control.SwitchCapture(true);
    Driver.AddBufferResult = MMSYSERR_NOMEM;
    Record(std::vector<int16_t>(BlockSamples, 1234));
    // The block that came back was still analysed and shown.
    EXPECT_EQ(1234, Control.MeterPositions.back());
    EXPECT_EQ(std::vector<std::string>{"memory allocation error"}, Control.Warnings);
    EXPECT_TRUE(Control.Stopping && !Control.Running);

    // Failed: nothing more is analysed, and the buffers still queued come
    // back without being queued again, so the failure is reported once.
    const size_t MeterUpdates = Control.MeterPositions.size();
    const long Adds = CallsOf("waveInAddBuffer");
    std::vector<int16_t> Tone;
    AppendTone(Tone, '5', 3 * BlockSamples, 48000);
    Record(Tone);
    EXPECT_EQ("", Line.Text());
    EXPECT_EQ(MeterUpdates, Control.MeterPositions.size());
    EXPECT_EQ(1u, Control.Warnings.size());
    EXPECT_EQ(Adds, CallsOf("waveInAddBuffer"));
    EXPECT_EQ(0, Driver.QueuedBuffers());
    EXPECT_EQ(2, Driver.OpenHandles());
}

struct FailedStartStep : CaptureControl, ::testing::WithParamInterface<int>
{
};

// Step 0: every prepare fails, 1: every add, 2: the start.
TEST_P(FailedStartStep, IsReportedByItsTextAloneAndTheStartGoesOn)
{
    const int Step = GetParam();
    (Step == 0   ? Driver.PrepareResult
     : Step == 1 ? Driver.AddBufferResult
                 : Driver.StartResult) = MMSYSERR_ERROR;
    Control.SwitchCapture(true);
    Control.ProcessMessages();

    std::vector<std::string> Expected(Step == 2 ? 1 : 4, "unspecified error");
    // An unprepared header is then refused by the add as well.
    if (Step == 0)
        for (auto It = Expected.begin(); It != Expected.end(); It += 2)
            It = Expected.insert(It + 1, "header not prepared") - 1;
    EXPECT_EQ(Expected, Control.Warnings);
    EXPECT_EQ(1, CallsOf("waveInStart"));
    EXPECT_TRUE(Control.Stopping && !Control.Running);
    EXPECT_EQ(2, Driver.OpenHandles());
}

INSTANTIATE_TEST_SUITE_P(Steps, FailedStartStep, ::testing::Values(0, 1, 2));

} // namespace
