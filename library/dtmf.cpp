// The C interface of dtmf.h over the decoder. No exception leaves a function
// of this file; each failure becomes a status and a message for this thread.
#include "dtmf.h"

#include "Decoder.h"
#include "InputDecoding.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#ifndef DTMF_VERSION
#define DTMF_VERSION "unknown"
#endif

struct dtmf_receiver
{
    std::unique_ptr<TDecoder> Decoder;
    std::deque<dtmf_symbol> Ended;
    std::deque<dtmf_symbol> Started;
    std::vector<float> Finite; // floats with their infinities and NaNs made silence
    bool Finished = false;
};

namespace {

thread_local std::string LastError;

dtmf_status Failure(dtmf_status Status, const std::string &Message)
{
    LastError = Message;
    return Status;
}

// Runs Body, turning what it throws into a status.
template <typename TBody> dtmf_status Guarded(TBody Body)
{
    try {
        return Body();
    } catch (const std::bad_alloc &) {
        return Failure(DTMF_ERROR_MEMORY, "out of memory");
    } catch (const std::exception &Error) {
        return Failure(DTMF_ERROR_INTERNAL, Error.what());
    } catch (...) {
        return Failure(DTMF_ERROR_INTERNAL, "an unknown fault");
    }
}

dtmf_symbol ToSymbol(const TDecodedSymbol &Symbol)
{
    return {Symbol.Symbol, SampleSeconds(Symbol.Start),
            Symbol.End < 0 ? -1.0 : SampleSeconds(Symbol.End), Symbol.Channel};
}

TStrictLimits ToLimits(const dtmf_limits &Limits)
{
    TStrictLimits Strict;
    Strict.NormalTwist = Limits.normal_twist;
    Strict.ReverseTwist = Limits.reverse_twist;
    Strict.MinLevel = Limits.min_level;
    Strict.MinTone = Limits.min_tone;
    Strict.MinPause = Limits.min_pause;
    return Strict;
}

// The detector and its limits, or "" and Why when they can't be used together.
bool TakeDetector(dtmf_detector Detector, const dtmf_limits *Limits, TDetectorKind &Kind,
                  TStrictLimits &Strict, std::string &Why)
{
    if (Detector != DTMF_DETECTOR_STRICT && Detector != DTMF_DETECTOR_WINDOW) {
        Why = "unknown detector " + std::to_string(static_cast<int>(Detector)) +
              " (DTMF_DETECTOR_STRICT or DTMF_DETECTOR_WINDOW)";
        return false;
    }
    Kind = Detector == DTMF_DETECTOR_WINDOW ? TDetectorKind::Window : TDetectorKind::Strict;
    if (Limits == nullptr)
        return true;
    if (Kind == TDetectorKind::Window) {
        Why = "the window detector takes no limits";
        return false;
    }
    Strict = ToLimits(*Limits);
    Why = Strict.Fault();
    return Why.empty();
}

dtmf_status FromFault(TInputFault Fault)
{
    switch (Fault) {
    case TInputFault::None:
        return DTMF_OK;
    case TInputFault::Unreadable:
        return DTMF_ERROR_UNREADABLE;
    case TInputFault::Undecodable:
        return DTMF_ERROR_FORMAT;
    case TInputFault::CutShort:
        return DTMF_ERROR_CUT_SHORT;
    default:
        return DTMF_ERROR_INTERNAL;
    }
}

size_t Take(std::deque<dtmf_symbol> &Queue, dtmf_symbol *Symbols, size_t Capacity)
{
    if (Symbols == nullptr)
        return 0;
    const size_t Count = std::min(Capacity, Queue.size());
    std::copy(Queue.begin(), Queue.begin() + static_cast<std::ptrdiff_t>(Count), Symbols);
    Queue.erase(Queue.begin(), Queue.begin() + static_cast<std::ptrdiff_t>(Count));
    return Count;
}

template <typename TSample>
dtmf_status Feed(dtmf_receiver *Receiver, const TSample *Samples, size_t Count)
{
    if (Receiver == nullptr || (Samples == nullptr && Count > 0))
        return Failure(DTMF_ERROR_ARGUMENT, "no receiver or no samples given");
    if (Receiver->Finished)
        return Failure(DTMF_ERROR_FINISHED, "the receiver has been finished");
    return Guarded([&] {
        if constexpr (std::is_same_v<TSample, int16_t>) {
            Receiver->Decoder->FeedShorts(Samples, Count);
        } else if (std::all_of(Samples, Samples + Count,
                               [](float S) { return std::isfinite(S); })) {
            Receiver->Decoder->FeedFloats(Samples, Count);
        } else {
            // Infinities and NaNs carry no tone.
            Receiver->Finite.assign(Samples, Samples + Count);
            for (float &S : Receiver->Finite)
                if (!std::isfinite(S))
                    S = 0;
            Receiver->Decoder->FeedFloats(Receiver->Finite.data(), Count);
        }
        const std::string Error = Receiver->Decoder->Error();
        return Error.empty() ? DTMF_OK : Failure(DTMF_ERROR_INTERNAL, Error);
    });
}

} // namespace

