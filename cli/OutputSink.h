// Where the messages about one input go: standard output and standard error,
// kept in the order they were written.
#pragma once

#include <string>

class TOutputSink
{
  public:
    virtual ~TOutputSink() = default;
    virtual void Out(const std::string &Text) = 0;
    virtual void Err(const std::string &Text) = 0;
};
