// The strict receiver of dtmf-decode: a streaming DTMF receiver that wants a
// clean, well-formed tone pair for a minimum time before it starts a digit and
// a clear absence before it ends one. Samples in at 48000 Hz, symbols out with
// their start and end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TStrictSymbol
{
    char Symbol;   // one of "0123456789ABCD*#"
    int64_t Start; // first sample of the tone, counted from the first sample received
    int64_t End;   // one past its last sample
};

class TStrictReceiver
{
  public:
    static constexpr int SampleRate = 48000;

    TStrictReceiver();

    // Samples at 48000 Hz on the scale [-1, 1). Every symbol decided while
    // they are taken in is appended to Out, in order.
    void Receive(const float *Samples, size_t Count, std::vector<TStrictSymbol> &Out);

    // The input has ended: a digit still sounding is ended and appended.
    void Finish(std::vector<TStrictSymbol> &Out);

  private:
    void DecideBlock(std::vector<TStrictSymbol> &Out);

    std::vector<int16_t> Block;
    int64_t BlockStart = 0;
    char Current = ' ';
    int Held = 0;
    int64_t CurrentStart = 0;
    int64_t CurrentEnd = 0;
};
