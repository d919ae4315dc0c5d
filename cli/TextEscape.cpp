#include "TextEscape.h"

#include <cstdio>

std::string EscapedText(const std::string &Text)
{
    std::string Escaped;
    Escaped.reserve(Text.size());
    for (char C : Text) {
        const auto Byte = static_cast<unsigned char>(C);
        if (C == '\t')
            Escaped += "\\t";
        else if (C == '\n')
            Escaped += "\\n";
        else if (C == '\r')
            Escaped += "\\r";
        else if (C == '\\')
            Escaped += "\\\\";
        else if (Byte < 0x20 || Byte == 0x7F) {
            char Hex[8];
            std::snprintf(Hex, sizeof Hex, "\\x%02x", Byte);
            Escaped += Hex;
        } else
            Escaped += C;
    }
    return Escaped;
}
