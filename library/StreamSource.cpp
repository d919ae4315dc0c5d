#include "StreamSource.h"

#include "Reading.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// Far beyond any real file, yet safe from overflow in the reader's sums.
constexpr sf_count_t UnknownLength = sf_count_t(1) << 62;
// How far past what has arrived the header reader may look.
constexpr sf_count_t LookAhead = 1 << 20;
// How much is kept behind the reading position once the header is read.
constexpr size_t LookBehind = 4096;
constexpr size_t ReadBytes = 1 << 16;

uint32_t Little(const unsigned char *Bytes)
{
    return uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 |
           uint32_t(Bytes[3]) << 24;
}

uint32_t Big(const unsigned char *Bytes)
{
    return uint32_t(Bytes[3]) | uint32_t(Bytes[2]) << 8 | uint32_t(Bytes[1]) << 16 |
           uint32_t(Bytes[0]) << 24;
}

} // namespace

TStreamSource::TStreamSource(int Fd, const std::string &Taken)
    : Fd(Fd), Held(Taken.begin(), Taken.end())
{
}

SF_VIRTUAL_IO *TStreamSource::Io()
{
    static SF_VIRTUAL_IO Functions = {Length, Seek, Read, Write, Tell};
    return &Functions;
}

// Reads until the stream is held up to End or has ended; false if it ended
// (or failed) before End.
bool TStreamSource::FillTo(sf_count_t End)
{
    while (HeldEnd() < End && !AtEnd) {
        const size_t Old = Held.size();
        Held.resize(Old + ReadBytes);
        const ssize_t Got = ReadSome(Fd, Held.data() + Old, ReadBytes);
        if (Got < 0)
            Error = std::strerror(errno);
        Held.resize(Old + static_cast<size_t>(std::max<ssize_t>(Got, 0)));
        AtEnd = Got <= 0;
    }
    FindSampleData();
    return HeldEnd() >= End;
}

const std::vector<unsigned char> &TStreamSource::Peek(size_t Count)
{
    FillTo(static_cast<sf_count_t>(Count));
    return Held;
}

// Walks the chunks of a RIFF WAVE or an AIFF header as far as it is held, to
// the chunk of samples: a size of 0 there becomes the placeholder for
// "unknown", and where the samples end is noted.
void TStreamSource::FindSampleData()
{
    if (!ReadingHeader || DataEnd >= 0 || HeldStart != 0 || Held.size() < 12)
        return;
    unsigned char *Bytes = Held.data();
    const bool Wave = std::memcmp(Bytes, "RIFF", 4) == 0 && std::memcmp(Bytes + 8, "WAVE", 4) == 0;
    const bool Aiff =
        std::memcmp(Bytes, "FORM", 4) == 0 &&
        (std::memcmp(Bytes + 8, "AIFF", 4) == 0 || std::memcmp(Bytes + 8, "AIFC", 4) == 0);
    if (!Wave && !Aiff)
        return;
    for (size_t Chunk = 12; Chunk + 8 <= Held.size();) {
        uint32_t Size = Wave ? Little(Bytes + Chunk + 4) : Big(Bytes + Chunk + 4);
        if (std::memcmp(Bytes + Chunk, Wave ? "data" : "SSND", 4) == 0) {
            if (Wave && Size == 0) {
                std::memset(Bytes + Chunk + 4, 0xFF, 4);
                std::memset(Bytes + 4, 0xFF, 4);
                Size = 0xFFFFFFFF;
            }
            DataEnd = Size >= 0x7FFF0000u ? UnknownLength : sf_count_t(Chunk + 8 + Size);
            return;
        }
        Chunk += 8 + static_cast<size_t>(Size) + (Size & 1);
    }
}

// Nothing is held ahead: the bytes go from the descriptor straight to the
// reader, and only what they leave behind is kept.
sf_count_t TStreamSource::ReadDirect(unsigned char *Destination, sf_count_t Count)
{
    const auto Wanted = static_cast<size_t>(Count);
    const size_t Read = AtEnd ? 0 : ReadFull(Fd, Destination, Wanted, &Error);
    AtEnd = AtEnd || Read < Wanted;
    const auto Got = static_cast<sf_count_t>(Read);
    const size_t Kept = std::min<size_t>(static_cast<size_t>(Got), LookBehind);
    Held.assign(Destination + Got - Kept, Destination + Got);
    Position += Got;
    HeldStart = Position - static_cast<sf_count_t>(Kept);
    return Got;
}

void TStreamSource::DropBehind()
{
    // The position may lie past the end of the stream, beyond all that is held.
    const sf_count_t Behind = std::min(Position, HeldEnd()) - HeldStart;
    if (ReadingHeader || Behind < static_cast<sf_count_t>(4 * LookBehind))
        return;
    const size_t Drop = static_cast<size_t>(Behind) - LookBehind;
    Held.erase(Held.begin(), Held.begin() + static_cast<std::ptrdiff_t>(Drop));
    HeldStart += static_cast<sf_count_t>(Drop);
}

sf_count_t TStreamSource::Length(void *)
{
    return UnknownLength;
}

sf_count_t TStreamSource::Seek(sf_count_t Offset, int Whence, void *User)
{
    TStreamSource &S = *static_cast<TStreamSource *>(User);
    sf_count_t Base = 0;
    if (Whence == SEEK_CUR)
        Base = S.Position;
    else if (Whence == SEEK_END)
        return -1;
    // What was dropped can't be gone back to; a seek ahead only moves the
    // position, and the next read decides whether to wait for the bytes.
    S.Position = std::clamp(Base + Offset, S.HeldStart, UnknownLength);
    return S.Position;
}

sf_count_t TStreamSource::Read(void *Destination, sf_count_t Count, void *User)
{
    TStreamSource &S = *static_cast<TStreamSource *>(User);
    if (Count <= 0)
        return 0;
    if (S.ReadingHeader && S.Position > S.HeldEnd() + LookAhead)
        return 0;
    if (S.ReadingHeader && S.DataEnd >= 0 && S.Position >= S.DataEnd &&
        S.Position + Count > S.HeldEnd())
        return 0;
    const sf_count_t From = S.Position;
    if (S.ReadingHeader || S.Position > S.HeldEnd())
        S.FillTo(S.Position + Count);
    auto *Bytes = static_cast<unsigned char *>(Destination);
    sf_count_t Got = std::clamp<sf_count_t>(S.HeldEnd() - S.Position, 0, Count);
    if (Got > 0)
        std::memcpy(Bytes, S.Held.data() + (S.Position - S.HeldStart), static_cast<size_t>(Got));
    S.Position += Got;
    // Past what is held, the rest comes straight from the descriptor.
    if (!S.ReadingHeader && Got < Count && S.Position == S.HeldEnd())
        Got += S.ReadDirect(Bytes + Got, Count - Got);
    if (S.Pages)
        S.Pages->See(From, Bytes, static_cast<size_t>(Got));
    S.DropBehind();
    return Got;
}

sf_count_t TStreamSource::Write(const void *, sf_count_t, void *)
{
    return 0;
}

sf_count_t TStreamSource::Tell(void *User)
{
    return static_cast<TStreamSource *>(User)->Position;
}
