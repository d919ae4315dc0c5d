#include "JsonText.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

// Length of the valid UTF-8 sequence at Text[At], or 0 if none starts there:
// no overlong forms, no surrogates, nothing above U+10FFFF.
size_t SequenceLength(const std::string &Text, size_t At)
{
    const auto Byte = [&](size_t i) { return static_cast<unsigned char>(Text[At + i]); };
    const size_t Left = Text.size() - At;
    const unsigned char Lead = Byte(0);
    if (Lead < 0x80)
        return 1;
    size_t Length = 0;
    unsigned char Low = 0x80, High = 0xBF; // range of the second byte
    if (Lead >= 0xC2 && Lead <= 0xDF) {
        Length = 2;
    } else if (Lead >= 0xE0 && Lead <= 0xEF) {
        Length = 3;
        Low = Lead == 0xE0 ? 0xA0 : 0x80;
        High = Lead == 0xED ? 0x9F : 0xBF;
    } else if (Lead >= 0xF0 && Lead <= 0xF4) {
        Length = 4;
        Low = Lead == 0xF0 ? 0x90 : 0x80;
        High = Lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (Left < Length || Byte(1) < Low || Byte(1) > High)
        return 0;
    for (size_t i = 2; i < Length; ++i)
        if (Byte(i) < 0x80 || Byte(i) > 0xBF)
            return 0;
    return Length;
}

// A run of valid UTF-8 escaped as JSON does it, without the quotes.
std::string Escaped(const std::string &Run)
{
    const std::string Quoted = nlohmann::json(Run).dump();
    return Quoted.substr(1, Quoted.size() - 2);
}

} // namespace

std::string JsonQuoted(const std::string &Text)
{
    std::string Json = "\"";
    size_t RunStart = 0;
    size_t At = 0;
    while (At < Text.size()) {
        const size_t Length = SequenceLength(Text, At);
        if (Length > 0) {
            At += Length;
            continue;
        }
        Json += Escaped(Text.substr(RunStart, At - RunStart));
        char Stray[8];
        std::snprintf(Stray, sizeof Stray, "\\udc%02x", static_cast<unsigned char>(Text[At]));
        Json += Stray;
        RunStart = ++At;
    }
    return Json + Escaped(Text.substr(RunStart)) + "\"";
}
