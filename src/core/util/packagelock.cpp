#include "util/packagelock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace folivo {

PackageLock::~PackageLock()
{
    release();
}

PackageLock::PackageLock(PackageLock&& other) noexcept : fd_(other.fd_), error_(std::move(other.error_))
{
    other.fd_ = -1;
}

PackageLock& PackageLock::operator=(PackageLock&& other) noexcept
{
    if (this != &other) {
        release();
        fd_ = other.fd_;
        error_ = std::move(other.error_);
        other.fd_ = -1;
    }
    return *this;
}

void PackageLock::release()
{
    // Closing the descriptor drops the lock; so does the end of the process.
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

PackageLock::Outcome PackageLock::take(const QString& dir, Mode mode)
{
    release();
    error_.clear();
    // Close-on-exec: a program started from here (a viewer, the mail program) must not
    // keep the database locked after this one has closed it.
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        return Outcome::Failed;
    }
    const int operation = (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    int rc;
    do
        rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        fd_ = fd;
        return Outcome::Held;
    }
    const int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK)
        return Outcome::InUse;
    // ENOLCK, EOPNOTSUPP, or EBADF where a network file system turns flock into a record
    // lock that a folder cannot take for writing.
    error_ = QString::fromLocal8Bit(std::strerror(err));
    return Outcome::Unsupported;
}

} // namespace folivo
