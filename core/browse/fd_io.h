#pragma once
// Writes the whole of a buffer to a file descriptor: the one loop every
// writer of whole files (cache, trash, exports, transforms) goes through.

#include <unistd.h>

#include <cerrno>
#include <cstddef>

// True when all `size` bytes were written; false with errno set (EIO when
// the file took nothing) otherwise. Interrupted writes are resumed.
inline bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}
