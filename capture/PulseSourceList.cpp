#include "PulseSourceList.h"
#include "AudioLog.h"
#include "WaveIn.h"

#include <pulse/pulseaudio.h>

std::string TPulseSourceList::ProductName(const std::string &Description)
{
    const size_t Limit = sizeof(WAVEINCAPSA::szPname) - 1;
    if (Description.size() <= Limit)
        return Description;
    size_t Cut = Limit;
    while (Cut > 0 && (static_cast<unsigned char>(Description[Cut]) & 0xC0) == 0x80)
        --Cut;
    return Description.substr(0, Cut);
}

std::vector<TPulseSourceList::TSource>
TPulseSourceList::OrderSources(const std::vector<TSource> &ServerOrder,
                               const std::string &DefaultName)
{
    std::vector<TSource> Result;
    for (const TSource &S : ServerOrder)
        if (S.Name == DefaultName)
            Result.push_back(S);
    for (bool Monitors : {false, true})
        for (const TSource &S : ServerOrder)
            if (S.Monitor == Monitors && S.Name != DefaultName)
                Result.push_back(S);
    return Result;
}

bool TPulseSourceList::Refresh(TPulseLock &Lock, pa_context *Context)
{
    Arriving.clear();
    DefaultName.clear();
    const TPulseOperation Requests[] = {
        Lock.Track(pa_context_get_server_info(Context, ServerInfoArrived, this)),
        Lock.Track(pa_context_get_source_info_list(Context, SourceInfoArrived, this))};
    IsKnown = true;
    for (const TPulseOperation &Request : Requests)
        IsKnown = IsKnown && Lock.WaitForOperation(Request);
    for (const TPulseOperation &Request : Requests)
        if (Request && pa_operation_get_state(Request.get()) == PA_OPERATION_RUNNING)
            pa_operation_cancel(Request.get());
    Ordered = IsKnown ? OrderSources(Arriving, DefaultName) : std::vector<TSource>();
    if (AudioLogOn())
        LogList();
    return IsKnown;
}

void TPulseSourceList::Forget()
{
    Ordered.clear();
    IsKnown = false;
}

void TPulseSourceList::LogList()
{
    std::vector<std::string> Lines = {"sources: " + std::to_string(Ordered.size()) + ", default " +
                                      DefaultName};
    for (size_t i = 0; i < Ordered.size(); ++i)
        Lines.push_back("source " + std::to_string(i) + ": " + Ordered[i].Description + " (" +
                        Ordered[i].Name + ")");
    if (!IsKnown)
        Lines = {"the sound server did not list its sources in time"};
    if (Lines != Logged)
        for (const std::string &Line : Lines)
            AudioLog(Line);
    Logged = Lines;
}

// Mainloop thread from here on.

void TPulseSourceList::ServerInfoArrived(pa_context *, const pa_server_info *Info, void *Self)
{
    auto *List = static_cast<TPulseSourceList *>(Self);
    if (Info && Info->default_source_name)
        List->DefaultName = Info->default_source_name;
}

void TPulseSourceList::SourceInfoArrived(pa_context *, const pa_source_info *Info, int Last,
                                         void *Self)
{
    if (Last || !Info)
        return;
    TSource S;
    S.Name = Info->name ? Info->name : "";
    S.Description = Info->description ? Info->description : S.Name;
    S.Channels = Info->sample_spec.channels;
    S.Monitor = Info->monitor_of_sink != PA_INVALID_INDEX;
    static_cast<TPulseSourceList *>(Self)->Arriving.push_back(S);
}
