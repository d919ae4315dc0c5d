// libpulse, loaded only when a live source is asked for, so that dtmf-decode
// runs on machines that decode files and have no sound server client.
#pragma once

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/simple.h>

#include <string>

#define DTMF_PULSE_FUNCTIONS(X)                                                                    \
    X(pa_simple_new)                                                                               \
    X(pa_simple_free)                                                                              \
    X(pa_simple_read)                                                                              \
    X(pa_strerror)                                                                                 \
    X(pa_mainloop_new)                                                                             \
    X(pa_mainloop_free)                                                                            \
    X(pa_mainloop_get_api)                                                                         \
    X(pa_mainloop_iterate)                                                                         \
    X(pa_context_new)                                                                              \
    X(pa_context_unref)                                                                            \
    X(pa_context_connect)                                                                          \
    X(pa_context_disconnect)                                                                       \
    X(pa_context_errno)                                                                            \
    X(pa_context_get_state)                                                                        \
    X(pa_context_get_server_info)                                                                  \
    X(pa_context_get_source_info_list)                                                             \
    X(pa_operation_unref)

// The functions this tool calls, each named as in libpulse.
struct TPulseLibrary
{
#define DTMF_PULSE_MEMBER(Name) decltype(&::Name) Name = nullptr;
    DTMF_PULSE_FUNCTIONS(DTMF_PULSE_MEMBER)
#undef DTMF_PULSE_MEMBER
};

// The library, loaded on the first call; nullptr, with Why set, when it is
// not installed or lacks a function.
const TPulseLibrary *PulseLibrary(std::string &Why);
