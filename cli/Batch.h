// A run over all inputs: decoded by several threads at a time, printed in
// the inputs' order. The input whose turn it is streams its lines as they
// come; the others are held until their turn.
#pragma once

#include "InputDecoding.h"
#include "Options.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TBatch
{
  public:
    explicit TBatch(const TOptions &Options);
    // Decodes and prints everything; returns the exit status.
    int Run();

  private:
    class TInputSink;

    struct TSegment
    {
        bool ToError;
        std::string Text;
    };

    struct TInputState
    {
        std::vector<TSegment> Segments;
        bool Done = false;
        TAudioCounter Audio{0}; // microseconds read
    };

    void Work();
    void PrintInput(size_t Index);
    void Write(const std::vector<TSegment> &Segments, bool Flush);
    void WriteOut(const std::string &Text, bool Flush);
    void ShowProgress();
    void ClearProgress();

    const TOptions &Options;
    size_t JobCount;
    bool TwoThreads;
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<TInputState> States;
    size_t NextToDecode = 0;
    size_t DoneCount = 0;
    bool AllDecodedWhole = true;
    bool ProgressWanted;
    bool ProgressShown = false;
    bool HoldLines; // standard output goes to the progress line's terminal
    std::string HeldLine;
    std::chrono::steady_clock::time_point Started;
    std::chrono::steady_clock::time_point Drawn;
};

// The number of cores this process may run on.
int CoreCount();
