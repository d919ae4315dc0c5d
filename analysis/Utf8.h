// UTF-8 text counted in characters (code points).
#pragma once

#include <cstddef>
#include <string>

// Whether c continues a character begun by an earlier byte.
inline bool IsContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

inline size_t CharacterCount(const std::string &Text)
{
    size_t Count = 0;
    for (char c : Text)
        Count += !IsContinuationByte(c);
    return Count;
}
