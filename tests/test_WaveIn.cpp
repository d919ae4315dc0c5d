// The wave-in functions over the scripted driver: argument and handle checks,
// the order of notifications, and the pure parts of the PulseAudio driver.
#include "CaptureHarness.h"
#include "PulseWaveIn.h"
#include "ScriptedWaveIn.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct WaveInLayer : ::testing::Test
{
    TScriptedWaveIn Driver;
    TQueuedWindow Window;
    WAVEFORMATEX Format = {};
    char Buffers[3][64] = {};
    WAVEHDR Headers[3] = {};

    WaveInLayer()
    {
        FillCaptureFormat(Format);
        Driver.Devices = {{"First", false, true}, {"Second", false, false}};
        for (int i = 0; i < 3; ++i) {
            Headers[i].lpData = Buffers[i];
            Headers[i].dwBufferLength = sizeof(Buffers[i]);
        }
    }

    HWAVEIN Open(UINT DeviceId = 0)
    {
        HWAVEIN Handle = nullptr;
        EXPECT_EQ(MMSYSERR_NOERROR, waveInOpen(&Handle, DeviceId, &Format,
                                               WaveInWindowCallback(&Window), 0, CALLBACK_WINDOW));
        return Handle;
    }

    std::vector<TQueuedWindow::TMessage> Drain()
    {
        std::vector<TQueuedWindow::TMessage> All;
        TQueuedWindow::TMessage M;
        while (Window.Take(M))
            All.push_back(M);
        return All;
    }
};

TEST_F(WaveInLayer, RejectsUnknownHandlesAndBadHeaders)
{
    HWAVEIN Bogus = reinterpret_cast<HWAVEIN>(&Format);
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInPrepareHeader(Bogus, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInAddBuffer(nullptr, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInStart(Bogus));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInReset(Bogus));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInClose(Bogus));

    HWAVEIN Handle = Open();
    // The size the caller passes is checked against this layer's own header.
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInPrepareHeader(Handle, &Headers[0], 32));
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInPrepareHeader(Handle, nullptr, sizeof(WAVEHDR)));
    EXPECT_EQ(WAVERR_UNPREPARED, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR)));
    ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(Handle, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR) - 1));
    ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR)));
    EXPECT_EQ(WAVERR_STILLPLAYING, waveInAddBuffer(Handle, &Headers[0], sizeof(WAVEHDR)));
    // A handle with a buffer queued does not close.
    EXPECT_EQ(WAVERR_STILLPLAYING, waveInClose(Handle));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInReset(Handle));
    EXPECT_EQ(MMSYSERR_NOERROR, waveInClose(Handle));
    // A closed handle is unknown from then on.
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInStart(Handle));
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInClose(Handle));
}

TEST_F(WaveInLayer, OpenChecksItsArgumentsAndAQueryOpensNothing)
{
    HWAVEIN Handle = nullptr;
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInOpen(&Handle, 0, nullptr, 0, 0, 0));
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInOpen(nullptr, 0, &Format, 0, 0, CALLBACK_WINDOW));
    // Only window notifications (or none) are offered: not a callback function.
    EXPECT_EQ(MMSYSERR_INVALPARAM, waveInOpen(&Handle, 0, &Format, 0, 0, 0x00030000));

    EXPECT_EQ(MMSYSERR_NOERROR, waveInOpen(nullptr, 0, &Format, 0, 0, WAVE_FORMAT_QUERY));
    EXPECT_EQ(WAVERR_BADFORMAT, waveInOpen(nullptr, 1, &Format, 0, 0, WAVE_FORMAT_QUERY));
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(nullptr, 2, &Format, 0, 0, WAVE_FORMAT_QUERY));
    EXPECT_EQ(0, Driver.OpenHandles());
    EXPECT_TRUE(Drain().empty());

    Handle = reinterpret_cast<HWAVEIN>(&Format);
    EXPECT_EQ(MMSYSERR_BADDEVICEID, waveInOpen(&Handle, 7, &Format, 0, 0, CALLBACK_WINDOW));
    EXPECT_EQ(nullptr, Handle);
}

