// The wave-in driver over PulseAudio. A threaded mainloop and its context run
// while a handle is open (and for the length of a call that needs the
// server); each handle is a record stream whose arriving audio the mainloop
// thread copies into the buffers queued on it.
#pragma once

#include "WaveInDriver.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_source_info;
struct pa_server_info;

class TPulseWaveIn : public TWaveInDriver
{
  public:
    // How long a call waits for the server at most, in milliseconds.
    static constexpr int ServerTimeoutMs = 4000;
    // Bytes the server hands over at a time.
    static constexpr uint32_t FragmentBytes = 2048;

    // The driver behind the wave-in functions when no other is installed.
    static TPulseWaveIn &Instance();

    TPulseWaveIn() = default;
    ~TPulseWaveIn() override;
    TPulseWaveIn(const TPulseWaveIn &) = delete;
    TPulseWaveIn &operator=(const TPulseWaveIn &) = delete;

    UINT GetNumDevs() override;
    MMRESULT GetDevCaps(UINT DeviceId, WAVEINCAPSA *Caps) override;
    MMRESULT Open(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX *Format, TWaveInWindow *Window,
                  DWORD Flags) override;
    MMRESULT PrepareHeader(HWAVEIN Handle, WAVEHDR *Header) override;
    MMRESULT AddBuffer(HWAVEIN Handle, WAVEHDR *Header) override;
    MMRESULT Start(HWAVEIN Handle) override;
    MMRESULT Reset(HWAVEIN Handle) override;
    MMRESULT Close(HWAVEIN Handle) override;

    // Handles open now.
    int OpenHandles();
    // Whether the mainloop thread is running.
    bool MainloopRunning();
    // Bytes of audio dropped because no buffer was queued, over all handles
    // since this driver was made.
    uint64_t DroppedBytes();

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

  private:
    struct THandle;
    bool StartMainloop();
    void ShutdownIfIdle();
    template <typename Predicate> bool WaitFor(Predicate Done);
    bool Connect();
    void Disconnect();
    bool ContextGood();
    bool RefreshSources();
    template <typename Answer> MMRESULT FromSources(Answer Reply);
    MMRESULT ServerFailureCode();
    static void FillCaps(const TSource &Source, WAVEINCAPSA &Caps);
    MMRESULT OpenStream(HWAVEIN *Handle, UINT DeviceId, const WAVEFORMATEX &Format,
                        TWaveInWindow *Window);
    MMRESULT ConnectStream(THandle &H, const char *SourceName, const WAVEFORMATEX &Format);
    void ReleaseStream(THandle &H);
    THandle *Find(HWAVEIN Handle);
    void Fail(THandle &H);

    static void ContextStateChanged(pa_context *Context, void *Self);
    static void StreamStateChanged(pa_stream *Stream, void *Handle);
    static void StreamReadable(pa_stream *Stream, size_t Bytes, void *Handle);
    static void ServerInfoArrived(pa_context *Context, const pa_server_info *Info, void *Self);
    static void SourceInfoArrived(pa_context *Context, const pa_source_info *Info, int Last,
                                  void *Self);

    // Held for the length of every call, so that the mainloop is started and
    // stopped by one caller at a time.
    std::mutex CallMutex;
    pa_threaded_mainloop *Mainloop = nullptr;
    pa_context *Context = nullptr;
    std::vector<THandle *> Handles;
    std::vector<TSource> Sources;
    bool SourcesKnown = false;
    // Filled by the introspection callbacks while a refresh runs.
    std::vector<TSource> Arriving;
    std::string DefaultSource;
    int PendingReplies = 0;
    uint64_t Dropped = 0;
};
