// Decoding of whole inputs: a sound file, or raw PCM read from a descriptor
// as it arrives.
#pragma once

#include "Decoder.h"
#include "SoundFile.h"

#include <atomic>
#include <cstdint>
#include <string>

enum class TRawEncoding
{
    S16le,
    U8,
    F32le,
    MuLaw,
    ALaw
};

int RawSampleBytes(TRawEncoding Encoding);

// Microseconds of input audio read so far, summed over every input of a run.
using TAudioCounter = std::atomic<int64_t>;

// Both feed the whole input to Decoder, made for its rate and channel count,
// and finish it. They return "" when the input was read to its end, or else
// what went wrong; what was read before is decoded all the same.
// ChunkFrames is how many frames are read at a time: few for a live stream.
std::string DecodeSoundFile(TSoundFile &File, TDecoder &Decoder, size_t ChunkFrames,
                            TAudioCounter *Counter = nullptr);
// Taken holds bytes already read from Fd, which come first.
std::string DecodeRawStream(int Fd, const std::string &Taken, TRawEncoding Encoding,
                            TDecoder &Decoder, TAudioCounter *Counter = nullptr);
