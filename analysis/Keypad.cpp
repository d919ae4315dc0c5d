#include "Keypad.h"

#include <cstring>

const double DtmfFrequencies[DtmfToneCount] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

const char ValidSymbols[17] = "0123456789ABCD*#";

namespace {

const char Rows[] = "123A456B789C*0#D";

} // namespace

char KeypadSymbol(int Low, int High)
{
    return Rows[Low * 4 + (High - 4)];
}

namespace {

// Each character's place on the keypad (row times four plus column), or -1
// for a character that is no keypad symbol: asked every window a digit
// sounds.
struct TPlaces
{
    signed char Of[256];

    TPlaces()
    {
        for (int c = 0; c < 256; ++c) {
            const char *Key = c != 0 ? std::strchr(Rows, c) : nullptr;
            Of[c] = Key != nullptr ? static_cast<signed char>(Key - Rows) : -1;
        }
    }
};

} // namespace

bool KeypadTones(char Symbol, int &Low, int &High)
{
    static const TPlaces Places;
    const int Place = Places.Of[static_cast<unsigned char>(Symbol)];
    if (Place < 0)
        return false;
    Low = Place / 4;
    High = 4 + Place % 4;
    return true;
}

bool IsKeypadSymbol(char c)
{
    return c != 0 && std::strchr(ValidSymbols, c) != nullptr;
}
