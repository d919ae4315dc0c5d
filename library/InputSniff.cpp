#include "InputSniff.h"

#include <cstdint>

namespace {

struct TFrameHeader
{
    int Version; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    int Layer;   // 1, 2 or 3
    int Rate;
    size_t Bytes;
};

unsigned Byte(const std::string &Text, size_t At)
{
    return static_cast<unsigned char>(Text[At]);
}

// The frame header at At, or false when none starts there.
bool ReadFrameHeader(const std::string &Start, size_t At, TFrameHeader &Header)
{
    static const int Kbps[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int Rates[3] = {44100, 48000, 32000};
    if (At + 4 > Start.size() || Byte(Start, At) != 0xFF || (Byte(Start, At + 1) & 0xE0) != 0xE0)
        return false;
    const unsigned B1 = Byte(Start, At + 1), B2 = Byte(Start, At + 2), B3 = Byte(Start, At + 3);
    Header.Version = static_cast<int>(B1 >> 3 & 3);
    const int LayerBits = static_cast<int>(B1 >> 1 & 3);
    const unsigned Bitrate = B2 >> 4, RateIndex = B2 >> 2 & 3, Padding = B2 >> 1 & 1;
    // Reserved values, and the free bitrate whose frames have no set length.
    if (Header.Version == 1 || LayerBits == 0 || Bitrate == 0 || Bitrate == 15 || RateIndex == 3 ||
        (B3 & 3) == 2)
        return false;
    Header.Layer = 4 - LayerBits;
    Header.Rate = Rates[RateIndex] >> (Header.Version == 3 ? 0 : Header.Version == 2 ? 1 : 2);
    const int64_t BitsPerSecond =
        Kbps[Header.Version == 3 ? 0 : 1][Header.Layer - 1][Bitrate] * int64_t(1000);
    if (Header.Layer == 1)
        Header.Bytes = static_cast<size_t>((12 * BitsPerSecond / Header.Rate + Padding) * 4);
    else if (Header.Layer == 3 && Header.Version != 3)
        Header.Bytes = static_cast<size_t>(72 * BitsPerSecond / Header.Rate + Padding);
    else
        Header.Bytes = static_cast<size_t>(144 * BitsPerSecond / Header.Rate + Padding);
    return true;
}

bool Has(const std::string &Start, size_t At, const char *Text, size_t Length)
{
    return Start.size() >= At + Length && Start.compare(At, Length, Text, Length) == 0;
}

} // namespace

std::string UnreadableContainer(const std::string &Start, bool Standard)
{
    std::string Kind;
    if (Has(Start, 4, "ftyp", 4))
        Kind = "an MP4 (M4A, MOV) container";
    else if (Has(Start, 0, "\x1A\x45\xDF\xA3", 4))
        Kind = "a WebM or Matroska container";
    else if (Has(Start, 0, "RIFF", 4) && Has(Start, 8, "AVI ", 4))
        Kind = "an AVI container";
    else if (Has(Start, 0, "FLV\x01", 4))
        Kind = "an FLV container";
    else if (Has(Start, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8))
        Kind = "an ASF (WMA, WMV) container";
    else if (Has(Start, 0, "\x00\x00\x01\xBA", 4))
        Kind = "an MPEG program stream";
    if (Kind.empty())
        return "";
    return Unreadable(Kind, Standard);
}

std::string Unreadable(const std::string &Kind, bool Standard)
{
    return "unsupported format: " + Kind + ", which libsndfile does not read; pipe it through " +
           "ffmpeg: " + (Standard ? "... | ffmpeg -i - " : "ffmpeg -i FILE ") +
           "-vn -f wav - | dtmf-decode -";
}

std::string UnreadableAdts(const std::string &Start, bool Standard)
{
    // Two ADTS headers one frame apart: a sync word with the layer bits 0.
    const auto IsHeader = [&](size_t At) {
        return At + 7 <= Start.size() && Byte(Start, At) == 0xFF &&
               (Byte(Start, At + 1) & 0xF6) == 0xF0;
    };
    if (!IsHeader(0))
        return "";
    const size_t Length = (Byte(Start, 3) & 3) << 11 | Byte(Start, 4) << 3 | Byte(Start, 5) >> 5;
    return Length >= 7 && IsHeader(Length) ? Unreadable("an AAC stream (ADTS)", Standard) : "";
}

bool StartsLikeMpegFrame(const std::string &Start)
{
    return Start.size() >= 2 && Byte(Start, 0) == 0xFF && (Byte(Start, 1) & 0xE0) == 0xE0;
}

bool IsMpegAudio(const std::string &Start, bool Complete)
{
    if (Has(Start, 0, "ID3", 3) && Start.size() >= 4 && Byte(Start, 3) >= 2 && Byte(Start, 3) <= 4)
        return true;
    TFrameHeader First, Second;
    if (!ReadFrameHeader(Start, 0, First))
        return false;
    if (Complete && Start.size() == First.Bytes)
        return true;
    return ReadFrameHeader(Start, First.Bytes, Second) && Second.Version == First.Version &&
           Second.Layer == First.Layer && Second.Rate == First.Rate;
}
