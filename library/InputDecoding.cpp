#include "InputDecoding.h"

#include "Reading.h"
#include "StrictPipe.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t StreamBytes = 65536;
constexpr size_t FileChunkFrames = 16384;
// About 20 ms at 48000 Hz: a live stream goes on in small steps.
constexpr size_t StreamChunkFrames = 1024;

std::string Seconds(int64_t Frames, int Rate)
{
    char Text[32];
    std::snprintf(Text, sizeof Text, "%.3f s", static_cast<double>(Frames) / Rate);
    return Text;
}

void Count(TAudioCounter *Counter, size_t Frames, int Rate)
{
    if (Counter != nullptr)
        *Counter += static_cast<int64_t>(Frames) * 1000000 / Rate;
}

int Cores()
{
    cpu_set_t Set;
    return sched_getaffinity(0, sizeof Set, &Set) == 0
               ? CPU_COUNT(&Set)
               : static_cast<int>(std::thread::hardware_concurrency());
}

// A decoding on two threads holds two cores; those that the cores of the
// process cannot hold beside the others run on one, so that callers that
// decode many inputs at once (threads of their own, a thread pool) don't
// crowd the cores.
class TCorePair
{
  public:
    TCorePair() : Held(Pairs.fetch_add(1) + 1 <= Cores() / 2)
    {
        if (!Held)
            Pairs.fetch_sub(1);
    }
    ~TCorePair()
    {
        if (Held)
            Pairs.fetch_sub(1);
    }
    TCorePair(const TCorePair &) = delete;
    TCorePair &operator=(const TCorePair &) = delete;

    const bool Held;

  private:
    static inline std::atomic<int> Pairs{0};
};

// Read, which feeds the whole input to Decoder and finishes it, on a thread
// of its own, with the digits tracked on this one. Only a strict receiver
// that takes every sample is split so.
std::string OnTwoThreads(TDecoder &Decoder, bool TwoThreads,
                         const std::function<std::string()> &Read)
{
    TStrictDetector *Strict = Decoder.Strict();
    if (!TwoThreads || Strict == nullptr)
        return Read();
    const TCorePair Cores;
    if (!Cores.Held)
        return Read();
    TStrictPipe Pipe;
    Strict->Divert(&Pipe);
    std::string Result;
    std::exception_ptr Failure;
    std::thread Analysis;
    try {
        Analysis = std::thread([&] {
            try {
                Result = Read();
            } catch (...) {
                Failure = std::current_exception();
            }
            Pipe.Close();
        });
    } catch (const std::system_error &) {
        // No thread to be had: all on this one.
        Strict->Divert(nullptr);
        return Read();
    }
    try {
        const TPipedRecord *Records;
        size_t Count;
        while (Pipe.Take(Records, Count)) {
            Strict->Track(Records, Count);
            Pipe.Release();
        }
    } catch (...) {
        Pipe.Abandon();
        Analysis.join();
        Strict->Divert(nullptr);
        throw;
    }
    Analysis.join();
    Strict->Divert(nullptr);
    if (Failure)
        std::rethrow_exception(Failure);
    return Result;
}

std::string ReadSoundFile(TSoundFile &File, TDecoder &Decoder, size_t ChunkFrames,
                          TAudioCounter *Counter)
{
    const size_t Samples = ChunkFrames * static_cast<size_t>(File.Channels());
    int64_t Read = 0;
    // 16-bit samples are read as they are stored: the decoder converts them
    // only where its path needs floats, to the same values.
    if (File.IsPcm16()) {
        std::vector<int16_t> Chunk(Samples);
        while (size_t Frames = File.ReadShorts(Chunk.data(), ChunkFrames)) {
            Decoder.FeedShorts(Chunk.data(), Frames);
            Read += static_cast<int64_t>(Frames);
            Count(Counter, Frames, File.Rate());
        }
    } else {
        std::vector<float> Chunk(Samples);
        while (size_t Frames = File.ReadFloats(Chunk.data(), ChunkFrames)) {
            Decoder.FeedFloats(Chunk.data(), Frames);
            Read += static_cast<int64_t>(Frames);
            Count(Counter, Frames, File.Rate());
        }
    }
    Decoder.Finish();
    if (!Decoder.Error().empty())
        return Decoder.Error();
    const int64_t Declared = File.DeclaredFrames();
    // The reader gave up before the end of the bytes: damaged, not cut.
    if (Read < Declared && !File.ReadToEnd())
        return "unreadable after " + Seconds(Read, File.Rate()) + ": the data is damaged";
    if (Read < Declared)
        return "cut short: " + Seconds(Declared - Read, File.Rate()) + " of the " +
               Seconds(Declared, File.Rate()) + " its header gives are missing";
    const std::string ReadError = File.ReadError();
    if (!ReadError.empty())
        return "unreadable after " + Seconds(Read, File.Rate()) + ": " + ReadError;
    const std::string Cut = File.CutShort();
    if (!Cut.empty())
        return Cut;
    return "";
}

