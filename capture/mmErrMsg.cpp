#include "mmErrMsg.h"

namespace {

const char *GeneralText(uint16_t Code)
{
    static const char *const Texts[] = {
        "no error",
        "unspecified error",
        "device ID out of range",
        "driver failed enable",
        "device already allocated",
        "device handle is invalid",
        "no device driver present",
        "memory allocation error",
        "function isn't supported",
        "error value out of range",
        "invalid flag passed",
        "invalid parameter passed",
    };
    return Code < sizeof(Texts) / sizeof(Texts[0]) ? Texts[Code] : nullptr;
}

const char *FamilyText(uint16_t Code)
{
    switch (Code) {
    case 32:
        return "unsupported wave format";
    case 33:
    case 65:
        return "still something playing";
    case 34:
    case 64:
        return "header not prepared";
    case 35:
        return "device is synchronous";
    case 66:
        return "no current map";
    case 67:
        return "hardware is still busy";
    case 68:
        return "port no longer connected";
    case 69:
        return "invalid setup";
    case 97:
    case 166:
        return "request not completed";
    case 129:
        return "time struct size";
    case 165:
        return "bad parameters";
    case 167:
        return "joystick is unplugged";
    default:
        return nullptr;
    }
}

const char *FileText(uint16_t Code)
{
    static const char *const Texts[] = {
        "file not found",  "out of memory",      "cannot open", "cannot close",
        "cannot read",     "cannot write",       "cannot seek", "cannot expand file",
        "chunk not found", "file is unbuffered",
    };
    const unsigned First = 257;
    if (Code < First || Code - First >= sizeof(Texts) / sizeof(Texts[0]))
        return nullptr;
    return Texts[Code - First];
}

} // namespace

const char *MMErrorText(uint32_t Code)
{
    const uint16_t Low = static_cast<uint16_t>(Code & 0xFFFF);
    if (const char *Text = GeneralText(Low))
        return Text;
    if (const char *Text = FamilyText(Low))
        return Text;
    if (const char *Text = FileText(Low))
        return Text;
    return "invalid parameter passed to error translation routine!";
}
