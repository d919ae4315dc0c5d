#include "StrictReceiver.h"

#include "ToneDetector.h"

#include <cmath>
#include <cstring>

// A stand-in until the receiver proper lands: the window's detector on
// back-to-back blocks, a digit being two blocks in a row that agree.
TStrictReceiver::TStrictReceiver() { Block.reserve(BlockSamples); }

void TStrictReceiver::Receive(const float *Samples, size_t Count, std::vector<TStrictSymbol> &Out)
{
    for (size_t i = 0; i < Count; ++i) {
        const float Scaled = std::nearbyint(Samples[i] * 32768.0f);
        Block.push_back(static_cast<int16_t>(std::fmax(-32768.0f, std::fmin(32767.0f, Scaled))));
        if (Block.size() == BlockSamples)
            DecideBlock(Out);
    }
}

void TStrictReceiver::Finish(std::vector<TStrictSymbol> &Out)
{
    if (!Block.empty()) {
        Block.resize(BlockSamples, 0);
        DecideBlock(Out);
    }
    Block.assign(BlockSamples, 0);
    DecideBlock(Out);
}

void TStrictReceiver::DecideBlock(std::vector<TStrictSymbol> &Out)
{
    const char C = ClassifyBlock(Block.data());
    const bool Valid = C != ' ' && C != '.';
    if (Valid && C == Current) {
        ++Held;
        CurrentEnd = BlockStart + BlockSamples;
    } else {
        if (Held >= 2)
            Out.push_back({Current, CurrentStart, CurrentEnd});
        Current = Valid ? C : ' ';
        Held = Valid ? 1 : 0;
        CurrentStart = BlockStart;
        CurrentEnd = BlockStart + BlockSamples;
    }
    BlockStart += BlockSamples;
    Block.clear();
}
