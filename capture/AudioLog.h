// Diagnostics of the capture layer: server connections, the source list,
// streams opened or failed, audio lost. Nothing is written unless a sink is
// set. The sink may be called from the PulseAudio mainloop thread.
#pragma once

#include <string>

using TAudioLogSink = void (*)(const std::string &Text);

// Sets the function that takes every diagnostic line; nullptr turns them off.
void SetAudioLogSink(TAudioLogSink Sink);
// Whether a sink is set, so that callers can skip building a text.
bool AudioLogOn();
// Hands Text to the sink, if any.
void AudioLog(const std::string &Text);
