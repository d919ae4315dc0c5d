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
    // the descriptor stays the caller's and must outlive the file. Standard:
    // Fd is standard input, for the command a message suggests.
    bool OpenStream(int Fd, const std::string &Taken, bool Standard = false);
    // After OpenStream failed: no kind of sound file claims the input (it
    // may be raw samples), and the bytes read from it so far.
    bool Unclaimed() const { return NoKindClaims; }
    std::string TakenBytes() const;

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
    // After reading stopped: why the stream is known to be cut short, for a
    // kind whose header gives no length, or "".
    std::string CutShort() const { return Source ? Source->OggCutShort() : ""; }
    // After reading stopped: the whole stream was read, to its very end.
    bool ReadToEnd() const { return Source && Source->Ended(); }

  private:
    bool Opened(SNDFILE *Handle);
    bool Refused(const std::string &Reason, bool Unclaimed = false);
    bool JudgeStart(bool Standard);

    SNDFILE *File = nullptr;
    SF_INFO Info{};
    std::unique_ptr<TStreamSource> Source;
    std::string ErrorText;
    bool NoKindClaims = false;
};
