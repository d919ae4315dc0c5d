// The wave-in functions over the scripted driver (argument and handle checks,
// order of notifications) and the PulseAudio driver's product names.
#include "CaptureHarness.h"
#include "PulseWaveIn.h"
#include "ScriptedWaveIn.h"

#include <gtest/gtest.h>

namespace {

struct WaveInLayer : ::testing::Test
{
    TScriptedWaveIn Driver;
    TQueuedWindow Window;
    WAVEFORMATEX Format = {};
    char Buffers[3][64] = {};
    WAVEHDR Headers[3] = {};
    HWAVEIN Handle = nullptr;

    WaveInLayer()
    {
        FillCaptureFormat(Format);
        Driver.Devices = {{"First", false, true}, {"Second", false, false}};
        for (int i = 0; i < 3; ++i)
            Headers[i] = {Buffers[i], sizeof(Buffers[i]), 0, 0, 0, 0, nullptr, 0};
        EXPECT_EQ(MMSYSERR_NOERROR, waveInOpen(&Handle, 0, &Format, WaveInWindowCallback(&Window),
                                               0, CALLBACK_WINDOW));
    }
};

TEST_F(WaveInLayer, RejectsUnknownHandlesBadArgumentsAndUnpreparedHeaders)
{
    HWAVEIN Bogus = reinterpret_cast<HWAVEIN>(&Format);
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInPrepareHeader(Bogus, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInAddBuffer(nullptr, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInStart(Bogus));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInReset(Bogus));
    // The size the caller passes is checked against this layer's own header.
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInPrepareHeader(Handle, &Headers[0], 32));
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInPrepareHeader(Handle, nullptr, sizeof(WAVEHDR)));
    EXPECT_EQ(WAVERR_UNPREPARED, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(Handle, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR) - 1));
    ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(WAVERR_STILLPLAYING, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(WAVERR_STILLPLAYING, waveInClose(Handle));
    waveInReset(Handle);
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(Handle));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInClose(Handle));

    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInOpen(&Handle, 0, nullptr, 0, 0, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInOpen(nullptr, 0, &Format, 0, 0, CALLBACK_WINDOW));
    // Notification by a callback function is not offered.
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInOpen(&Handle, 0, &Format, 0, 0, 0x00030000));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(&Handle, 7, &Format, 0, 0, 0));
    EXPECT_EQ(nullptr, Handle);
}

TEST_F(WaveInLayer, NotifiesOpenThenEveryBufferInOrderThenClose)
{
    for (WAVEHDR &H : Headers) {
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(Handle, &H, sizeof(WAVEHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(Handle, &H, sizeof(WAVEHDR)));
    }
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(Handle));
    ASSERT_TRUE(Driver.FillBuffer(std::vector<int16_t>(100, 7)));
    ASSERT_TRUE(Driver.FillBuffer(std::vector<int16_t>(5, -3)));
    waveInReset(Handle);
    EXPECT_FALSE(Driver.FillBuffer(std::vector<int16_t>(10, 1)));
    waveInClose(Handle);

    std::vector<TQueuedWindow::TMessage> All;
    for (TQueuedWindow::TMessage M; Window.Take(M);)
        All.push_back(M);
    ASSERT_EQ(5u, All.size());
    EXPECT_EQ(MM_WIM_OPEN, All[0].Msg);
    const DWORD Recorded[] = {64, 10, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(MM_WIM_DATA, All[1 + i].Msg);
        EXPECT_EQ(&Headers[i], All[1 + i].Header);
        EXPECT_EQ(Recorded[i], Headers[i].dwBytesRecorded);
        EXPECT_EQ(WHDR_DONE | WHDR_PREPARED, Headers[i].dwFlags);
    }
    EXPECT_EQ(MM_WIM_CLOSE, All[4].Msg);
    EXPECT_EQ(Handle, All[4].Handle);
}

TEST(PulseProductName, IsTheDescriptionCutTo31BytesOnACharacterBoundary)
{
    const std::string A29(29, 'a'), B30(30, 'b'), C31(31, 'c');
    EXPECT_EQ("Monitor of LineOne", TPulseWaveIn::ProductName("Monitor of LineOne"));
    EXPECT_EQ(C31, TPulseWaveIn::ProductName(C31 + "yz"));
    // A two-byte letter ending at byte 31 stays; the next one would not fit.
    EXPECT_EQ(A29 + "\xC3\xA4", TPulseWaveIn::ProductName(A29 + "\xC3\xA4\xC3\xB6"));
    // A three-byte character that would straddle the cut is left out whole.
    EXPECT_EQ(B30, TPulseWaveIn::ProductName(B30 + "\xE2\x82\xAC"));
}

} // namespace
