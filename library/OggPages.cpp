#include "OggPages.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t HeaderBytes = 27;
// A stream's header pages lie within this much of its start.
constexpr size_t HeaderSpan = 1 << 16;

uint32_t Crc(const unsigned char *Bytes, size_t Count)
{
    static const auto Table = [] {
        std::vector<uint32_t> T(256);
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t R = i << 24;
            for (int b = 0; b < 8; ++b)
                R = R & 0x80000000u ? R << 1 ^ 0x04C11DB7u : R << 1;
            T[i] = R;
        }
        return T;
    }();
    uint32_t Sum = 0;
    for (size_t i = 0; i < Count; ++i)
        Sum = Sum << 8 ^ Table[(Sum >> 24 ^ Bytes[i]) & 0xFF];
    return Sum;
}

// The length of the whole page at Bytes, 0 while its header isn't all there,
// or -1 when no page starts there.
long PageLength(const unsigned char *Bytes, size_t Count)
{
    if (Count < HeaderBytes)
        return 0;
    if (std::memcmp(Bytes, "OggS", 4) != 0 || Bytes[4] != 0)
        return -1;
    const size_t Segments = Bytes[26];
    if (Count < HeaderBytes + Segments)
        return 0;
    long Length = static_cast<long>(HeaderBytes + Segments);
    for (size_t s = 0; s < Segments; ++s)
        Length += Bytes[HeaderBytes + s];
    return Length;
}

bool ChecksumHolds(const unsigned char *Page, size_t Length)
{
    std::vector<unsigned char> Copy(Page, Page + Length);
    std::memset(Copy.data() + 22, 0, 4);
    const uint32_t Stored = uint32_t(Page[22]) | uint32_t(Page[23]) << 8 |
                            uint32_t(Page[24]) << 16 | uint32_t(Page[25]) << 24;
    return Crc(Copy.data(), Length) == Stored;
}

int64_t Granule(const unsigned char *Page)
{
    uint64_t Value = 0;
    for (int i = 13; i >= 6; --i)
        Value = Value << 8 | Page[i];
    return static_cast<int64_t>(Value);
}

} // namespace

std::string TOggPages::HeaderDamage(const std::vector<unsigned char> &Start, bool Ended,
                                    bool &Whole)
{
    // Header pages carry a granule position of 0; the first other page ends them.
    size_t At = 0, Last = 0;
    Whole = false;
    for (int Page = 1; At < HeaderSpan; ++Page) {
        const long Length = PageLength(Start.data() + At, Start.size() - At);
        if (Length < 0) {
            Whole = true; // no page here: not for this check to judge
            return "";
        }
        if (Length > 0 && Granule(Start.data() + At) != 0) {
            Whole = true;
            return "";
        }
        const bool Partial = Length == 0 || At + static_cast<size_t>(Length) > Start.size();
        // A stream that ends before its headers do (without an end-of-stream
        // page) can't be decoded.
        const bool LastEnds = At > 0 && (Start[Last + 5] & 0x04) != 0;
        if (Partial && Ended && (At < Start.size() || !LastEnds))
            return "cut short: it ends within its Ogg header pages";
        if (Partial)
            return "";
        if (!ChecksumHolds(Start.data() + At, static_cast<size_t>(Length)))
            return "damaged header: the checksum of Ogg page " + std::to_string(Page) + " fails";
        Last = At;
        At += static_cast<size_t>(Length);
    }
    Whole = true;
    return "";
}

void TOggPages::See(int64_t Offset, const unsigned char *Bytes, size_t Count)
{
    if (Lost || Offset + static_cast<int64_t>(Count) <= Seen)
        return;
    if (Offset > Seen) {
        Lost = true;
        return;
    }
    const size_t Skip = static_cast<size_t>(Seen - Offset);
    Pending.insert(Pending.end(), Bytes + Skip, Bytes + Count);
    Seen = Offset + static_cast<int64_t>(Count);
    Parse();
}

void TOggPages::Parse()
{
    size_t At = 0;
    for (;;) {
        const long Length = PageLength(Pending.data() + At, Pending.size() - At);
        if (Length < 0) {
            Lost = true; // not a page where one should start: not followed
            break;
        }
        if (Length == 0 || At + static_cast<size_t>(Length) > Pending.size())
            break;
        Ended = (Pending[At + 5] & 0x04) != 0;
        ++Pages;
        At += static_cast<size_t>(Length);
    }
    Pending.erase(Pending.begin(), Pending.begin() + static_cast<std::ptrdiff_t>(At));
}

std::string TOggPages::CutShort() const
{
    if (Lost || Pages == 0)
        return "";
    if (!Pending.empty())
        return "cut short: it ends in the middle of an Ogg page";
    return Ended ? "" : "cut short: it ends without its Ogg stream's last page";
}
