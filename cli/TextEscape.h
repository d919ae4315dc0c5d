// Names and other outside text made safe for a line of text output, tsv or
// a message: one name can't break a line or steer a terminal.
#pragma once

#include <string>

// Tab, line feed, carriage return and backslash as \t, \n, \r and \\, every
// other control character as \xHH; the rest byte for byte.
std::string EscapedText(const std::string &Text);
