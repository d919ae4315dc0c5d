#include "AudioLog.h"

#include <atomic>

namespace {

std::atomic<TAudioLogSink> Sink{nullptr};

} // namespace

void SetAudioLogSink(TAudioLogSink NewSink)
{
    Sink = NewSink;
}

bool AudioLogOn()
{
    return Sink.load() != nullptr;
}

void AudioLog(const std::string &Text)
{
    if (const TAudioLogSink Current = Sink.load())
        Current(Text);
}
