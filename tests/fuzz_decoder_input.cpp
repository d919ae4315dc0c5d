// Arbitrary bytes as a sound file image through the decoder's whole input
// path: libsndfile, mixdown, resampling, blocks and both detectors.
#include "Decoder.h"
#include "InputDecoding.h"
#include "SoundFile.h"

#include <cstdint>
#include <cstring>

namespace {

void Decode(const uint8_t *Data, size_t Size, TDetectorKind Kind)
{
    TSoundFile File;
    if (!File.OpenMemory(Data, Size))
        return;
    int64_t LastStart = -1;
    TDecoder Decoder(File.Rate(), File.Channels(), Kind, [&LastStart](const TDecodedSymbol &S) {
        // Only real keypad symbols come out, in order, each with a length.
        if (S.Symbol == 0 || std::strchr(ValidSymbols, S.Symbol) == nullptr ||
            S.Start <= LastStart || S.End <= S.Start)
            __builtin_trap();
        LastStart = S.Start;
    });
    if (Decoder.Error().empty())
        DecodeSoundFile(File, Decoder, 4096);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    Decode(Data, Size, TDetectorKind::Window);
    Decode(Data, Size, TDetectorKind::Strict);
    return 0;
}
