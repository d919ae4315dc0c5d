// A sound file opened for reading with libsndfile from a descriptor read
// front to back: a named file or a stream.
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

    // Returns false and leaves the reason in Error() when the input isn't
    // audio that can be decoded. Taken holds the bytes already read from Fd;
    // the descriptor stays the caller's and must outlive the file.
    bool OpenStream(int Fd, const std::string &Taken);

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
    bool Opened(SNDFILE *Handle);

    SNDFILE *File = nullptr;
    SF_INFO Info{};
    std::unique_ptr<TStreamSource> Source;
    std::string ErrorText;
};
