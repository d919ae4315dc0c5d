#include "DtmfSpine.h"

#include <algorithm>
#include <cstring>

namespace {

// The largest absolute sample value, 0..32768, from the largest and the
// smallest sample: two reductions that the compiler vectorises.
int32_t PeakOf(const int16_t *Block)
{
    int16_t Largest = 0;
    int16_t Smallest = 0;
    for (int i = 0; i < BlockSamples; ++i) {
        Largest = std::max(Largest, Block[i]);
        Smallest = std::min(Smallest, Block[i]);
    }
    return std::max<int32_t>(Largest, -static_cast<int32_t>(Smallest));
}

} // namespace

TDtmfSpine::TDtmfSpine(TDigitLine &Line) : Line(Line) {}

int32_t TDtmfSpine::ReceiveBlock(const void *Data, int32_t BytesRecorded)
{
    const int32_t Bytes = std::clamp<int32_t>(BytesRecorded, 0, BlockBytes);
    if (Bytes > 0)
        std::memcpy(CurrentBlock, Data, static_cast<size_t>(Bytes));

    const int32_t PeakLevel = PeakOf(CurrentBlock);
    std::memcpy(PreviousBlock, LatestBlock, sizeof LatestBlock);
    std::memcpy(LatestBlock, CurrentBlock, sizeof CurrentBlock);

    if (Replacement)
        Replacement->DetectBlock(CurrentBlock, Bytes / 2, *this);
    else
        AnalyseBlock(PreviousBlock);
    return PeakLevel;
}

void TDtmfSpine::ClearHistory()
{
    std::fill(std::begin(LatestBlock), std::end(LatestBlock), 0);
    std::fill(std::begin(PreviousBlock), std::end(PreviousBlock), 0);
}

char TDtmfSpine::SymbolGate(char C)
{
    if (C == LastSymbol && C != 0 && IsKeypadSymbol(C)) {
        ++HitCount;
        return HitCount == 1 ? LastSymbol : ' ';
    }
    ++MissCount;
    if (MissCount == 1) {
        HitCount = 0;
        MissCount = 0;
        LastSymbol = C;
    }
    return ' ';
}

void TDtmfSpine::AnalyseBlock(const int16_t *Block)
{
    Emitted = SymbolGate(ClassifyBlock(Block));
    AppendToLine(Emitted);
}

void TDtmfSpine::AppendToLine(char Symbol)
{
    // Most blocks emit nothing and find the line no longer than it may be:
    // its text is then neither read nor written.
    if (Symbol == ' ' && Line.Length() <= DigitLineLength)
        return;
    std::string Text = Line.Text();
    bool Changed = false;
    if (Symbol != ' ') {
        Text += Symbol;
        Changed = true;
    }
    std::string Cut = CutDigitLine(Text);
    if (Cut.size() != Text.size()) {
        Text = std::move(Cut);
        Changed = true;
    }
    if (Changed)
        Line.SetText(Text);
}

std::string CutDigitLine(const std::string &Text)
{
    // Walk back DigitLineLength code points from the end.
    size_t Start = Text.size();
    int Kept = 0;
    while (Start > 0 && Kept < DigitLineLength) {
        --Start;
        while (Start > 0 && IsContinuationByte(Text[Start]))
            --Start;
        ++Kept;
    }
    if (Start == 0)
        return Text;
    return Text.substr(Start);
}
