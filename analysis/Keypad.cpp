#include "Keypad.h"

#include <cstring>

const double DtmfFrequencies[DtmfToneCount] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

const char ValidSymbols[17] = "0123456789ABCD*#";

namespace {

constexpr char Rows[] = "123A456B789C*0#D";

} // namespace

char KeypadSymbol(int Low, int High)
{
    return Rows[Low * 4 + (High - 4)];
}

namespace {

// Each character's place on the keypad (row times four plus column), or -1
// for a character that is no keypad symbol: asked every window a digit
// sounds, so made when the program is compiled.
struct TPlaces
{
    signed char Of[256] = {};

    constexpr TPlaces()
    {
        for (int c = 0; c < 256; ++c)
            Of[c] = -1;
        for (int Place = 0; Place < 16; ++Place)
            Of[static_cast<unsigned char>(Rows[Place])] = static_cast<signed char>(Place);
    }
};

constexpr TPlaces Places;

} // namespace

bool KeypadTones(char Symbol, int &Low, int &High)
{
    const int Place = Places.Of[static_cast<unsigned char>(Symbol)];
    if (Place < 0)
        return false;
    Low = Place >> 2;
    High = 4 + (Place & 3);
    return true;
}

bool IsKeypadSymbol(char c)
{
    return c != 0 && std::strchr(ValidSymbols, c) != nullptr;
}
