// Time to handle one recorded block through the capture control: the driver
// fills a buffer, the data notification copies it through the spine, sets the
// meter and queues the buffer again. Four queued buffers give about 64 ms.
#include "CaptureHarness.h"
#include "ScriptedWaveIn.h"
#include "ToneSignals.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void HandleBlocks(benchmark::State &State, const std::vector<int16_t> &Block)
{
    TScriptedWaveIn Driver;
    Driver.Devices = {{"Bench"}};
    TQueuedWindow Window;
    TStringDigitLine Line;
    TDtmfSpine Spine(Line);
    THarnessControl Control(Spine, Window);
    Control.KeepRecords = false;
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
        benchmark::DoNotOptimize(Control.LastMeterPosition);
    }
    State.SetItemsProcessed(State.iterations());
    Control.SwitchCapture(false);
}

void HandleToneBlock(benchmark::State &State)
{
    HandleBlocks(State, TonePairBlock(852, 1336, 8000, 8000));
}
BENCHMARK(HandleToneBlock)->Unit(benchmark::kMicrosecond);

void HandleSilentBlock(benchmark::State &State)
{
    HandleBlocks(State, std::vector<int16_t>(BlockSamples, 0));
}
BENCHMARK(HandleSilentBlock)->Unit(benchmark::kMicrosecond);

} // namespace
