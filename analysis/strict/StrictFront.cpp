#include "StrictFront.h"

#include "StrictReceiver.h"

#include <algorithm>
#include <cmath>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

TStrictFront::TStrictFront(int Factor, const std::array<double, DtmfToneCount> &Gain,
                           const TStrictLimits &Limits)
    : Factor(Factor), Judge(Gain, Limits), Latest(&TheBank.Previous()), RailDue(Factor)
{
}

void TStrictFront::Receive(const float *Samples, size_t Count, TSink &Sink)
{
    while (Count > 0) {
        const size_t Take = std::min(Count, Chunk);
        Taken += static_cast<int64_t>(Take);
        if (Factor > 1) {
            const size_t Made = Decimator.Process(Samples, Take, Low);
            CountRails(Samples, Take, Made);
            AtLowRate(Low, LowRails, Made, Sink);
        } else {
            AtLowRate(Samples, nullptr, Take, Sink);
        }
        Samples += Take;
        Count -= Take;
    }
}

namespace {

// Whether any of the samples reaches Level: four at a time where SSE2 is.
bool AnyOver(const float *Samples, size_t Count, float Level)
{
    size_t n = 0;
    bool Any = false;
#ifdef __SSE2__
    const __m128 Magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 Least = _mm_set1_ps(Level);
    __m128 Hit = _mm_setzero_ps();
    for (; n + 4 <= Count; n += 4)
        Hit = _mm_or_ps(Hit, _mm_cmpge_ps(_mm_and_ps(_mm_loadu_ps(Samples + n), Magnitude), Least));
    Any = _mm_movemask_ps(Hit) != 0;
#endif
    for (; n < Count; ++n)
        Any = Any || std::fabs(Samples[n]) >= Level;
    return Any;
}

} // namespace

// One count for each of the Made outputs that the decimator made of these
// samples, in LowRails: every output takes Factor input samples, as the
// decimator's do. Where the outputs stay under half of full scale, no run of
// samples on the rail long enough to count went in.
void TStrictFront::CountRails(const float *Samples, size_t Count, size_t Made)
{
    constexpr float Loud = 0.5f;
    unsigned char *Out = LowRails;
    if (!AnyOver(Low, Made, Loud) || !AnyOver(Samples, Count, TToneBank::Rail)) {
        // Only the output under way may have a count.
        if (Count < static_cast<size_t>(RailDue)) {
            RailDue -= static_cast<int>(Count);
            return;
        }
        const size_t After = Count - static_cast<size_t>(RailDue);
        *Out++ = static_cast<unsigned char>(RailRun);
        std::fill(Out, Out + After / Factor, 0);
        RailRun = 0;
        RailDue = Factor - static_cast<int>(After % Factor);
        return;
    }
    for (size_t n = 0; n < Count; ++n) {
        RailRun += std::fabs(Samples[n]) >= TToneBank::Rail;
        if (--RailDue == 0) {
            *Out++ = static_cast<unsigned char>(RailRun);
            RailRun = 0;
            RailDue = Factor;
        }
    }
}

void TStrictFront::AtLowRate(const float *Samples, const unsigned char *Rails, size_t Count,
                             TSink &Sink)
{
    while (Count > 0) {
        // Whole sub-blocks are analysed where they lie.
        if (Filled == 0 && Count >= TToneBank::SubBlock) {
            Analyse(Samples, Rails, Sink);
            Samples += TToneBank::SubBlock;
            Rails = Rails != nullptr ? Rails + TToneBank::SubBlock : nullptr;
            Count -= TToneBank::SubBlock;
            continue;
        }
        const size_t Take = std::min(Count, static_cast<size_t>(TToneBank::SubBlock - Filled));
        std::copy(Samples, Samples + Take, SubBlock + Filled);
        if (Rails != nullptr) {
            std::copy(Rails, Rails + Take, SubBlockRails + Filled);
            Rails += Take;
        }
        Filled += static_cast<int>(Take);
        Samples += Take;
        Count -= Take;
        if (Filled < TToneBank::SubBlock)
            break;
        Filled = 0;
        Analyse(SubBlock, Factor > 1 ? SubBlockRails : nullptr, Sink);
    }
}

void TStrictFront::Analyse(const float *Block, const unsigned char *Rails, TSink &Sink)
{
    // The samples on the rail are counted before the notches move them off it.
    int Railed = 0;
    if (Rails != nullptr) {
        int Inputs = 0;
        for (int n = 0; n < TToneBank::SubBlock; ++n)
            Inputs += Rails[n];
        Railed = (Inputs + Factor / 2) / Factor;
    } else if (AnyOver(Block, TToneBank::SubBlock, TToneBank::Rail)) {
        Railed = TToneBank::RailedIn(Block);
    }
    Notch.Process(Block, Clear);
    const float *Used = Notch.Steady() ? Clear : Block;
    const double Steady = SteadyLow.Take(Used);
    LastBlock = Used;
    Latest = &TheBank.Analyse(Used, -Steady, std::max(0.0, SteadyLow.Window() - Steady), Railed);
    Sink.Analysed(*this);
}

void TStrictFront::Flush(TSink &Sink)
{
    constexpr int MostZeros = TToneBank::SubBlock * TDecimator::Factor;
    const float Zeros[MostZeros] = {};
    for (int i = 0; i < TToneBank::SubBlocksPerWindow + 8; ++i) {
        if (Factor > 1) {
            const size_t Made = Decimator.Process(Zeros, MostZeros, Low);
            CountRails(Zeros, MostZeros, Made);
            AtLowRate(Low, LowRails, Made, Sink);
        } else {
            AtLowRate(Zeros, nullptr, TToneBank::SubBlock, Sink);
        }
    }
}

void TStrictFront::Reset()
{
    Decimator.Reset();
    Notch.Reset();
    SteadyLow.Reset();
    TheBank.Reset();
    Latest = &TheBank.Previous();
    LastBlock = Zeros;
    Filled = 0;
    Taken = 0;
    RailRun = 0;
    RailDue = Factor;
}

void TStrictFront::Record(TStrictRecord &Out, bool JudgeNow) const
{
    Out.Received = Taken;
    Out.Quiet = TheBank.Quiet();
    Out.Unchanged = TheBank.Unchanged();
    if (!Out.Quiet) {
        Out.Now = *Latest;
        std::copy(LastBlock, LastBlock + TToneBank::SubBlock, Out.Samples);
    }
    Out.Judged = JudgeNow && !Out.Unchanged;
    if (Out.Judged)
        Out.Verdict = Judge.Judge(*Latest, TheBank.Previous(), TStrictReceiver::ShortLimits,
                                  TPairJudge::NoneCarried);
}
