// Arbitrary bytes as a sound file image through the decoder's whole input
// path: libsndfile, mixdown, resampling, blocks and the spine.
#include "Decoder.h"
#include "InputDecoding.h"
#include "SoundFile.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size)
{
    TSoundFile File;
    if (!File.OpenMemory(Data, Size))
        return 0;
    int64_t LastBlock = -1;
    TDecoder Decoder(File.Rate(), File.Channels(), [&LastBlock](char Symbol, int64_t Block) {
        // Only real keypad symbols leave the gate, in the order of their blocks.
        if (std::strchr(ValidSymbols, Symbol) == nullptr || Symbol == 0 || Block <= LastBlock)
            __builtin_trap();
        LastBlock = Block;
    });
    std::string Error;
    if (Decoder.Ok())
        DecodeSoundFile(File, Decoder, Error);
    return 0;
}
