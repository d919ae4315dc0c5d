#include "WindowDetector.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int16_t ToSample(float Value)
{
    const float Scaled = Value * 32768.0f;
    if (std::isnan(Scaled))
        return 0;
    if (Scaled >= 32767.0f)
        return 32767;
    if (Scaled <= -32768.0f)
        return -32768;
    return static_cast<int16_t>(std::lrint(Scaled));
}

} // namespace

TWindowDetector::TWindowDetector(THandler OnSymbol, bool ReportAtEmission)
    : OnSymbol(std::move(OnSymbol)), ReportAtEmission(ReportAtEmission)
{
}

void TWindowDetector::ReceiveShorts(const int16_t *Samples, size_t Count)
{
    while (Count > 0) {
        // Whole blocks are analysed where they lie.
        if (Filled == 0 && Count >= BlockSamples) {
            AnalyseBlock(Samples);
            Samples += BlockSamples;
            Count -= BlockSamples;
            continue;
        }
        const size_t Take = std::min<size_t>(Count, BlockSamples - Filled);
        std::memcpy(Block + Filled, Samples, Take * sizeof(int16_t));
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled == BlockSamples)
            AnalyseBlock(Block);
    }
}

void TWindowDetector::ReceiveFloats(const float *Samples, size_t Count)
{
    Shorts.resize(Count);
    std::transform(Samples, Samples + Count, Shorts.begin(), ToSample);
    ReceiveShorts(Shorts.data(), Count);
}

void TWindowDetector::Finish()
{
    if (Filled > 0) {
        std::fill(Block + Filled, Block + BlockSamples, 0);
        AnalyseBlock(Block);
    }
    if (Sounding)
        EndSymbol();
}

// The spine's analysis straight on the block: the same detector and gate as
// after ReceiveBlock, without its one-block delay.
void TWindowDetector::AnalyseBlock(const int16_t *Samples)
{
    Spine.AnalyseBlock(Samples);
    const int64_t BlockEnd = BlockStart + BlockSamples;
    // After the gate, LastSymbol is what the detector made of this block.
    if (Sounding && Spine.LastSymbol == Current.Symbol)
        Current.End = BlockEnd;
    else if (Sounding)
        EndSymbol();
    const char Emitted = Spine.EmittedSymbol();
    if (Emitted != ' ') {
        Current = {Emitted, BlockStart, BlockEnd};
        Sounding = !ReportAtEmission;
        if (ReportAtEmission)
            OnSymbol(Current);
    }
    BlockStart = BlockEnd;
    Filled = 0;
}

void TWindowDetector::EndSymbol()
{
    Sounding = false;
    OnSymbol(Current);
}
