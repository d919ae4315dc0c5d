// Reading from a descriptor that carries on when a signal interrupts it.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

// One read(2): the bytes read, 0 at the end, -1 with errno set on failure.
ssize_t ReadSome(int Fd, void *Bytes, size_t Count);

// Reads until Count bytes have come, the input ends or reading fails; returns
// how many came. A failure's reason is left in Error when it is given.
size_t ReadFull(int Fd, void *Bytes, size_t Count, std::string *Error = nullptr);
