#include "RawSamples.h"

#include <cmath>
#include <cstring>

namespace {

// ITU-T G.711 expansion to 16-bit linear samples.
int16_t FromMuLaw(uint8_t Byte)
{
    const int Code = ~Byte & 0xFF;
    const int Magnitude = (((Code & 0x0F) << 3) + 0x84) << ((Code & 0x70) >> 4);
    return static_cast<int16_t>((Code & 0x80) ? 0x84 - Magnitude : Magnitude - 0x84);
}

int16_t FromALaw(uint8_t Byte)
{
    const int Code = Byte ^ 0x55;
    const int Segment = (Code & 0x70) >> 4;
    int Magnitude = (Code & 0x0F) << 4;
    Magnitude += Segment == 0 ? 8 : 0x108;
    if (Segment > 1)
        Magnitude <<= Segment - 1;
    return static_cast<int16_t>((Code & 0x80) ? Magnitude : -Magnitude);
}

constexpr bool LittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

} // namespace

int RawSampleBytes(TRawEncoding Encoding)
{
    switch (Encoding) {
    case TRawEncoding::S16le:
        return 2;
    case TRawEncoding::F32le:
        return 4;
    default:
        return 1;
    }
}

TRawSamples::TRawSamples(TRawEncoding Encoding, TDecoder &Decoder)
    : Encoding(Encoding), Decoder(Decoder), SamplesPerFrame(static_cast<size_t>(Decoder.Channels()))
{
    for (int Byte = 0; Byte < 256; ++Byte) {
        const auto Code = static_cast<uint8_t>(Byte);
        if (Encoding == TRawEncoding::U8)
            Table[Byte] = static_cast<int16_t>((Byte - 128) * 256);
        else if (Encoding == TRawEncoding::MuLaw)
            Table[Byte] = FromMuLaw(Code);
        else if (Encoding == TRawEncoding::ALaw)
            Table[Byte] = FromALaw(Code);
    }
}

void TRawSamples::Feed(const char *Bytes, size_t Frames)
{
    if (Frames == 0)
        return;
    const size_t Count = Frames * SamplesPerFrame;
    const auto *Unsigned = reinterpret_cast<const unsigned char *>(Bytes);
    if (Encoding == TRawEncoding::F32le) {
        Floats.resize(Count);
        if (LittleEndianHost) {
            std::memcpy(Floats.data(), Bytes, Count * 4);
        } else {
            for (size_t i = 0; i < Count; ++i) {
                const uint32_t Bits = Unsigned[4 * i] | Unsigned[4 * i + 1] << 8 |
                                      Unsigned[4 * i + 2] << 16 |
                                      static_cast<uint32_t>(Unsigned[4 * i + 3]) << 24;
                std::memcpy(&Floats[i], &Bits, 4);
            }
        }
        // Infinities and NaNs carry no tone.
        for (float &F : Floats)
            if (!std::isfinite(F))
                F = 0;
        Decoder.FeedFloats(Floats.data(), Frames);
        return;
    }
    Shorts.resize(Count);
    if (Encoding == TRawEncoding::S16le && LittleEndianHost)
        std::memcpy(Shorts.data(), Bytes, Count * 2);
    else if (Encoding == TRawEncoding::S16le)
        for (size_t i = 0; i < Count; ++i)
            Shorts[i] = static_cast<int16_t>(Unsigned[2 * i] | Unsigned[2 * i + 1] << 8);
    else
        for (size_t i = 0; i < Count; ++i)
            Shorts[i] = Table[Unsigned[i]];
    Decoder.FeedShorts(Shorts.data(), Frames);
}
