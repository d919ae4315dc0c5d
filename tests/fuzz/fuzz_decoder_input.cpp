// Arbitrary bytes as a sound file through the decoder's whole input path:
// the stream reader, libsndfile, the header checks, mixdown, resampling and
// both detectors.
#include "Decoder.h"
#include "InputDecoding.h"
#include "SoundFile.h"

#include <cstdint>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void Decode(int Fd, TDetectorKind Kind)
{
    lseek(Fd, 0, SEEK_SET);
    TSoundFile File;
    if (!File.OpenStream(Fd, ""))
        return;
    int64_t LastStart = -1;
    TDecoder Decoder(File.Rate(), File.Channels(), Kind, {}, [&LastStart](const TDecodedSymbol &S) {
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
    const int Fd = memfd_create("input", 0);
    if (Fd < 0 || write(Fd, Data, Size) != static_cast<ssize_t>(Size))
        __builtin_trap();
    Decode(Fd, TDetectorKind::Window);
    Decode(Fd, TDetectorKind::Strict);
    close(Fd);
    return 0;
}
