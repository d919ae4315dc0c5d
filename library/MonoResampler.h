// Streaming conversion of one channel from any supported rate to the
// detector's 48000 Hz with libsoxr.
#pragma once

#include <cstddef>
#include <functional>
#include <soxr.h>
#include <string>
#include <vector>

class TMonoResampler
{
  public:
    // Receives each run of resampled samples, on the scale [-1, 1).
    using TOutput = std::function<void(const float *Samples, size_t Count)>;

    TMonoResampler(double InputRate, TOutput Output);
    ~TMonoResampler();
    TMonoResampler(const TMonoResampler &) = delete;
    TMonoResampler &operator=(const TMonoResampler &) = delete;

    // Why the filter could not be set up or stopped working, or "". Once it
    // has failed, it takes nothing more.
    const std::string &Error() const { return Failure; }
    void Feed(const float *Samples, size_t Count);
    // Drains what the filter still holds; nothing may be fed afterwards.
    void Finish();

  private:
    bool Failed(soxr_error_t Error);

    soxr_t Resampler = nullptr;
    TOutput Output;
    std::vector<float> Buffer;
    std::string Failure;
};
