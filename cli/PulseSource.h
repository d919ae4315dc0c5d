// A sound source recorded through libpulse's simple API, mono, 16-bit. Apart from the window
// program's wave-in layer: this tool only needs to read one source front to back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct pa_simple;
struct TPulseLibrary;

class TPulseSource
{
  public:
    // Device "default" is the sound server's default source; Rate in Hz.
    TPulseSource(const std::string &Device, int Rate);
    ~TPulseSource();
    TPulseSource(const TPulseSource &) = delete;
    TPulseSource &operator=(const TPulseSource &) = delete;

    // Why the source could not be opened, or why reading stopped, or "".
    const std::string &Error() const { return Problem; }

    // Waits for exactly Count samples; false once the source or the server is lost.
    bool Read(int16_t *Samples, size_t Count);

  private:
    std::string Problem;
    const TPulseLibrary *Pulse;
    pa_simple *Stream = nullptr;
};

// What a libpulse error code means for a recording, in our words.
std::string PulseProblem(const TPulseLibrary &Pulse, int Code);
