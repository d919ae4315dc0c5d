#include "SoundFile.h"

#include "Decoder.h"
#include "HeaderCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Streams are often written with a length placeholder that is never filled
// in (about 2 or 4 GiB); a size that large tells nothing.
constexpr int64_t PlaceholderBytes = 0x7FFF0000;

std::string OpenFailure(int Code)
{
    switch (Code) {
    case SF_ERR_UNRECOGNISED_FORMAT:
        return "not audio: no kind of sound file known here starts like this";
    case SF_ERR_UNSUPPORTED_ENCODING:
        return "unsupported format: its samples are stored in a way that can't be decoded";
    case SF_ERR_MALFORMED_FILE:
        return "unreadable: its header is damaged";
    default:
        return "unreadable: not a sound file that can be decoded";
    }
}

// Bytes a sample takes where the size of the data is the header's, 0 where
// the data is compressed.
int64_t SampleBytes(int Format)
{
    switch (Format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

} // namespace

TSoundFile::~TSoundFile()
{
    if (File != nullptr)
        sf_close(File);
}

bool TSoundFile::OpenStream(int Fd, const std::string &Taken)
{
    Source = std::make_unique<TStreamSource>(Fd, Taken);
    Info = SF_INFO{};
    SNDFILE *Handle = sf_open_virtual(TStreamSource::Io(), SFM_READ, &Info, Source.get());
    if (Handle == nullptr && !Source->ReadError().empty()) {
        ErrorText = "unreadable: " + Source->ReadError();
        return false;
    }
    if (!Opened(Handle))
        return false;
    const std::string Contradiction = HeaderContradiction(Source->Start());
    Source->HeaderRead();
    if (!Contradiction.empty()) {
        ErrorText = "damaged header: " + Contradiction;
        return false;
    }
    return true;
}

bool TSoundFile::OpenMemory(const void *Bytes, size_t Size)
{
    Memory.Bytes = static_cast<const unsigned char *>(Bytes);
    Memory.Size = static_cast<sf_count_t>(Size);
    Memory.Position = 0;
    static SF_VIRTUAL_IO Io = {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    Info = SF_INFO{};
    return Opened(sf_open_virtual(&Io, SFM_READ, &Info, &Memory));
}

bool TSoundFile::Opened(SNDFILE *Handle)
{
    if (Handle == nullptr) {
        ErrorText = OpenFailure(sf_error(nullptr));
        return false;
    }
    File = Handle;
    ErrorText = UnsupportedInput(Info.samplerate, Info.channels);
    return ErrorText.empty();
}

int64_t TSoundFile::DeclaredFrames() const
{
    if (Info.frames <= 0 || Info.frames == SF_COUNT_MAX)
        return -1;
    const int64_t Bytes = Info.frames * Info.channels * SampleBytes(Info.format);
    return Bytes >= PlaceholderBytes ? -1 : Info.frames;
}

size_t TSoundFile::ReadShorts(int16_t *Frames, size_t Count)
{
    const sf_count_t Read = sf_readf_short(File, Frames, static_cast<sf_count_t>(Count));
    return Read > 0 ? static_cast<size_t>(Read) : 0;
}

size_t TSoundFile::ReadFloats(float *Frames, size_t Count)
{
    const sf_count_t Read = sf_readf_float(File, Frames, static_cast<sf_count_t>(Count));
    return Read > 0 ? static_cast<size_t>(Read) : 0;
}

std::string TSoundFile::ReadError() const
{
    if (Source && !Source->ReadError().empty())
        return Source->ReadError();
    if (File == nullptr || sf_error(File) == SF_ERR_NO_ERROR)
        return "";
    return "the data is damaged";
}

sf_count_t TSoundFile::MemoryLength(void *User)
{
    return static_cast<TMemory *>(User)->Size;
}

sf_count_t TSoundFile::MemorySeek(sf_count_t Offset, int Whence, void *User)
{
    TMemory &M = *static_cast<TMemory *>(User);
    sf_count_t Base = 0;
    if (Whence == SEEK_CUR)
        Base = M.Position;
    else if (Whence == SEEK_END)
        Base = M.Size;
    // Out-of-range requests stop at the ends; libsndfile reads the position back.
    if (Offset < -Base)
        M.Position = 0;
    else if (Offset > M.Size - Base)
        M.Position = M.Size;
    else
        M.Position = Base + Offset;
    return M.Position;
}

sf_count_t TSoundFile::MemoryRead(void *Destination, sf_count_t Count, void *User)
{
    TMemory &M = *static_cast<TMemory *>(User);
    const sf_count_t Read = std::clamp<sf_count_t>(Count, 0, M.Size - M.Position);
    if (Read > 0)
        std::memcpy(Destination, M.Bytes + M.Position, static_cast<size_t>(Read));
    M.Position += Read;
    return Read;
}

sf_count_t TSoundFile::MemoryWrite(const void *, sf_count_t, void *)
{
    return 0;
}

sf_count_t TSoundFile::MemoryTell(void *User)
{
    return static_cast<TMemory *>(User)->Position;
}
