#include "InputDecoding.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t ChunkFrames = 4096;
constexpr size_t StreamBytes = 65536;

} // namespace

bool DecodeSoundFile(TSoundFile &File, TDecoder &Decoder, std::string &Error)
{
    const size_t Samples = ChunkFrames * static_cast<size_t>(File.Channels());
    // 16-bit mono at the detector's rate goes to the spine sample for sample.
    if (File.IsPcm16() && File.Channels() == 1 && File.Rate() == DetectorSampleRate) {
        std::vector<int16_t> Chunk(Samples);
        while (size_t Frames = File.ReadShorts(Chunk.data(), ChunkFrames))
            Decoder.FeedShorts(Chunk.data(), Frames);
    } else {
        std::vector<float> Chunk(Samples);
        while (size_t Frames = File.ReadFloats(Chunk.data(), ChunkFrames))
            Decoder.FeedFloats(Chunk.data(), Frames);
    }
    Decoder.Finish();
    Error = File.ReadError();
    return Error.empty();
}

bool DecodeRawStream(int Fd, TDecoder &Decoder, std::string &Error)
{
    const size_t FrameBytes = 2 * static_cast<size_t>(Decoder.Channels());
    std::vector<unsigned char> Bytes(StreamBytes);
    std::vector<int16_t> Samples(StreamBytes / 2);
    size_t Held = 0;
    for (;;) {
        const ssize_t Got = read(Fd, Bytes.data() + Held, Bytes.size() - Held);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0) {
            Error = std::strerror(errno);
            Decoder.Finish();
            return false;
        }
        if (Got == 0)
            break;
        Held += static_cast<size_t>(Got);
        // Whatever has arrived goes on at once; a partial frame waits for the rest.
        const size_t Frames = Held / FrameBytes;
        const size_t Used = Frames * FrameBytes;
        for (size_t i = 0; i < Used / 2; ++i)
            Samples[i] = static_cast<int16_t>(Bytes[2 * i] | (Bytes[2 * i + 1] << 8));
        Decoder.FeedShorts(Samples.data(), Frames);
        std::memmove(Bytes.data(), Bytes.data() + Used, Held - Used);
        Held -= Used;
    }
    Decoder.Finish();
    // A partial frame at the very end carries no whole sample of every
    // channel: the stream was cut, which is said rather than passed over.
    if (Held > 0) {
        Error = "ends in the middle of a frame";
        return false;
    }
    return true;
}
