// The Python module dtmf over libdtmf's C interface. Decoding runs with the
// GIL released, so that threads decode in parallel.
#include <dtmf.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

struct TSymbol
{
    std::string Symbol;
    double Start;
    double End;
    int Channel = 0;
};

// Samples converted from float64 a piece at a time.
constexpr size_t Piece = 8192;

[[noreturn]] void Raise(dtmf_status Status)
{
    const char *Message = dtmf_error_message();
    switch (Status) {
    case DTMF_ERROR_UNREADABLE:
    case DTMF_ERROR_CUT_SHORT:
        PyErr_SetString(PyExc_OSError, Message);
        throw py::error_already_set();
    case DTMF_ERROR_MEMORY:
        throw std::bad_alloc();
    case DTMF_ERROR_INTERNAL:
        throw std::runtime_error(Message);
    default:
        throw py::value_error(Message);
    }
}

void Check(dtmf_status Status)
{
    if (Status != DTMF_OK)
        Raise(Status);
}

dtmf_detector Detector(const std::string &Name)
{
    if (Name == "strict")
        return DTMF_DETECTOR_STRICT;
    if (Name == "window")
        return DTMF_DETECTOR_WINDOW;
    throw py::value_error("detector must be 'strict' or 'window', not '" + Name + "'");
}

// The limits given as keywords, or none.
struct TLimits
{
    explicit TLimits(const py::kwargs &Given)
    {
        dtmf_limits_default(&Limits);
        for (const auto &Item : Given) {
            const std::string Name = py::str(Item.first);
            double *Field = Name == "normal_twist"    ? &Limits.normal_twist
                            : Name == "reverse_twist" ? &Limits.reverse_twist
                            : Name == "min_level"     ? &Limits.min_level
                            : Name == "min_tone"      ? &Limits.min_tone
                            : Name == "min_pause"     ? &Limits.min_pause
                                                      : nullptr;
            if (Field == nullptr)
                throw py::type_error("unexpected keyword argument '" + Name + "'");
            *Field = py::cast<double>(Item.second);
            Any = true;
        }
    }
    const dtmf_limits *Get() const { return Any ? &Limits : nullptr; }

    dtmf_limits Limits;
    bool Any = false;
};

enum class TSampleType
{
    Float32,
    Float64,
    Int16
};

// The samples of a 1-D array of float32, float64 or int16, made contiguous,
// as the library reads them with the GIL released.
struct TSamples
{
    explicit TSamples(const py::array &Given)
    {
        if (Given.ndim() != 1)
            throw py::value_error("samples must be a 1-D array, not " +
                                  std::to_string(Given.ndim()) + "-D");
        const py::dtype Kind = Given.dtype();
        if (Kind.is(py::dtype::of<float>()))
            Type = TSampleType::Float32;
        else if (Kind.is(py::dtype::of<double>()))
            Type = TSampleType::Float64;
        else if (Kind.is(py::dtype::of<int16_t>()))
            Type = TSampleType::Int16;
        else
            throw py::value_error(
                "samples must be float32, float64 or int16, not " +
                py::str(static_cast<const py::handle &>(Kind)).cast<std::string>());
        Array = py::array::ensure(Given, py::array::c_style);
        Data = Array.data();
        Count = static_cast<size_t>(Array.size());
    }

    // Feeds them; called without the GIL.
    dtmf_status FeedTo(dtmf_receiver *Receiver) const
    {
        if (Type == TSampleType::Int16)
            return dtmf_receiver_feed_int16(Receiver, static_cast<const int16_t *>(Data), Count);
        if (Type == TSampleType::Float32)
            return dtmf_receiver_feed_float(Receiver, static_cast<const float *>(Data), Count);
        const auto *Doubles = static_cast<const double *>(Data);
        float Floats[Piece];
        for (size_t At = 0; At < Count; At += Piece) {
            const size_t Now = std::min(Piece, Count - At);
            for (size_t i = 0; i < Now; ++i)
                Floats[i] = static_cast<float>(Doubles[At + i]);
            const dtmf_status Status = dtmf_receiver_feed_float(Receiver, Floats, Now);
            if (Status != DTMF_OK)
                return Status;
        }
        return DTMF_OK;
    }

    py::array Array; // holds the data while it is read
    TSampleType Type;
    const void *Data;
    size_t Count;
};

py::list ToList(const dtmf_symbol *Symbols, size_t Count)
{
    py::list List;
    for (size_t i = 0; i < Count; ++i)
        List.append(TSymbol{std::string(1, Symbols[i].symbol), Symbols[i].start, Symbols[i].end,
                            Symbols[i].channel});
    return List;
}

py::list TakeAll(dtmf_receiver *Receiver)
{
    std::vector<dtmf_symbol> Taken(64);
    size_t Count = 0;
    while (size_t Now = dtmf_receiver_take(Receiver, Taken.data() + Count, Taken.size() - Count)) {
        Count += Now;
        if (Count == Taken.size())
            Taken.resize(2 * Count);
    }
    return ToList(Taken.data(), Count);
}

struct TReceiverFree
{
    void operator()(dtmf_receiver *Receiver) const { dtmf_receiver_free(Receiver); }
};
using TReceiverPointer = std::unique_ptr<dtmf_receiver, TReceiverFree>;

TReceiverPointer NewReceiver(int Rate, const std::string &DetectorName, const py::kwargs &Given)
{
    const TLimits Limits(Given);
    dtmf_receiver *Made = nullptr;
    Check(dtmf_receiver_new(Rate, Detector(DetectorName), Limits.Get(), 0, &Made));
    return TReceiverPointer(Made);
}

