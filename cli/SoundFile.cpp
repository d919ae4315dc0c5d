#include "SoundFile.h"

#include "Decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TSoundFile::~TSoundFile()
{
    if (File != nullptr)
        sf_close(File);
}

bool TSoundFile::OpenPath(const std::string &Path)
{
    // Opening the file ourselves gives the system's own reason for a missing
    // or unreadable file instead of libsndfile's wording of it.
    const int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) {
        ErrorText = std::strerror(errno);
        return false;
    }
    struct stat Status;
    if (fstat(Fd, &Status) == 0 && S_ISDIR(Status.st_mode)) {
        close(Fd);
        ErrorText = std::strerror(EISDIR);
        return false;
    }
    Info = SF_INFO{};
    return Opened(sf_open_fd(Fd, SFM_READ, &Info, SF_TRUE));
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
        ErrorText = sf_strerror(nullptr);
        return false;
    }
    File = Handle;
    if (!IsSupportedInput(Info.samplerate, Info.channels)) {
        ErrorText = "unsupported sample rate " + std::to_string(Info.samplerate) + " Hz or " +
                    std::to_string(Info.channels) + " channels";
        return false;
    }
    return true;
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
    if (File == nullptr || sf_error(File) == SF_ERR_NO_ERROR)
        return "";
    return sf_strerror(File);
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
