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

bool KeypadTones(char Symbol, int &Low, int &High)
{
    const char *Key = Symbol != 0 ? std::strchr(Rows, Symbol) : nullptr;
    if (Key == nullptr)
        return false;
    Low = static_cast<int>(Key - Rows) / 4;
    High = 4 + static_cast<int>(Key - Rows) % 4;
    return true;
}

bool IsKeypadSymbol(char c)
{
    return c != 0 && std::strchr(ValidSymbols, c) != nullptr;
}
