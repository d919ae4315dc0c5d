// A program run by a test with pipes on its standard input, output and error.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct TProcessResult
{
    int Status = -1; // exit status, or 128 + signal number
    std::string Out;
    std::string Err;
};

class TChildProcess
{
  public:
    explicit TChildProcess(const std::vector<std::string> &Args);
    ~TChildProcess();
    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    // Writes to the program's standard input, reading its output meanwhile.
    void Write(const std::string &Bytes);
    // Reads until the standard output so far contains Text; false on timeout.
    bool WaitForOutput(const std::string &Text, int TimeoutMs);
    // Closes standard input, reads everything and waits for the exit.
    TProcessResult Finish();

    static TProcessResult Run(const std::vector<std::string> &Args, const std::string &Input = "");

  private:
    // One poll round: writes from Pending, reads output; false when nothing
    // happened within TimeoutMs.
    bool Pump(const std::string &Pending, size_t &Written, int TimeoutMs);
    static void ReadInto(int &Fd, std::string &Into);

    pid_t Pid = -1;
    int Input = -1;
    int Output = -1;
    int Error = -1;
    TProcessResult Result;
};
