#include "Batch.h"

#include "InputRun.h"
#include "SymbolWriter.h"

#include <algorithm>
#include <cstdio>
#include <sched.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr auto ProgressDelay = std::chrono::seconds(1);
constexpr auto ProgressStep = std::chrono::milliseconds(250);

// Lines of tsv and jsonl, and anything from a live stream, go out at once;
// the text of a file waits for the printer's next round.
bool GoesOutAtOnce(const TOptions &Options, size_t Index)
{
    return Options.Format != TOutputFormat::Text || Options.Inputs[Index] == "-" ||
           Options.IsLive();
}

} // namespace

int CoreCount()
{
    cpu_set_t Set;
    if (sched_getaffinity(0, sizeof Set, &Set) == 0)
        return std::max(1, CPU_COUNT(&Set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Keeps what one input writes until the printer takes it.
class TBatch::TInputSink : public TOutputSink
{
  public:
    TInputSink(TBatch &Batch, size_t Index)
        : Batch(Batch), Index(Index), AtOnce(GoesOutAtOnce(Batch.Options, Index))
    {
    }
    void Out(const std::string &Text) override { Add(false, Text); }
    void Err(const std::string &Text) override { Add(true, Text); }

  private:
    void Add(bool ToError, const std::string &Text)
    {
        {
            std::lock_guard<std::mutex> Guard(Batch.Lock);
            Batch.States[Index].Segments.push_back({ToError, Text});
        }
        // Waking the printer for every symbol of a long file costs more
        // than decoding it.
        if (AtOnce || ToError)
            Batch.Changed.notify_all();
    }

    TBatch &Batch;
    size_t Index;
    bool AtOnce;
};

TBatch::TBatch(const TOptions &Options) : Options(Options), States(Options.Inputs.size())
{
    int Jobs = Options.Jobs;
    if (Jobs < 0)
        Jobs = Options.Inputs.size() > 1 ? 0 : 1;
    if (Jobs == 0)
        Jobs = CoreCount();
    JobCount = std::min<size_t>(static_cast<size_t>(Jobs), Options.Inputs.size());
    // A file decoded on two threads wants a second core that no other job
    // keeps busy.
    TwoThreads = JobCount * 2 <= static_cast<size_t>(CoreCount());
    const bool Live = Options.IsLive() || std::find(Options.Inputs.begin(), Options.Inputs.end(),
                                                    "-") != Options.Inputs.end();
    ProgressWanted = !Live && isatty(STDERR_FILENO);
    HoldLines = ProgressWanted && isatty(STDOUT_FILENO);
}

void TBatch::Work()
{
    for (;;) {
        size_t Index;
        {
            std::lock_guard<std::mutex> Guard(Lock);
            if (NextToDecode == States.size())
                return;
            Index = NextToDecode++;
        }
        TInputSink Sink(*this, Index);
        const bool Whole =
            DecodeInput(Options, Options.Inputs[Index], Sink, States[Index].Audio, TwoThreads);
        {
            std::lock_guard<std::mutex> Guard(Lock);
            States[Index].Done = true;
            ++DoneCount;
            AllDecodedWhole = AllDecodedWhole && Whole;
        }
        Changed.notify_all();
    }
}

int TBatch::Run()
{
    Started = std::chrono::steady_clock::now();
    const std::string Header = TSymbolWriter::Header(Options.Format);
    if (!Header.empty())
        WriteOut(Header, true);
    std::vector<std::thread> Workers;
    for (size_t i = 0; i < JobCount; ++i)
        Workers.emplace_back(&TBatch::Work, this);
    for (size_t Index = 0; Index < States.size(); ++Index)
        PrintInput(Index);
    for (std::thread &Worker : Workers)
        Worker.join();
    ClearProgress();
    return AllDecodedWhole ? 0 : 1;
}

void TBatch::PrintInput(size_t Index)
{
    const bool Flush = GoesOutAtOnce(Options, Index);
    for (;;) {
        std::vector<TSegment> Taken;
        bool Done;
        {
            std::unique_lock<std::mutex> Guard(Lock);
            Changed.wait_for(Guard, ProgressStep,
                             [&] { return States[Index].Done || !States[Index].Segments.empty(); });
            Taken.swap(States[Index].Segments);
            Done = States[Index].Done;
        }
        Write(Taken, Flush);
        if (Done) {
            WriteOut(HeldLine, Flush);
            HeldLine.clear();
            return;
        }
        ShowProgress();
    }
}

void TBatch::Write(const std::vector<TSegment> &Segments, bool Flush)
{
    for (const TSegment &Segment : Segments) {
        if (!Segment.ToError && !HoldLines) {
            WriteOut(Segment.Text, Flush);
            continue;
        }
        if (!Segment.ToError) {
            // The progress line shares the terminal: only whole lines go out.
            HeldLine += Segment.Text;
            const size_t LineEnd = HeldLine.rfind('\n') + 1;
            WriteOut(HeldLine.substr(0, LineEnd), Flush);
            HeldLine.erase(0, LineEnd);
            continue;
        }
        WriteOut(HeldLine, true);
        HeldLine.clear();
        ClearProgress();
        std::fflush(stdout);
        std::fputs(Segment.Text.c_str(), stderr);
    }
}

void TBatch::WriteOut(const std::string &Text, bool Flush)
{
    if (Text.empty())
        return;
    if (HoldLines)
        ClearProgress();
    std::fwrite(Text.data(), 1, Text.size(), stdout);
    if (Flush || HoldLines)
        std::fflush(stdout);
}

void TBatch::ShowProgress()
{
    const auto Now = std::chrono::steady_clock::now();
    const auto Elapsed = Now - Started;
    if (!ProgressWanted || Elapsed < ProgressDelay || (ProgressShown && Now - Drawn < ProgressStep))
        return;
    Drawn = Now;
    size_t Done;
    {
        std::lock_guard<std::mutex> Guard(Lock);
        Done = DoneCount;
    }
    double AudioSeconds = 0;
    for (const TInputState &State : States)
        AudioSeconds += static_cast<double>(State.Audio.load()) / 1e6;
    const double Seconds = std::chrono::duration<double>(Elapsed).count();
    std::fflush(stdout);
    std::fprintf(stderr, "\r%zu of %zu files done, %.2f h of audio, %.0fx real time\033[K", Done,
                 States.size(), AudioSeconds / 3600, AudioSeconds / Seconds);
    std::fflush(stderr);
    ProgressShown = true;
}

void TBatch::ClearProgress()
{
    if (!ProgressShown)
        return;
    std::fputs("\r\033[K", stderr);
    ProgressShown = false;
}
