#include "StrictFront.h"

#include "StrictReceiver.h"

#include <algorithm>

TStrictFront::TStrictFront(int Factor, const std::array<double, DtmfToneCount> &Gain,
                           const TStrictLimits &Limits)
    : Factor(Factor), Judge(Gain, Limits), Latest(&TheBank.Previous())
{
}

void TStrictFront::Receive(const float *Samples, size_t Count, TSink &Sink)
{
    while (Count > 0) {
        const size_t Take = std::min(Count, Chunk);
        Taken += static_cast<int64_t>(Take);
        if (Factor > 1) {
            const size_t Made = Decimator.Process(Samples, Take, Low);
            AtLowRate(Low, Made, Sink);
        } else {
            AtLowRate(Samples, Take, Sink);
        }
        Samples += Take;
        Count -= Take;
    }
}

void TStrictFront::AtLowRate(const float *Samples, size_t Count, TSink &Sink)
{
    while (Count > 0) {
        // Whole sub-blocks are analysed where they lie.
        if (Filled == 0 && Count >= TToneBank::SubBlock) {
            Analyse(Samples, Sink);
            Samples += TToneBank::SubBlock;
            Count -= TToneBank::SubBlock;
            continue;
        }
        const size_t Take = std::min(Count, static_cast<size_t>(TToneBank::SubBlock - Filled));
        std::copy(Samples, Samples + Take, SubBlock + Filled);
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled < TToneBank::SubBlock)
            break;
        Filled = 0;
        Analyse(SubBlock, Sink);
    }
}

void TStrictFront::Analyse(const float *Block, TSink &Sink)
{
    const double Steady = SteadyLow.Take(Block);
    Latest = &TheBank.Analyse(Block, -Steady, std::max(0.0, SteadyLow.Window() - Steady));
    Sink.Analysed(*this);
}

void TStrictFront::Flush(TSink &Sink)
{
    constexpr int MostZeros = TToneBank::SubBlock * TDecimator::Factor;
    const float Zeros[MostZeros] = {};
    for (int i = 0; i < TToneBank::SubBlocksPerWindow + 8; ++i) {
        if (Factor > 1)
            AtLowRate(Low, Decimator.Process(Zeros, MostZeros, Low), Sink);
        else
            AtLowRate(Zeros, TToneBank::SubBlock, Sink);
    }
}

void TStrictFront::Reset()
{
    Decimator.Reset();
    SteadyLow.Reset();
    TheBank.Reset();
    Latest = &TheBank.Previous();
    Filled = 0;
    Taken = 0;
}

void TStrictFront::Record(TStrictRecord &Out, bool JudgeLong) const
{
    Out.Received = Taken;
    Out.Quiet = TheBank.Quiet();
    Out.Unchanged = TheBank.Unchanged();
    if (!Out.Quiet)
        Out.Now = *Latest;
    Out.Judged = JudgeLong && !Out.Unchanged;
    if (Out.Judged)
        Out.LongVerdict =
            Judge.Judge(TheBank.LongWindow(), TheBank.PreviousLong(), TStrictReceiver::LongLimits);
}