// dtmf.Receiver: one receiver, fed from any thread, one call at a time.
class TReceiver
{
  public:
    TReceiver(int Rate, const std::string &DetectorName, const py::kwargs &Limits)
        : Receiver(NewReceiver(Rate, DetectorName, Limits))
    {
    }

    py::list Feed(const py::array &Given)
    {
        const TSamples Samples(Given);
        dtmf_status Status;
        {
            py::gil_scoped_release Unlocked;
            std::lock_guard<std::mutex> Guard(Lock);
            Status = Samples.FeedTo(Receiver.get());
        }
        Check(Status);
        return TakeAll(Receiver.get());
    }

    py::list Finish()
    {
        dtmf_status Status;
        {
            py::gil_scoped_release Unlocked;
            std::lock_guard<std::mutex> Guard(Lock);
            Status = dtmf_receiver_finish(Receiver.get());
        }
        Check(Status);
        return TakeAll(Receiver.get());
    }

  private:
    TReceiverPointer Receiver;
    std::mutex Lock;
};

py::list Decode(const py::array &Given, int Rate, const std::string &DetectorName,
                const py::kwargs &Limits)
{
    const TSamples Samples(Given);
    const TReceiverPointer Receiver = NewReceiver(Rate, DetectorName, Limits);
    dtmf_status Status;
    {
        py::gil_scoped_release Unlocked;
        Status = Samples.FeedTo(Receiver.get());
        if (Status == DTMF_OK)
            Status = dtmf_receiver_finish(Receiver.get());
    }
    Check(Status);
    return TakeAll(Receiver.get());
}

py::list DecodeFile(const std::string &Path, const std::string &DetectorName,
                    const py::kwargs &Given)
{
    const TLimits Limits(Given);
    const dtmf_detector Kind = Detector(DetectorName);
    dtmf_symbol *Symbols = nullptr;
    size_t Count = 0;
    dtmf_status Status;
    {
        py::gil_scoped_release Unlocked;
        Status = dtmf_decode_file(Path.c_str(), Kind, Limits.Get(), &Symbols, &Count);
    }
    const py::list List = ToList(Symbols, Count);
    dtmf_symbols_free(Symbols);
    if (Status == DTMF_ERROR_CUT_SHORT) {
        // What was read before the cut is kept with the error.
        py::object Error = py::reinterpret_borrow<py::object>(PyExc_OSError)(dtmf_error_message());
        Error.attr("symbols") = List;
        PyErr_SetObject(PyExc_OSError, Error.ptr());
        throw py::error_already_set();
    }
    Check(Status);
    return List;
}

} // namespace

PYBIND11_MODULE(dtmf, Module)
{
    Module.doc() = "DTMF keypad tones (0-9, A-D, * and #) decoded from audio.";
    Module.attr("__version__") = dtmf_version();

    py::class_<TSymbol>(Module, "Symbol",
                        "A keypad symbol with its start and end in seconds, and its channel\n"
                        "(1, 2... in a file of several channels decoded each on its own, else 0).")
        .def(py::init<std::string, double, double, int>(), py::arg("symbol"), py::arg("start"),
             py::arg("end"), py::arg("channel") = 0)
        .def_readonly("symbol", &TSymbol::Symbol)
        .def_readonly("start", &TSymbol::Start)
        .def_readonly("end", &TSymbol::End)
        .def_readonly("channel", &TSymbol::Channel)
        .def(
            "__eq__",
            [](const TSymbol &A, const TSymbol &B) {
                return A.Symbol == B.Symbol && A.Start == B.Start && A.End == B.End &&
                       A.Channel == B.Channel;
            },
            py::is_operator())
        .def("__repr__", [](const TSymbol &S) {
            char Text[96];
            std::snprintf(Text, sizeof Text, "Symbol('%s', %.6f, %.6f)", S.Symbol.c_str(), S.Start,
                          S.End);
            return std::string(Text);
        });

    Module.def("decode", &Decode, py::arg("samples"), py::arg("rate"),
               py::arg("detector") = "strict",
               "decode(samples, rate, detector='strict', **limits) -> list of Symbol\n\n"
               "Decodes a 1-D array of float32 or float64 samples in [-1, 1], or of\n"
               "int16 samples, at rate Hz. The strict detector takes the limits\n"
               "normal_twist, reverse_twist (dB), min_level (dBFS), min_tone and\n"
               "min_pause (seconds); the window detector takes none.");
    Module.def("decode_file", &DecodeFile, py::arg("path"), py::arg("detector") = "strict",
               "decode_file(path, detector='strict', **limits) -> list of Symbol\n\n"
               "Decodes a sound file as dtmf-decode does. An unreadable or cut file\n"
               "raises OSError (for a cut one, its .symbols holds what was read),\n"
               "one that is no audio ValueError.");
    py::class_<TReceiver>(Module, "Receiver",
                          "Receiver(rate, detector='strict', **limits): samples fed in pieces\n"
                          "give what one decode() call gives.")
        .def(py::init<int, const std::string &, const py::kwargs &>(), py::arg("rate"),
             py::arg("detector") = "strict")
        .def("feed", &TReceiver::Feed, py::arg("samples"),
             "Takes samples; returns the symbols that have ended so far.")
        .def("finish", &TReceiver::Finish, "Ends the input; returns the remaining symbols.");
}
