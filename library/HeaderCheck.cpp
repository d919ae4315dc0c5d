#include "HeaderCheck.h"

#include <cstdint>
#include <cstring>

namespace {

uint32_t Little(const unsigned char *Bytes, int Size)
{
    uint32_t Value = 0;
    for (int i = Size - 1; i >= 0; --i)
        Value = Value << 8 | Bytes[i];
    return Value;
}

bool IsPlainSamples(uint32_t Tag)
{
    const uint32_t Pcm = 1, Float = 3, ALaw = 6, MuLaw = 7, Extensible = 0xFFFE;
    return Tag == Pcm || Tag == Float || Tag == ALaw || Tag == MuLaw || Tag == Extensible;
}

std::string FormatContradiction(const unsigned char *Format)
{
    const uint32_t Tag = Little(Format, 2);
    const uint32_t Channels = Little(Format + 2, 2);
    const uint32_t FrameBytes = Little(Format + 12, 2);
    const uint32_t Bits = Little(Format + 14, 2);
    if (!IsPlainSamples(Tag) || Channels == 0)
        return "";
    const uint32_t Needed = Channels * ((Bits + 7) / 8);
    if (Bits == 0 || Needed == FrameBytes)
        return "";
    return std::to_string(Channels) + " channels of " + std::to_string(Bits) +
           "-bit samples take " + std::to_string(Needed) + " bytes a frame, yet it says " +
           std::to_string(FrameBytes);
}

} // namespace

std::string HeaderContradiction(const std::vector<unsigned char> &Start)
{
    const size_t Size = Start.size();
    const unsigned char *Bytes = Start.data();
    if (Size < 12 || (std::memcmp(Bytes, "RIFF", 4) != 0 && std::memcmp(Bytes, "RF64", 4) != 0) ||
        std::memcmp(Bytes + 8, "WAVE", 4) != 0)
        return "";
    size_t Chunk = 12;
    while (Chunk + 8 <= Size) {
        const uint32_t ChunkSize = Little(Bytes + Chunk + 4, 4);
        if (std::memcmp(Bytes + Chunk, "fmt ", 4) == 0)
            return ChunkSize >= 16 && Chunk + 24 <= Size ? FormatContradiction(Bytes + Chunk + 8)
                                                         : "";
        if (std::memcmp(Bytes + Chunk, "data", 4) == 0)
            return "";
        Chunk += 8 + static_cast<size_t>(ChunkSize) + (ChunkSize & 1);
    }
    return "";
}
