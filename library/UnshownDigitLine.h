// The digit line of the decoder's spine.
#pragma once

#include "window/DigitLine.h"

#include <string>

// The decoder reports symbols itself; nothing ever shows the line, so it
// holds no text and the spine touches no string on a block that emits nothing.
class TUnshownDigitLine : public TDigitLine
{
  public:
    std::string Text() const override { return {}; }
    void SetText(const std::string &) override {}
};
