#pragma once
// File-descriptor helpers for the few places that do their own system calls: a descriptor
// closed on every exit path, and reads and writes that go on after a short count or an
// interrupted call (a short read is not the end of a file).

#include <QtGlobal>

#include <algorithm>

#include <cerrno>
#include <unistd.h>

namespace folivo::fdio {

struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd& operator=(Fd&& o) noexcept
    {
        if (this != &o) {
            reset();
            fd = o.fd;
            o.fd = -1;
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    bool valid() const { return fd >= 0; }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Reads until `size` bytes are in or the file ends; -1 on an error.
inline qint64 readFull(int fd, void* data, qint64 size)
{
    auto* p = static_cast<char*>(data);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, p + done, size_t(std::min<qint64>(size - done, qint64(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

// Writes all of `data`; false on an error (errno tells which).
inline bool writeFull(int fd, const void* data, qint64 size)
{
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min<qint64>(size, qint64(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= n;
    }
    return true;
}

} // namespace folivo::fdio
