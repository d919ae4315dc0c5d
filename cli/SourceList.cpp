#include "SourceList.h"

#include "PulseLibrary.h"
#include "PulseSource.h"

#include <memory>

namespace {

struct TQuery
{
    std::vector<TSourceEntry> *Sources;
    std::string DefaultName;
    int Pending = 2; // the server's information and the source list
};

void OnServer(pa_context *, const pa_server_info *Info, void *User)
{
    auto &Query = *static_cast<TQuery *>(User);
    if (Info != nullptr && Info->default_source_name != nullptr)
        Query.DefaultName = Info->default_source_name;
    --Query.Pending;
}

void OnSource(pa_context *, const pa_source_info *Info, int Last, void *User)
{
    auto &Query = *static_cast<TQuery *>(User);
    if (Last != 0) {
        --Query.Pending;
        return;
    }
    if (Info != nullptr)
        Query.Sources->push_back(
            {Info->name, Info->description != nullptr ? Info->description : "", false});
}

} // namespace

std::string ListSources(std::vector<TSourceEntry> &Sources)
{
    std::string Why;
    const TPulseLibrary *Library = PulseLibrary(Why);
    if (Library == nullptr)
        return Why;
    const TPulseLibrary &Pulse = *Library;
    std::unique_ptr<pa_mainloop, void (*)(pa_mainloop *)> Loop(Pulse.pa_mainloop_new(),
                                                               Pulse.pa_mainloop_free);
    std::unique_ptr<pa_context, void (*)(pa_context *)> Context(
        Pulse.pa_context_new(Pulse.pa_mainloop_get_api(Loop.get()), "dtmf-decode"),
        Pulse.pa_context_unref);
    if (Pulse.pa_context_connect(Context.get(), nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return PulseProblem(Pulse, Pulse.pa_context_errno(Context.get()));
    pa_context_state_t State;
    while ((State = Pulse.pa_context_get_state(Context.get())) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(State) || Pulse.pa_mainloop_iterate(Loop.get(), 1, nullptr) < 0)
            return PulseProblem(Pulse, Pulse.pa_context_errno(Context.get()));
    }
    TQuery Query{&Sources, {}};
    Pulse.pa_operation_unref(Pulse.pa_context_get_server_info(Context.get(), OnServer, &Query));
    Pulse.pa_operation_unref(
        Pulse.pa_context_get_source_info_list(Context.get(), OnSource, &Query));
    while (Query.Pending > 0) {
        if (!PA_CONTEXT_IS_GOOD(Pulse.pa_context_get_state(Context.get())) ||
            Pulse.pa_mainloop_iterate(Loop.get(), 1, nullptr) < 0)
            return PulseProblem(Pulse, Pulse.pa_context_errno(Context.get()));
    }
    for (TSourceEntry &Source : Sources)
        Source.Default = Source.Name == Query.DefaultName;
    Pulse.pa_context_disconnect(Context.get());
    return "";
}
