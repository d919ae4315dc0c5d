#include "Keypad.h"

#include <cstring>

const double DtmfFrequencies[DtmfToneCount] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

const char ValidSymbols[17] = "0123456789ABCD*#";

char KeypadSymbol(int Low, int High)
{
    static const char Rows[] = "123A456B789C*0#D";
    return Rows[Low * 4 + (High - 4)];
}

bool IsKeypadSymbol(char c)
{
    return c != 0 && std::strchr(ValidSymbols, c) != nullptr;
}
