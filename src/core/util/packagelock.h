#pragma once
// One writer per database. A program that opens a package to change it holds an exclusive
// lock on the package folder for as long as it is open; one that only reads it holds a
// shared lock. Two writers would each rewrite the index and the attributes files from
// their own tree, and a file one of them stored would lose its item.
//
// The lock is flock(2) on the package folder's own descriptor: it needs no file in the
// package (nothing to copy into backups, nothing for the check to find, nothing to write on
// a read-only disk), works between the window and a terminal, and the kernel drops it when
// the process ends however it ends, so a crashed program never leaves the database locked.
// Two opens in one process conflict too: each has its own descriptor.

#include <QString>

namespace folivo {

class PackageLock {
public:
    enum class Mode { Shared, Exclusive };
    enum class Outcome {
        Held,        // the lock is ours until release or destruction
        InUse,       // another open holds a lock that conflicts with this one
        Unsupported, // the file system does not lock (some network file systems); not held
        Failed,      // the folder could not be opened; `error` says why
    };

    PackageLock() = default;
    ~PackageLock();
    PackageLock(PackageLock&& other) noexcept;
    PackageLock& operator=(PackageLock&& other) noexcept;
    PackageLock(const PackageLock&) = delete;
    PackageLock& operator=(const PackageLock&) = delete;

    // Takes the lock on the folder `dir` without waiting.
    Outcome take(const QString& dir, Mode mode);
    void release();
    bool held() const { return fd_ >= 0; }
    // The reason of the last Failed or Unsupported outcome.
    const QString& error() const { return error_; }

private:
    int fd_ = -1;
    QString error_;
};

} // namespace folivo
