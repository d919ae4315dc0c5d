// The wave-in functions over the scripted driver (argument and handle checks,
// order of notifications), the buffer queue and the product names.
#include "CaptureHarness.h"
#include "PulseSourceList.h"
#include "ScriptedWaveIn.h"
#include "WaveBufferQueue.h"

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

TEST(WaveBufferQueue, SpreadsArrivingChunksOverTheBuffersInOrder)
{
    TQueuedWindow Window;
    HWAVEIN Id = reinterpret_cast<HWAVEIN>(&Window);
    TWaveBufferQueue Queue(Id, &Window, 0x80);
    char Buffers[3][64];
    WAVEHDR Headers[3] = {};
    for (int i = 0; i < 3; ++i) {
        Headers[i] = {Buffers[i], sizeof(Buffers[i]), 0, 0, 0, 0, nullptr, 0};
        ASSERT_TRUE(Queue.Add(&Headers[i]));
    }
    EXPECT_FALSE(Queue.Add(&Headers[1]));
    std::string First(100, 'a'), Last(100, 'c');
    EXPECT_EQ(0u, Queue.Deliver(First.data(), First.size()));
    EXPECT_EQ(0u, Queue.Deliver(nullptr, 50)); // a hole
    EXPECT_EQ(58u, Queue.Deliver(Last.data(), Last.size()));
    EXPECT_TRUE(Queue.Empty());
    EXPECT_EQ(std::string(64, 'a'), std::string(Buffers[0], 64));
    EXPECT_EQ(std::string(36, 'a') + std::string(28, '\x80'), std::string(Buffers[1], 64));
    EXPECT_EQ(std::string(22, '\x80') + std::string(42, 'c'), std::string(Buffers[2], 64));

    ASSERT_TRUE(Queue.Add(&Headers[2]));
    ASSERT_TRUE(Queue.Add(&Headers[0]));
    Queue.Deliver(First.data(), 10);
    Queue.ReturnAll();
    EXPECT_EQ(10u, Headers[2].dwBytesRecorded);
    EXPECT_EQ(0u, Headers[0].dwBytesRecorded);
    std::vector<WAVEHDR *> Order;
    for (TQueuedWindow::TMessage M; Window.Take(M);)
        Order.push_back(M.Msg == MM_WIM_DATA && M.Handle == Id ? M.Header : nullptr);
    EXPECT_EQ(
        (std::vector<WAVEHDR *>{&Headers[0], &Headers[1], &Headers[2], &Headers[2], &Headers[0]}),
        Order);
}

TEST(PulseProductName, IsTheDescriptionCutTo31BytesOnACharacterBoundary)
{
    const std::string A29(29, 'a'), B30(30, 'b'), C31(31, 'c');
    EXPECT_EQ("Monitor of LineOne", TPulseSourceList::ProductName("Monitor of LineOne"));
    EXPECT_EQ(C31, TPulseSourceList::ProductName(C31 + "yz"));
    // A two-byte letter ending at byte 31 stays; the next one would not fit.
    EXPECT_EQ(A29 + "\xC3\xA4", TPulseSourceList::ProductName(A29 + "\xC3\xA4\xC3\xB6"));
    // A three-byte character that would straddle the cut is left out whole.
    EXPECT_EQ(B30, TPulseSourceList::ProductName(B30 + "\xE2\x82\xAC"));
}

} // namespace
