// ReceiveBlock with arbitrary byte counts. The input is a run of records: a
// signed 32-bit little-endian byte count, then up to 2048 bytes of buffer.
// The buffer handed over holds exactly 2048 bytes, as a capture buffer does,
// so any access past it is caught.
#include "window/DtmfSpine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Check(bool Condition)
{
    if (!Condition)
        __builtin_trap();
}

int32_t PeakOf(const int16_t *Block)
{
    int32_t Peak = 0;
    for (int i = 0; i < BlockSamples; ++i)
        Peak = std::max(Peak, std::abs(static_cast<int32_t>(Block[i])));
    return Peak;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    TStringDigitLine Line;
    TDtmfSpine Spine(Line);
    const auto Buffer = std::make_unique<uint8_t[]>(BlockBytes);
    while (Size >= 4) {
        const int32_t Bytes = static_cast<int32_t>(
            static_cast<uint32_t>(Data[0]) | static_cast<uint32_t>(Data[1]) << 8 |
            static_cast<uint32_t>(Data[2]) << 16 | static_cast<uint32_t>(Data[3]) << 24);
        Data += 4;
        Size -= 4;
        const size_t Taken = std::min<size_t>(Size, BlockBytes);
        std::memset(Buffer.get(), 0, BlockBytes);
        std::memcpy(Buffer.get(), Data, Taken);
        Data += Taken;
        Size -= Taken;

        const int32_t Peak = Spine.ReceiveBlock(Buffer.get(), Bytes);
        const size_t Copied = static_cast<size_t>(std::clamp<int32_t>(Bytes, 0, BlockBytes));
        Check(std::memcmp(Spine.CurrentBlock, Buffer.get(), Copied) == 0);
        Check(Peak == PeakOf(Spine.CurrentBlock));
        const char Emitted = Spine.EmittedSymbol();
        Check(Emitted == ' ' || (Emitted != 0 && std::strchr(ValidSymbols, Emitted) != nullptr));
        Check(Line.Text().size() <= DigitLineLength);
    }
    return 0;
}
