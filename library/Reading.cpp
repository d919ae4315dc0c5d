#include "Reading.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

ssize_t ReadSome(int Fd, void *Bytes, size_t Count)
{
    ssize_t Got;
    do
        Got = read(Fd, Bytes, Count);
    while (Got < 0 && errno == EINTR);
    return Got;
}

size_t ReadFull(int Fd, void *Bytes, size_t Count, std::string *Error)
{
    size_t Got = 0;
    while (Got < Count) {
        const ssize_t Now = ReadSome(Fd, static_cast<char *>(Bytes) + Got, Count - Got);
        if (Now < 0 && Error != nullptr)
            *Error = std::strerror(errno);
        if (Now <= 0)
            break;
        Got += static_cast<size_t>(Now);
    }
    return Got;
}
