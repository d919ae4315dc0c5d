// JSON text for what the decoder writes.
#pragma once

#include <string>

// Text as a quoted JSON string. Bytes that are not part of valid UTF-8 (file
// names on Linux may hold any bytes) are each written as the escape \udcXX,
// XX being the byte: the reading Python's "surrogateescape" gives back, so
// json.loads(line)["input"].encode("utf-8", "surrogateescape") is the name.
std::string JsonQuoted(const std::string &Text);
