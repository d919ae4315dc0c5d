// English texts for the result codes of the wave-in driver interface.
#pragma once

#include <cstdint>

// The text of the low 16 bits of Code; a constant that lives for the whole run.
const char *MMErrorText(uint32_t Code);
