// Time to handle one recorded block through the capture control: the driver
// fills a buffer, the data notification copies it through the spine, sets the
// meter and queues the buffer again. Four queued buffers give about 64 ms.
#include "CaptureControl.h"
#include "DtmfSpine.h"
#include "ScriptedWaveIn.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

class TInlineWindow : public TWaveInWindow
{
  public:
    struct TMessage
    {
        UINT Msg;
        HWAVEIN Handle;
        WAVEHDR *Header;
    };
    std::vector<TMessage> Pending;

    TInlineWindow() { Pending.reserve(16); }
    void PostWaveMessage(UINT Msg, HWAVEIN Handle, WAVEHDR *Header) override
    {
        Pending.push_back({Msg, Handle, Header});
    }
};

class TBenchControl : public TCaptureControl
{
  public:
    TBenchControl(TDtmfSpine &Spine, TInlineWindow &Window)
        : TCaptureControl(Spine, Window), Queue(Window)
    {
    }
    int32_t Meter = 0;

    void ProcessMessages() override
    {
        for (size_t i = 0; i < Queue.Pending.size(); ++i)
            HandleWaveMessage(Queue.Pending[i].Msg, Queue.Pending[i].Handle,
                              Queue.Pending[i].Header);
        Queue.Pending.clear();
    }

  protected:
    void ShowWarning(const std::string &) override {}
    void SetMeterPosition(int32_t Position) override { Meter = Position; }

  private:
    TInlineWindow &Queue;
};

std::vector<int16_t> KeypadBlock(double Low, double High)
{
    std::vector<int16_t> Block(BlockSamples);
    for (int n = 0; n < BlockSamples; ++n)
        Block[n] = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * Low * n / 48000) +
                                                    8000 * std::sin(2 * M_PI * High * n / 48000)));
    return Block;
}

void HandleBlocks(benchmark::State &State, const std::vector<int16_t> &Block)
{
    TScriptedWaveIn Driver;
    Driver.Devices = {{"Bench"}};
    TInlineWindow Window;
    TStringDigitLine Line;
    TDtmfSpine Spine(Line);
    TBenchControl Control(Spine, Window);
    FillCaptureFormat(CaptureFormat);
    InputDeviceIndex = 0;
    Control.SwitchCapture(true);
    Control.ProcessMessages();
    if (!Control.Running) {
        State.SkipWithError("capture did not start");
        return;
    }
    for (auto _ : State) {
        Driver.FillBuffer(Block);
        Control.ProcessMessages();
        benchmark::DoNotOptimize(Control.Meter);
    }
    State.SetItemsProcessed(State.iterations());
    Control.SwitchCapture(false);
}

void HandleToneBlock(benchmark::State &State)
{
    HandleBlocks(State, KeypadBlock(852, 1336));
}
BENCHMARK(HandleToneBlock)->Unit(benchmark::kMicrosecond);

void HandleSilentBlock(benchmark::State &State)
{
    HandleBlocks(State, std::vector<int16_t>(BlockSamples, 0));
}
BENCHMARK(HandleSilentBlock)->Unit(benchmark::kMicrosecond);

} // namespace