extern "C" {

const char *dtmf_version(void)
{
    return DTMF_VERSION;
}

const char *dtmf_error_message(void)
{
    return LastError.c_str();
}

void dtmf_limits_default(dtmf_limits *limits)
{
    if (limits == nullptr)
        return;
    const TStrictLimits Defaults;
    *limits = {Defaults.NormalTwist, Defaults.ReverseTwist, Defaults.MinLevel, Defaults.MinTone,
               Defaults.MinPause};
}

dtmf_status dtmf_receiver_new(int rate, dtmf_detector detector, const dtmf_limits *limits,
                              unsigned flags, dtmf_receiver **receiver)
{
    if (receiver == nullptr)
        return Failure(DTMF_ERROR_ARGUMENT, "no place for the receiver given");
    *receiver = nullptr;
    TDetectorKind Kind;
    TStrictLimits Strict;
    std::string Why;
    if (!TakeDetector(detector, limits, Kind, Strict, Why))
        return Failure(DTMF_ERROR_ARGUMENT, Why);
    Why = UnsupportedInput(rate, 1);
    if (!Why.empty())
        return Failure(DTMF_ERROR_ARGUMENT, Why);
    if ((flags & ~DTMF_START_EVENTS) != 0)
        return Failure(DTMF_ERROR_ARGUMENT, "unknown flags " + std::to_string(flags));
    return Guarded([&] {
        auto Made = std::make_unique<dtmf_receiver>();
        dtmf_receiver *R = Made.get();
        TSymbolDetector::THandler OnStarted;
        if ((flags & DTMF_START_EVENTS) != 0)
            OnStarted = [R](const TDecodedSymbol &S) { R->Started.push_back(ToSymbol(S)); };
        R->Decoder = std::make_unique<TDecoder>(
            rate, 1, Kind, Strict,
            [R](const TDecodedSymbol &S) { R->Ended.push_back(ToSymbol(S)); }, OnStarted);
        if (!R->Decoder->Error().empty())
            return Failure(DTMF_ERROR_INTERNAL, R->Decoder->Error());
        *receiver = Made.release();
        return DTMF_OK;
    });
}

dtmf_status dtmf_receiver_feed_float(dtmf_receiver *receiver, const float *samples, size_t count)
{
    return Feed(receiver, samples, count);
}

dtmf_status dtmf_receiver_feed_int16(dtmf_receiver *receiver, const int16_t *samples, size_t count)
{
    return Feed(receiver, samples, count);
}

dtmf_status dtmf_receiver_finish(dtmf_receiver *receiver)
{
    if (receiver == nullptr)
        return Failure(DTMF_ERROR_ARGUMENT, "no receiver given");
    if (receiver->Finished)
        return Failure(DTMF_ERROR_FINISHED, "the receiver has been finished");
    receiver->Finished = true;
    return Guarded([&] {
        receiver->Decoder->Finish();
        const std::string Error = receiver->Decoder->Error();
        return Error.empty() ? DTMF_OK : Failure(DTMF_ERROR_INTERNAL, Error);
    });
}

size_t dtmf_receiver_take(dtmf_receiver *receiver, dtmf_symbol *symbols, size_t capacity)
{
    return receiver == nullptr ? 0 : Take(receiver->Ended, symbols, capacity);
}

size_t dtmf_receiver_take_started(dtmf_receiver *receiver, dtmf_symbol *symbols, size_t capacity)
{
    return receiver == nullptr ? 0 : Take(receiver->Started, symbols, capacity);
}

void dtmf_receiver_free(dtmf_receiver *receiver)
{
    delete receiver;
}

dtmf_status dtmf_decode_file(const char *path, dtmf_detector detector, const dtmf_limits *limits,
                             dtmf_symbol **symbols, size_t *count)
{
    if (symbols == nullptr || count == nullptr)
        return Failure(DTMF_ERROR_ARGUMENT, "no place for the symbols given");
    *symbols = nullptr;
    *count = 0;
    if (path == nullptr)
        return Failure(DTMF_ERROR_ARGUMENT, "no path given");
    TInputSettings Settings;
    std::string Why;
    if (!TakeDetector(detector, limits, Settings.Detector, Settings.Limits, Why))
        return Failure(DTMF_ERROR_ARGUMENT, Why);
    return Guarded([&] {
        std::vector<dtmf_symbol> Found;
        TInputDecoding Input(path, Settings,
                             [&Found](const TDecodedSymbol &S) { Found.push_back(ToSymbol(S)); });
        if (Input.Problem().empty())
            Input.Decode();
        const dtmf_status Status = FromFault(Input.Fault());
        if (Status != DTMF_OK && Status != DTMF_ERROR_CUT_SHORT)
            return Failure(Status, std::string(path) + ": " + Input.Problem());
        // malloc, so that a caller in any language may free them with free() too.
        auto *Copy = static_cast<dtmf_symbol *>(
            std::malloc(sizeof(dtmf_symbol) * std::max<size_t>(Found.size(), 1)));
        if (Copy == nullptr)
            return Failure(DTMF_ERROR_MEMORY, "out of memory");
        std::copy(Found.begin(), Found.end(), Copy);
        *symbols = Copy;
        *count = Found.size();
        return Status == DTMF_OK ? DTMF_OK
                                 : Failure(Status, std::string(path) + ": " + Input.Problem());
    });
}

void dtmf_symbols_free(dtmf_symbol *symbols)
{
    std::free(symbols);
}

} // extern "C"
