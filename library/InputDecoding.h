// One input from its descriptor to its symbols: a sound file, or raw PCM read
// as it arrives. A named file is opened here; standard input, or any stream,
// is handed over as a descriptor, and its first bytes may tell its kind.
#pragma once

#include "Decoder.h"
#include "RawSamples.h"
#include "SoundFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

// Microseconds of input audio read so far, summed over every input of a run.
using TAudioCounter = std::atomic<int64_t>;

struct TInputSettings
{
    bool Raw = false;   // raw PCM in the format below
    bool Sniff = false; // a stream whose first bytes tell a sound file from raw PCM
    bool Live = false;  // read in small steps, so that symbols come out as they arrive
    TRawEncoding Encoding = TRawEncoding::S16le;
    int Rate = 48000;
    int Channels = 1;
    TDetectorKind Detector = TDetectorKind::Strict;
    TStrictLimits Limits;
    TChannelChoice Channel;
    // A file read whole may be decoded on two threads (where there are two
    // cores), the analysis of its samples on one and the tracking of digits
    // on the caller's, which finds every symbol as one thread would.
    bool TwoThreads = true;
};

// What kept an input from being decoded whole.
enum class TInputFault
{
    None,
    Unreadable,  // it could not be opened or read
    Undecodable, // it is no audio that can be decoded
    CutShort,    // reading stopped before its end; what came before is decoded
    Failed       // the resampler failed
};

// Both feed the whole input to Decoder, made for its rate and channel count,
// and finish it. They return "" when the input was read to its end, or else
// what went wrong; what was read before is decoded all the same.
// ChunkFrames is how many frames are read at a time: few for a live stream.
// With TwoThreads, the analysis may run on a thread of its own (see
// TInputSettings); the handlers are called on the caller's thread all the same.
std::string DecodeSoundFile(TSoundFile &File, TDecoder &Decoder, size_t ChunkFrames,
                            TAudioCounter *Counter = nullptr, bool TwoThreads = false);
// Taken holds bytes already read from Fd, which come first.
std::string DecodeRawStream(int Fd, const std::string &Taken, TRawEncoding Encoding,
                            TDecoder &Decoder, TAudioCounter *Counter = nullptr,
                            bool TwoThreads = false);

class TInputDecoding
{
  public:
    // Opens the file at Path.
    TInputDecoding(const std::string &Path, const TInputSettings &Settings,
                   TSymbolDetector::THandler OnEnded,
                   TSymbolDetector::THandler OnStarted = nullptr);
    // Reads from Fd, which stays the caller's.
    TInputDecoding(int Fd, const TInputSettings &Settings, TSymbolDetector::THandler OnEnded,
                   TSymbolDetector::THandler OnStarted = nullptr);
    ~TInputDecoding();
    TInputDecoding(const TInputDecoding &) = delete;
    TInputDecoding &operator=(const TInputDecoding &) = delete;

    // Why the input can't be decoded at all, or "" when it can.
    const std::string &Problem() const { return Reason; }
    TInputFault Fault() const { return Kind; }

    // Feeds the whole input to the detector and finishes it. Returns false,
    // with the reason in Problem(), when it was not decoded whole; what was
    // read before is decoded all the same.
    bool Decode(TAudioCounter *Counter = nullptr);

  private:
    void Open(const TInputSettings &Settings, TSymbolDetector::THandler OnEnded,
              TSymbolDetector::THandler OnStarted);
    void Fail(TInputFault Fault, const std::string &Why);

    int Fd = -1;
    bool OwnsFd = false;
    bool Raw = false;
    bool Live = false;
    bool TwoThreads = false;
    TRawEncoding Encoding = TRawEncoding::S16le;
    std::string Taken; // bytes already read from Fd, which come first
    TSoundFile File;
    std::unique_ptr<TDecoder> Decoder;
    std::string Reason;
    TInputFault Kind = TInputFault::None;
};
