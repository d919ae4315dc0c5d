// What a caller chooses about decoding, and the bounds of what can be
// decoded: the words the command line and the C interface share with the
// decoder, without the decoder's own headers.
#pragma once

enum class TDetectorKind
{
    Strict,
    Window
};

// Raw PCM samples, as they come on a stream without a header.
enum class TRawEncoding
{
    S16le,
    U8,
    F32le,
    MuLaw,
    ALaw
};

constexpr int MinInputRate = 1000;
constexpr int MaxInputRate = 1000000;
constexpr int MaxInputChannels = 1024;
