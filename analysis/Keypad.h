// The telephone keypad: its eight tone frequencies, its sixteen symbols, and
// which pair of tones makes which symbol.
#pragma once

constexpr int DtmfToneCount = 8;

// Low group (keypad rows) at indices 0..3, high group (columns) at 4..7.
extern const double DtmfFrequencies[DtmfToneCount];

// The sixteen real keypad symbols.
extern const char ValidSymbols[17];

// The symbol of a low tone (0..3) sounding with a high tone (4..7).
char KeypadSymbol(int Low, int High);

// The tones of a keypad symbol: Low in 0..3, High in 4..7. False for any
// other character.
bool KeypadTones(char Symbol, int &Low, int &High);

// Whether c is one of the sixteen keypad symbols.
bool IsKeypadSymbol(char c);
