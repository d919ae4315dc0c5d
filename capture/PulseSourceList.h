// The server's recording sources as wave-in devices: the default source
// first, then the other inputs, then the monitors of the outputs.
#pragma once

#include "PulseLock.h"

#include <cstdint>
#include <string>
#include <vector>

struct pa_context;
struct pa_server_info;
struct pa_source_info;

class TPulseSourceList
{
  public:
    struct TSource
    {
        std::string Name;
        std::string Description;
        uint8_t Channels = 0;
        bool Monitor = false;
    };

    // The product name of a source: its description cut to at most 31
    // bytes without splitting a UTF-8 character.
    static std::string ProductName(const std::string &Description);
    // Default source first, then the other inputs, then the monitors, each
    // group in the server's order.
    static std::vector<TSource> OrderSources(const std::vector<TSource> &ServerOrder,
                                             const std::string &DefaultName);

    // Asks Context for the list and waits for it; false (and no list) when
    // the server did not answer in time.
    bool Refresh(TPulseLock &Lock, pa_context *Context);
    // The list is no longer known (the server went away).
    void Forget();
    bool Known() const { return IsKnown; }
    const std::vector<TSource> &Sources() const { return Ordered; }

  private:
    void LogList();
    static void ServerInfoArrived(pa_context *Context, const pa_server_info *Info, void *Self);
    static void SourceInfoArrived(pa_context *Context, const pa_source_info *Info, int Last,
                                  void *Self);

    std::vector<TSource> Ordered;
    bool IsKnown = false;
    // Filled by the callbacks while a refresh runs.
    std::vector<TSource> Arriving;
    std::string DefaultName;
    // The list as last logged, so that an unchanged list is logged once.
    std::vector<std::string> Logged;
};
