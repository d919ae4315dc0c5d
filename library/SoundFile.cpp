#include "SoundFile.h"

#include "Decoder.h"
#include "HeaderCheck.h"
#include "InputSniff.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

// Streams are often written with a length placeholder that is never filled
// in (about 2 or 4 GiB); a size that large tells nothing.
constexpr int64_t PlaceholderBytes = 0x7FFF0000;

std::string OpenFailure(int Code)
{
    switch (Code) {
    case SF_ERR_UNRECOGNISED_FORMAT:
        return "not audio: no kind of sound file known here starts like this";
    case SF_ERR_UNSUPPORTED_ENCODING:
        return "unsupported format: its samples are stored in a way that can't be decoded";
    case SF_ERR_MALFORMED_FILE:
        return "unreadable: its header is damaged";
    default:
        return "unreadable: not a sound file that can be decoded";
    }
}

// Bytes a sample takes, 0 where the data is compressed.
int64_t SampleBytes(int Format)
{
    switch (Format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

} // namespace

TSoundFile::~TSoundFile()
{
    if (File != nullptr)
        sf_close(File);
}

bool TSoundFile::Refused(const std::string &Reason, bool Unclaimed)
{
    ErrorText = Reason;
    NoKindClaims = Unclaimed;
    return false;
}

std::string TSoundFile::TakenBytes() const
{
    const std::vector<unsigned char> &Start = Source->Start();
    return std::string(Start.begin(), Start.end());
}

// What the first bytes tell before libsndfile is asked: a container it can't
// read, raw samples that start like an MPEG frame (which its decoder would
// take and fill the terminal with complaints about), and an Ogg header page
// that is damaged (on which libsndfile leaks the Vorbis set-up).
bool TSoundFile::JudgeStart(bool Standard)
{
    const std::vector<unsigned char> &Head = Source->Peek(12);
    const std::string Start(Head.begin(), Head.end());
    const std::string Container = UnreadableContainer(Start, Standard);
    if (!Container.empty())
        return Refused(Container);
    if (StartsLikeMpegFrame(Start)) {
        const std::vector<unsigned char> &Probe = Source->Peek(MpegProbeBytes);
        const std::string Frames(Probe.begin(), Probe.end());
        const std::string Aac = UnreadableAdts(Frames, Standard);
        if (!Aac.empty())
            return Refused(Aac);
        if (!IsMpegAudio(Frames, Probe.size() < MpegProbeBytes))
            return Refused("not audio: no kind of sound file known here starts like this", true);
    }
    if (Start.compare(0, 4, "OggS") == 0) {
        bool Whole = false;
        for (size_t Want = 4096; !Whole; Want *= 2) {
            const std::vector<unsigned char> &Pages = Source->Peek(Want);
            const std::string Damage = TOggPages::HeaderDamage(Pages, Pages.size() < Want, Whole);
            if (!Damage.empty())
                return Refused(Damage);
            Whole = Whole || Pages.size() < Want || Want >= (1 << 16);
        }
        Source->FollowOggPages();
    }
    return true;
}

bool TSoundFile::OpenStream(int Fd, const std::string &Taken, bool Standard)
{
    Source = std::make_unique<TStreamSource>(Fd, Taken);
    Info = SF_INFO{};
    NoKindClaims = false;
    if (!JudgeStart(Standard))
        return false;
    // libsndfile keeps the reason an open failed in one place for all threads.
    static std::mutex Opening;
    std::unique_lock<std::mutex> Guard(Opening);
    SNDFILE *Handle = sf_open_virtual(TStreamSource::Io(), SFM_READ, &Info, Source.get());
    if (Handle == nullptr && !Source->ReadError().empty()) {
        ErrorText = "unreadable: " + Source->ReadError();
        return false;
    }
    if (Handle == nullptr && Source->Start().empty())
        return Refused("not audio: it is empty", true);
    NoKindClaims = Handle == nullptr && sf_error(nullptr) == SF_ERR_UNRECOGNISED_FORMAT;
    if (!Opened(Handle))
        return false;
    Guard.unlock();
    const std::string Contradiction = HeaderContradiction(Source->Start());
    Source->HeaderRead();
    if (!Contradiction.empty()) {
        ErrorText = "damaged header: " + Contradiction;
        return false;
    }
    return true;
}

bool TSoundFile::Opened(SNDFILE *Handle)
{
    if (Handle == nullptr) {
        ErrorText = OpenFailure(sf_error(nullptr));
        return false;
    }
    File = Handle;
    ErrorText = UnsupportedInput(Info.samplerate, Info.channels);
    return ErrorText.empty();
}

int64_t TSoundFile::DeclaredFrames() const
{
    if (Info.frames <= 0 || Info.frames == SF_COUNT_MAX)
        return -1;
    // Compressed data is taken at a byte a sample, at least.
    const int64_t FrameBytes =
        int64_t(Info.channels) * std::max<int64_t>(1, SampleBytes(Info.format));
    return Info.frames >= PlaceholderBytes / FrameBytes ? -1 : Info.frames;
}

size_t TSoundFile::ReadShorts(int16_t *Frames, size_t Count)
{
    const sf_count_t Read = sf_readf_short(File, Frames, static_cast<sf_count_t>(Count));
    return Read > 0 ? static_cast<size_t>(Read) : 0;
}

size_t TSoundFile::ReadFloats(float *Frames, size_t Count)
{
    const sf_count_t Read = sf_readf_float(File, Frames, static_cast<sf_count_t>(Count));
    return Read > 0 ? static_cast<size_t>(Read) : 0;
}

std::string TSoundFile::ReadError() const
{
    if (Source && !Source->ReadError().empty())
        return Source->ReadError();
    if (File == nullptr || sf_error(File) == SF_ERR_NO_ERROR)
        return "";
    return "the data is damaged";
}