TEST_F(WaveInLayer, NotifiesOpenThenEveryBufferInOrderThenClose)
{
    HWAVEIN Handle = Open();
    for (WAVEHDR &H : Headers) {
        ASSERT_EQ(MMSYSERR_NOERROR, waveInPrepareHeader(Handle, &H, sizeof(WAVEHDR)));
        ASSERT_EQ(MMSYSERR_NOERROR, waveInAddBuffer(Handle, &H, sizeof(WAVEHDR)));
    }
    ASSERT_EQ(MMSYSERR_NOERROR, waveInStart(Handle));
    ASSERT_TRUE(Driver.FillBuffer(std::vector<int16_t>(100, 7)));
    ASSERT_TRUE(Driver.FillBuffer(std::vector<int16_t>(5, -3)));
    EXPECT_EQ(1, Driver.QueuedBuffers());
    waveInReset(Handle);
    EXPECT_FALSE(Driver.FillBuffer(std::vector<int16_t>(10, 1)));
    waveInClose(Handle);

    const auto All = Drain();
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
    for (const auto &M : All)
        EXPECT_EQ(Handle, M.Handle);
    int16_t First;
    std::memcpy(&First, Buffers[0], sizeof(First));
    EXPECT_EQ(7, First);
}

TEST_F(WaveInLayer, HandlesOfADriverTakenOutAreNoLongerReachable)
{
    HWAVEIN Handle = nullptr;
    {
        TScriptedWaveIn Inner;
        Inner.Devices = {{"Inner"}};
        ASSERT_EQ(MMSYSERR_NOERROR, waveInOpen(&Handle, 0, &Format, 0, 0, 0));
        EXPECT_EQ(1, Inner.OpenHandles());
    }
    // The outer driver is back; the inner one's handle is gone with it.
    EXPECT_EQ(2u, waveInGetNumDevs());
    EXPECT_EQ(MMSYSERR_INVALHANDLE, waveInClose(Handle));
}

TEST(PulseProductName, IsTheDescriptionCutTo31BytesOnACharacterBoundary)
{
    EXPECT_EQ("Monitor of LineOne", TPulseWaveIn::ProductName("Monitor of LineOne"));
    const std::string Exact(31, 'x');
    EXPECT_EQ(Exact, TPulseWaveIn::ProductName(Exact + "yz"));
    // 29 ASCII bytes, then a two-byte letter that would end at byte 31 and
    // one that would not fit.
    const std::string Head(29, 'a');
    EXPECT_EQ(Head + "\xC3\xA4", TPulseWaveIn::ProductName(Head + "\xC3\xA4\xC3\xB6"));
    // 30 ASCII bytes, then a three-byte character: it is left out whole.
    const std::string Longer(30, 'b');
    EXPECT_EQ(Longer, TPulseWaveIn::ProductName(Longer + "\xE2\x82\xAC"));
}

TEST(PulseSourceOrder, DefaultFirstThenInputsThenMonitors)
{
    using S = TPulseWaveIn::TSource;
    const std::vector<S> Server = {{"a.monitor", "Monitor of A", 2, true},
                                   {"mic", "Mic", 1, false},
                                   {"b.monitor", "Monitor of B", 1, true},
                                   {"line", "Line", 2, false}};
    auto Names = [](const std::vector<S> &List) {
        std::vector<std::string> N;
        for (const S &Source : List)
            N.push_back(Source.Name);
        return N;
    };
    EXPECT_EQ((std::vector<std::string>{"b.monitor", "mic", "line", "a.monitor"}),
              Names(TPulseWaveIn::OrderSources(Server, "b.monitor")));
    EXPECT_EQ((std::vector<std::string>{"line", "mic", "a.monitor", "b.monitor"}),
              Names(TPulseWaveIn::OrderSources(Server, "line")));
    // A default the list does not hold (or none) changes nothing else.
    EXPECT_EQ((std::vector<std::string>{"mic", "line", "a.monitor", "b.monitor"}),
              Names(TPulseWaveIn::OrderSources(Server, "")));
}

} // namespace