std::string ReadRawStream(int Fd, const std::string &Taken, TRawEncoding Encoding,
                          TDecoder &Decoder, TAudioCounter *Counter)
{
    const size_t FrameBytes =
        static_cast<size_t>(RawSampleBytes(Encoding)) * static_cast<size_t>(Decoder.Channels());
    TRawSamples Samples(Encoding, Decoder);
    std::vector<char> Bytes(std::max(StreamBytes, Taken.size()));
    std::memcpy(Bytes.data(), Taken.data(), Taken.size());
    size_t Held = Taken.size();
    bool Ended = false;
    std::string Error;
    for (;;) {
        // Whatever has arrived goes on at once; a partial frame waits for the rest.
        const size_t Frames = Held / FrameBytes;
        const size_t Used = Frames * FrameBytes;
        Samples.Feed(Bytes.data(), Frames);
        Count(Counter, Frames, Decoder.Rate());
        std::memmove(Bytes.data(), Bytes.data() + Used, Held - Used);
        Held -= Used;
        if (Ended)
            break;
        const ssize_t Got = ReadSome(Fd, Bytes.data() + Held, Bytes.size() - Held);
        if (Got < 0)
            Error = std::string("unreadable: ") + std::strerror(errno);
        Ended = Got <= 0;
        Held += static_cast<size_t>(std::max<ssize_t>(Got, 0));
    }
    Decoder.Finish();
    if (!Decoder.Error().empty())
        return Decoder.Error();
    if (!Error.empty())
        return Error;
    // A partial frame at the very end carries no whole sample of every
    // channel: the stream was cut, which is said rather than passed over.
    if (Held > 0)
        return "cut short: its last frame lacks " + std::to_string(FrameBytes - Held) + " of its " +
               std::to_string(FrameBytes) + " bytes";
    return "";
}

} // namespace

std::string DecodeSoundFile(TSoundFile &File, TDecoder &Decoder, size_t ChunkFrames,
                            TAudioCounter *Counter, bool TwoThreads)
{
    return OnTwoThreads(Decoder, TwoThreads,
                        [&] { return ReadSoundFile(File, Decoder, ChunkFrames, Counter); });
}

std::string DecodeRawStream(int Fd, const std::string &Taken, TRawEncoding Encoding,
                            TDecoder &Decoder, TAudioCounter *Counter, bool TwoThreads)
{
    return OnTwoThreads(Decoder, TwoThreads,
                        [&] { return ReadRawStream(Fd, Taken, Encoding, Decoder, Counter); });
}

TInputDecoding::TInputDecoding(const std::string &Path, const TInputSettings &Settings,
                               TSymbolDetector::THandler OnEnded,
                               TSymbolDetector::THandler OnStarted)
    : Fd(open(Path.c_str(), O_RDONLY | O_CLOEXEC)), OwnsFd(true)
{
    struct stat Status;
    if (Fd < 0)
        Fail(TInputFault::Unreadable, std::string("unreadable: ") + std::strerror(errno));
    else if (fstat(Fd, &Status) == 0 && S_ISDIR(Status.st_mode))
        Fail(TInputFault::Unreadable, "unreadable: it is a directory");
    else
        Open(Settings, std::move(OnEnded), std::move(OnStarted));
}

TInputDecoding::TInputDecoding(int Fd, const TInputSettings &Settings,
                               TSymbolDetector::THandler OnEnded,
                               TSymbolDetector::THandler OnStarted)
    : Fd(Fd)
{
    Open(Settings, std::move(OnEnded), std::move(OnStarted));
}

TInputDecoding::~TInputDecoding()
{
    if (OwnsFd && Fd >= 0)
        close(Fd);
}

void TInputDecoding::Fail(TInputFault Fault, const std::string &Why)
{
    Kind = Fault;
    Reason = Why;
}

void TInputDecoding::Open(const TInputSettings &Settings, TSymbolDetector::THandler OnEnded,
                          TSymbolDetector::THandler OnStarted)
{
    Raw = Settings.Raw;
    Live = Settings.Live;
    // A pipe or a device may be written as it is read, where the symbols
    // should come out as the samples arrive.
    struct stat Status;
    TwoThreads = Settings.TwoThreads && !Live && fstat(Fd, &Status) == 0 && S_ISREG(Status.st_mode);
    Encoding = Settings.Encoding;
    // A stream starts when its first bytes arrive. It is a sound file when
    // some kind that libsndfile reads claims it, and raw samples if none.
    if (Settings.Sniff) {
        Taken.resize(1);
        Taken.resize(ReadFull(Fd, Taken.data(), 1));
    }
    if (!Raw && !File.OpenStream(Fd, Taken, Settings.Sniff)) {
        if (Settings.Sniff && File.Unclaimed()) {
            Raw = true;
            Taken = File.TakenBytes();
        } else {
            Fail(File.ReadError().empty() ? TInputFault::Undecodable : TInputFault::Unreadable,
                 File.Error());
            return;
        }
    }
    const std::string Unsupported = UnsupportedInput(Settings.Rate, Settings.Channels);
    if (Raw && !Unsupported.empty()) {
        Fail(TInputFault::Undecodable, Unsupported);
        return;
    }
    Decoder = std::make_unique<TDecoder>(Raw ? Settings.Rate : File.Rate(),
                                         Raw ? Settings.Channels : File.Channels(),
                                         Settings.Detector, Settings.Limits, std::move(OnEnded),
                                         std::move(OnStarted), Settings.Channel);
    if (!Decoder->Error().empty())
        Fail(TInputFault::Failed, Decoder->Error());
}

bool TInputDecoding::Decode(TAudioCounter *Counter)
{
    if (!Decoder || Kind != TInputFault::None)
        return false;
    const std::string Why =
        Raw ? DecodeRawStream(Fd, Taken, Encoding, *Decoder, Counter, TwoThreads)
            : DecodeSoundFile(File, *Decoder, Live ? StreamChunkFrames : FileChunkFrames, Counter,
                              TwoThreads);
    if (!Why.empty())
        Fail(Decoder->Error().empty() ? TInputFault::CutShort : TInputFault::Failed, Why);
    return Why.empty();
}
