#include "MonoResampler.h"

#include "window/ToneDetector.h"

#include <utility>

namespace {

constexpr size_t OutputChunk = 8192;

} // namespace

TMonoResampler::TMonoResampler(double InputRate, TOutput Output)
    : Output(std::move(Output)), Buffer(OutputChunk)
{
    const soxr_io_spec_t Io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t Quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t Runtime = soxr_runtime_spec(1);
    soxr_error_t Error = nullptr;
    Resampler = soxr_create(InputRate, DetectorSampleRate, 1, &Error, &Io, &Quality, &Runtime);
    if (Error != nullptr && Resampler != nullptr) {
        soxr_delete(Resampler);
        Resampler = nullptr;
    }
    if (Resampler == nullptr)
        Failure = Error != nullptr ? Error : "it could not be set up";
}

bool TMonoResampler::Failed(soxr_error_t Error)
{
    if (Error != nullptr && Failure.empty())
        Failure = Error;
    return !Failure.empty();
}

TMonoResampler::~TMonoResampler()
{
    if (Resampler != nullptr)
        soxr_delete(Resampler);
}

void TMonoResampler::Feed(const float *Samples, size_t Count)
{
    while (Count > 0 && Failure.empty()) {
        size_t Used = 0;
        size_t Made = 0;
        if (Failed(soxr_process(Resampler, Samples, Count, &Used, Buffer.data(), Buffer.size(),
                                &Made)))
            return;
        if (Made > 0)
            Output(Buffer.data(), Made);
        else if (Used == 0) {
            Failure = "it took no input and gave no output";
            return;
        }
        Samples += Used;
        Count -= Used;
    }
}

void TMonoResampler::Finish()
{
    size_t Made = 0;
    do {
        if (!Failure.empty() || Failed(soxr_process(Resampler, nullptr, 0, nullptr, Buffer.data(),
                                                    Buffer.size(), &Made)))
            return;
        if (Made > 0)
            Output(Buffer.data(), Made);
    } while (Made > 0);
}
