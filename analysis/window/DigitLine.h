// The digit line the spine appends decoded symbols to. In the window program
// it is the text of an edit control that the user may also type into, so the
// spine reads it back before every change instead of keeping its own copy.
#pragma once

#include "Utf8.h"

#include <cstddef>
#include <string>

class TDigitLine
{
  public:
    virtual ~TDigitLine() = default;
    // The text, UTF-8 encoded.
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string &Text) = 0;
    // The number of characters of the text, asked on every block; a line
    // that can tell it without handing over its text should.
    virtual size_t Length() const { return CharacterCount(Text()); }
};

// A digit line held in a string, for the decoder and the tests.
class TStringDigitLine : public TDigitLine
{
  public:
    std::string Text() const override { return Line; }
    void SetText(const std::string &Text) override { Line = Text; }
    size_t Length() const override { return CharacterCount(Line); }

  private:
    std::string Line;
};
