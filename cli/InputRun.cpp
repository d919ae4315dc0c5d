#include "InputRun.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t FileChunkFrames = 16384;
// About 20 ms at 48000 Hz: a live stream goes on in small steps.
constexpr size_t StreamChunkFrames = 1024;

// The kinds of sound file told by their first four bytes on standard input.
bool IsSoundFileStart(const std::string &Start)
{
    for (const char *Magic : {"RIFF", "RF64", "FORM", "fLaC", "OggS"})
        if (Start.compare(0, 4, Magic) == 0)
            return true;
    return false;
}

// Up to Count bytes, fewer only at the end of the stream.
std::string ReadStart(int Fd, size_t Count)
{
    std::string Bytes(Count, '\0');
    size_t Got = 0;
    while (Got < Count) {
        const ssize_t Now = read(Fd, Bytes.data() + Got, Count - Got);
        if (Now < 0 && errno == EINTR)
            continue;
        if (Now <= 0)
            break;
        Got += static_cast<size_t>(Now);
    }
    Bytes.resize(Got);
    return Bytes;
}

// A named input's descriptor, closed with it.
class TNamedInput
{
  public:
    explicit TNamedInput(const std::string &Name) : Fd(open(Name.c_str(), O_RDONLY | O_CLOEXEC))
    {
        struct stat Status;
        if (Fd < 0)
            Problem = std::string("unreadable: ") + std::strerror(errno);
        else if (fstat(Fd, &Status) == 0 && S_ISDIR(Status.st_mode))
            Problem = "unreadable: it is a directory";
    }
    ~TNamedInput()
    {
        if (Fd >= 0)
            close(Fd);
    }
    TNamedInput(const TNamedInput &) = delete;
    TNamedInput &operator=(const TNamedInput &) = delete;

    int Fd;
    std::string Problem; // why it can't be read, or ""
};

} // namespace

bool DecodeInput(const TOptions &Options, const std::string &Name, TOutputSink &Sink,
                 TAudioCounter *Counter)
{
    TSymbolWriter Writer(Options.Format, Options.Timestamps, Name, Options.Inputs.size() > 1, Sink);
    const bool Standard = Name == "-";
    std::unique_ptr<TNamedInput> Named;
    if (!Standard) {
        Named = std::make_unique<TNamedInput>(Name);
        if (!Named->Problem.empty()) {
            Writer.Failure(Named->Problem);
            return false;
        }
    }
    const int Fd = Standard ? STDIN_FILENO : Named->Fd;
    // Standard input starts when its first bytes arrive; they tell its kind.
    std::string Taken;
    bool Raw = Options.Raw;
    if (Standard) {
        Taken = ReadStart(Fd, Raw ? 1 : 4);
        Raw = Raw || !IsSoundFileStart(Taken);
    }

    TSoundFile File;
    if (!Raw && !File.OpenStream(Fd, Taken)) {
        const bool Hint = Options.RawFormatGiven && File.Error().rfind("not audio", 0) == 0;
        Writer.Failure(File.Error() + (Hint ? " (--raw reads it as raw samples)" : ""));
        return false;
    }
    // Text output gives no end, so the window's symbols need not wait for theirs.
    TDecoder Decoder(
        Raw ? Options.Rate : File.Rate(), Raw ? Options.Channels : File.Channels(),
        Options.Detector, [&Writer](const TDecodedSymbol &Symbol) { Writer.Symbol(Symbol); },
        Options.Format == TOutputFormat::Text, Options.Limits);
    if (!Decoder.Error().empty()) {
        Writer.Failure(Decoder.Error());
        return false;
    }
    Writer.Begin();
    const std::string Reason =
        Raw ? DecodeRawStream(Fd, Taken, Options.Encoding, Decoder, Counter)
            : DecodeSoundFile(File, Decoder, Standard ? StreamChunkFrames : FileChunkFrames,
                              Counter);
    Writer.End();
    if (!Reason.empty())
        Writer.Failure(Reason);
    return Reason.empty();
}
