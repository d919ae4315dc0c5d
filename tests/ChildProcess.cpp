#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void CloseFd(int &Fd)
{
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
}

} // namespace

TChildProcess::TChildProcess(const std::vector<std::string> &Args)
{
    std::signal(SIGPIPE, SIG_IGN);
    int In[2], Out[2], Err[2];
    if (pipe2(In, O_CLOEXEC) != 0 || pipe2(Out, O_CLOEXEC) != 0 || pipe2(Err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    Pid = fork();
    if (Pid < 0)
        throw std::runtime_error("fork failed");
    if (Pid == 0) {
        dup2(In[0], STDIN_FILENO);
        dup2(Out[1], STDOUT_FILENO);
        dup2(Err[1], STDERR_FILENO);
        std::vector<char *> Argv;
        for (const std::string &Arg : Args)
            Argv.push_back(const_cast<char *>(Arg.c_str()));
        Argv.push_back(nullptr);
        execv(Argv[0], Argv.data());
        _exit(127);
    }
    close(In[0]);
    close(Out[1]);
    close(Err[1]);
    Input = In[1];
    Output = Out[0];
    Error = Err[0];
    fcntl(Input, F_SETFL, O_NONBLOCK);
}

TChildProcess::~TChildProcess()
{
    CloseFd(Input);
    CloseFd(Output);
    CloseFd(Error);
    if (Pid > 0) {
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
}

void TChildProcess::ReadInto(int &Fd, std::string &Into)
{
    char Buffer[4096];
    const ssize_t Got = read(Fd, Buffer, sizeof Buffer);
    if (Got > 0)
        Into.append(Buffer, static_cast<size_t>(Got));
    else if (Got == 0 || errno != EINTR)
        CloseFd(Fd);
}

bool TChildProcess::Pump(const std::string &Pending, size_t &Written, int TimeoutMs)
{
    const bool Writing = Input >= 0 && Written < Pending.size();
    pollfd Fds[3] = {{Writing ? Input : -1, POLLOUT, 0}, {Output, POLLIN, 0}, {Error, POLLIN, 0}};
    if (poll(Fds, 3, TimeoutMs) <= 0)
        return false;
    if (Fds[0].revents & (POLLOUT | POLLERR | POLLHUP)) {
        const ssize_t Put = write(Input, Pending.data() + Written, Pending.size() - Written);
        if (Put > 0)
            Written += static_cast<size_t>(Put);
        else if (errno != EAGAIN && errno != EINTR)
            Written = Pending.size(); // the program stopped reading
    }
    if (Fds[1].revents)
        ReadInto(Output, Result.Out);
    if (Fds[2].revents)
        ReadInto(Error, Result.Err);
    return true;
}

void TChildProcess::Write(const std::string &Bytes)
{
    size_t Written = 0;
    while (Written < Bytes.size() && Pump(Bytes, Written, 10000)) {
    }
}

bool TChildProcess::WaitForOutput(const std::string &Text, int TimeoutMs)
{
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    size_t None = 0;
    while (Result.Out.find(Text) == std::string::npos) {
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
            Deadline - std::chrono::steady_clock::now());
        if (Left.count() <= 0 || Output < 0)
            return false;
        Pump("", None, static_cast<int>(Left.count()));
    }
    return true;
}

TProcessResult TChildProcess::Finish()
{
    CloseFd(Input);
    size_t None = 0;
    while ((Output >= 0 || Error >= 0) && Pump("", None, 60000)) {
    }
    int Status = 0;
    waitpid(Pid, &Status, 0);
    Pid = -1;
    Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    return Result;
}

TProcessResult TChildProcess::Run(const std::vector<std::string> &Args, const std::string &Input)
{
    TChildProcess Child(Args);
    Child.Write(Input);
    return Child.Finish();
}
