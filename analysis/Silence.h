// Digital silence: samples that are all exactly zero (either sign).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

inline bool AllZero(const float *Samples, size_t Count)
{
    // The bits of whole runs of a fixed length are put together, so that
    // the test vectorises.
    constexpr size_t Run = 64;
    size_t i = 0;
    for (; i + Run <= Count; i += Run) {
        uint32_t Bits = 0;
        for (size_t j = 0; j < Run; ++j) {
            uint32_t Word;
            std::memcpy(&Word, Samples + i + j, sizeof Word);
            Bits |= Word << 1; // without the sign
        }
        if (Bits != 0)
            return false;
    }
    for (; i < Count; ++i)
        if (Samples[i] != 0.0f)
            return false;
    return true;
}
