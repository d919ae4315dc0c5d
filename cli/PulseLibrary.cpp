#include "PulseLibrary.h"

#include <dlfcn.h>

namespace {

// The simple API's library brings libpulse itself in with it.
constexpr const char *LibraryFile = "libpulse-simple.so.0";

struct TLoaded
{
    TPulseLibrary Functions;
    std::string Why; // "" once every function is found
};

TLoaded Load()
{
    TLoaded Loaded;
    void *Handle = dlopen(LibraryFile, RTLD_NOW | RTLD_LOCAL);
    if (Handle == nullptr) {
        Loaded.Why = "live sources need the PulseAudio client library (Debian: libpulse0), which "
                     "is not installed";
        return Loaded;
    }
#define DTMF_PULSE_LOOKUP(Name)                                                                    \
    Loaded.Functions.Name = reinterpret_cast<decltype(&::Name)>(dlsym(Handle, #Name));             \
    if (Loaded.Functions.Name == nullptr && Loaded.Why.empty())                                    \
        Loaded.Why = "the PulseAudio client library lacks " #Name;
    DTMF_PULSE_FUNCTIONS(DTMF_PULSE_LOOKUP)
#undef DTMF_PULSE_LOOKUP
    return Loaded;
}

} // namespace

const TPulseLibrary *PulseLibrary(std::string &Why)
{
    static const TLoaded Loaded = Load();
    Why = Loaded.Why;
    return Why.empty() ? &Loaded.Functions : nullptr;
}
