#include "InputDecoding.h"

#include "RawSamples.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t StreamBytes = 65536;

std::string Seconds(int64_t Frames, int Rate)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.3f s", static_cast<double>(Frames) / Rate);
    return Text;
}

void Count(TAudioCounter *Counter, size_t Frames, int Rate)
{
    if (Counter != nullptr)
        *Counter += static_cast<int64_t>(Frames) * 1000000 / Rate;
}

} // namespace

std::string DecodeSoundFile(TSoundFile &File, TDecoder &Decoder, size_t ChunkFrames,
                            TAudioCounter *Counter)
{
    const size_t Samples = ChunkFrames * static_cast<size_t>(File.Channels());
    int64_t Read = 0;
    // 16-bit mono at the detector's rate goes to the detector sample for sample.
    if (File.IsPcm16() && File.Channels() == 1 && File.Rate() == DetectorSampleRate) {
        std::vector<int16_t> Chunk(Samples);
        while (size_t Frames = File.ReadShorts(Chunk.data(), ChunkFrames)) {
            Decoder.FeedShorts(Chunk.data(), Frames);
            Read += static_cast<int64_t>(Frames);
            Count(Counter, Frames, File.Rate());
        }
    } else {
        std::vector<float> Chunk(Samples);
        while (size_t Frames = File.ReadFloats(Chunk.data(), ChunkFrames)) {
            Decoder.FeedFloats(Chunk.data(), Frames);
            Read += static_cast<int64_t>(Frames);
            Count(Counter, Frames, File.Rate());
        }
    }
    Decoder.Finish();
    if (!Decoder.Error().empty())
        return Decoder.Error();
    const int64_t Declared = File.DeclaredFrames();
    // The reader gave up before the end of the bytes: damaged, not cut.
    if (Read < Declared && !File.ReadToEnd())
        return "unreadable after " + Seconds(Read, File.Rate()) + ": the data is damaged";
    if (Read < Declared)
        return "cut short: " + Seconds(Declared - Read, File.Rate()) + " of the " +
               Seconds(Declared, File.Rate()) + " its header gives are missing";
    const std::string ReadError = File.ReadError();
    if (!ReadError.empty())
        return "unreadable after " + Seconds(Read, File.Rate()) + ": " + ReadError;
    const std::string Cut = File.CutShort();
    if (!Cut.empty())
        return Cut;
    return "";
}

std::string DecodeRawStream(int Fd, const std::string &Taken, TRawEncoding Encoding,
                            TDecoder &Decoder, TAudioCounter *Counter)
{
    const size_t FrameBytes =
        static_cast<size_t>(RawSampleBytes(Encoding)) * static_cast<size_t>(Decoder.Channels());
    TRawSamples Samples(Encoding, Decoder);
    std::vector<char> Bytes(std::max(StreamBytes, Taken.size()));
    std::memcpy(Bytes.data(), Taken.data(), Taken.size());
    size_t Held = Taken.size();
    bool Ended = false;
    std::string Error;
    for (;;) {
        // Whatever has arrived goes on at once; a partial frame waits for the rest.
        const size_t Frames = Held / FrameBytes;
        const size_t Used = Frames * FrameBytes;
        Samples.Feed(Bytes.data(), Frames);
        Count(Counter, Frames, Decoder.Rate());
        std::memmove(Bytes.data(), Bytes.data() + Used, Held - Used);
        Held -= Used;
        if (Ended)
            break;
        const ssize_t Got = read(Fd, Bytes.data() + Held, Bytes.size() - Held);
        if (Got < 0 && errno == EINTR)
            continue;
        if (Got < 0)
            Error = std::string("unreadable: ") + std::strerror(errno);
        Ended = Got <= 0;
        Held += static_cast<size_t>(std::max<ssize_t>(Got, 0));
    }
    Decoder.Finish();
    if (!Decoder.Error().empty())
        return Decoder.Error();
    if (!Error.empty())
        return Error;
    // A partial frame at the very end carries no whole sample of every
    // channel: the stream was cut, which is said rather than passed over.
    if (Held > 0)
        return "cut short: its last frame lacks " + std::to_string(FrameBytes - Held) + " of its " +
               std::to_string(FrameBytes) + " bytes";
    return "";
}
