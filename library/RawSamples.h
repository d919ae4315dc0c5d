// Raw sample bytes in one of the encodings a stream may carry, converted for
// the decoder: 16-bit samples stay 16-bit, 32-bit floats stay floats.
#pragma once

#include "Decoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

int RawSampleBytes(TRawEncoding Encoding);

class TRawSamples
{
  public:
    TRawSamples(TRawEncoding Encoding, TDecoder &Decoder);

    // Feeds Frames whole frames of interleaved samples starting at Bytes.
    void Feed(const char *Bytes, size_t Frames);

  private:
    TRawEncoding Encoding;
    TDecoder &Decoder;
    size_t SamplesPerFrame;
    int16_t Table[256] = {}; // 8-bit encodings as 16-bit samples
    std::vector<int16_t> Shorts;
    std::vector<float> Floats;
};
