// A sound file opened for reading with libsndfile: from a descriptor read
// front to back (a named file or a stream), or from bytes held in memory.
#pragma once

#include "StreamSource.h"

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TSoundFile
{
  public:
    TSoundFile() = default;
    ~TSoundFile();
    TSoundFile(const TSoundFile &) = delete;
    TSoundFile &operator=(const TSoundFile &) = delete;

    // Both return false and leave the reason in Error() when the input isn't
    // audio that can be decoded. Taken holds the bytes already read from Fd;
    // the descriptor stays the caller's and must outlive the file.
    bool OpenStream(int Fd, const std::string &Taken);
    // Bytes must outlive the file.
    bool OpenMemory(const void *Bytes, size_t Size);

    int Rate() const { return Info.samplerate; }
    int Channels() const { return Info.channels; }
    // Plain 16-bit PCM, which reads as shorts without any conversion.
    bool IsPcm16() const { return (Info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16; }
    // The length the header gives, or -1 when it gives none that can be trusted.
    int64_t DeclaredFrames() const;

    // Interleaved frames; the result is the number of frames read, 0 at the end.
    size_t ReadShorts(int16_t *Frames, size_t Count);
    size_t ReadFloats(float *Frames, size_t Count);

    const std::string &Error() const { return ErrorText; }
    // After reading stopped: why it stopped before the end, or "".
    std::string ReadError() const;

  private:
    struct TMemory
    {
        const unsigned char *Bytes = nullptr;
        sf_count_t Size = 0;
        sf_count_t Position = 0;
    };

    bool Opened(SNDFILE *Handle);
    static sf_count_t MemoryLength(void *User);
    static sf_count_t MemorySeek(sf_count_t Offset, int Whence, void *User);
    static sf_count_t MemoryRead(void *Destination, sf_count_t Count, void *User);
    static sf_count_t MemoryWrite(const void *Source, sf_count_t Count, void *User);
    static sf_count_t MemoryTell(void *User);

    SNDFILE *File = nullptr;
    SF_INFO Info{};
    TMemory Memory;
    std::unique_ptr<TStreamSource> Source;
    std::string ErrorText;
};
