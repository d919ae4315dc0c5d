// The digit line the spine appends decoded symbols to. In the window program
// it is the text of an edit control that the user may also type into, so the
// spine reads it back before every change instead of keeping its own copy.
#pragma once

#include <string>

class TDigitLine
{
  public:
    virtual ~TDigitLine() = default;
    // The text, UTF-8 encoded.
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string &Text) = 0;
};

// A digit line held in a string, for the decoder and the tests.
class TStringDigitLine : public TDigitLine
{
  public:
    std::string Text() const override { return Line; }
    void SetText(const std::string &Text) override { Line = Text; }

  private:
    std::string Line;
};
