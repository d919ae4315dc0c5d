#include "PulseSource.h"

#include "Decoder.h"
#include "PulseLibrary.h"

std::string PulseProblem(const TPulseLibrary &Pulse, int Code)
{
    switch (Code) {
    case PA_ERR_CONNECTIONREFUSED:
    case PA_ERR_INVALIDSERVER:
        return "no sound server answers";
    case PA_ERR_CONNECTIONTERMINATED:
        return "the sound server went away";
    case PA_ERR_NOENTITY:
        return "no such sound source ('dtmf-decode --list-devices' names them)";
    case PA_ERR_KILLED:
        return "the sound source went away";
    case PA_ERR_ACCESS:
        return "the sound server refused access";
    default:
        return std::string("the sound server failed: ") + Pulse.pa_strerror(Code);
    }
}

TPulseSource::TPulseSource(const std::string &Device, int Rate) : Pulse(PulseLibrary(Problem))
{
    if (Pulse == nullptr)
        return;
    const pa_sample_spec Format = {PA_SAMPLE_S16LE, static_cast<uint32_t>(Rate), 1};
    pa_buffer_attr Buffer;
    Buffer.maxlength = static_cast<uint32_t>(-1);
    Buffer.tlength = Buffer.prebuf = Buffer.minreq = static_cast<uint32_t>(-1);
    // 20 ms a fragment: symbols come out as they finish, not seconds later.
    Buffer.fragsize = static_cast<uint32_t>(Rate / 50 * sizeof(int16_t));
    int Code = 0;
    Stream = Pulse->pa_simple_new(nullptr, "dtmf-decode", PA_STREAM_RECORD,
                                  Device == "default" ? nullptr : Device.c_str(), "DTMF decoding",
                                  &Format, nullptr, &Buffer, &Code);
    if (Stream == nullptr)
        Problem = PulseProblem(*Pulse, Code);
}

TPulseSource::~TPulseSource()
{
    if (Stream != nullptr)
        Pulse->pa_simple_free(Stream);
}

bool TPulseSource::Read(int16_t *Samples, size_t Count)
{
    int Code = 0;
    if (Stream == nullptr)
        return false;
    if (Pulse->pa_simple_read(Stream, Samples, Count * sizeof(int16_t), &Code) < 0) {
        Problem = PulseProblem(*Pulse, Code);
        return false;
    }
    return true;
}
