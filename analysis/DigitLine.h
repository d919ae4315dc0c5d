// The digit line the spine appends decoded symbols to. In the window program
// it is the text of an edit control that the user may also type into, so the
// spine reads it back before every change instead of keeping its own copy.
#pragma once

#include <cstddef>
#include <string>

// The number of characters (code points) of UTF-8 Text.
inline size_t CharacterCount(const std::string &Text)
{
    size_t Count = 0;
    for (char c : Text)
        Count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return Count;
}

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
