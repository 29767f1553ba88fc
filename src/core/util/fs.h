#pragma once
// File-system primitives for the store. Everything that changes a package goes through
// here, which gives tests one seam to inject disk faults (tests run as root, which
// ignores read-only modes, so real permission failures cannot be staged).

#include "store/packagepath.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace folivo::fs {

enum class Op { Write, Rename, Remove, MakeDir, Chmod, Sync, Link, Copy };

// Test seam: when set and it answers true for an operation on an absolute path, that
// operation fails with EIO without touching the disk.
using FaultHook = std::function<bool(Op, const QString& absolutePath)>;
void setFaultHook(FaultHook hook);
// Inside a hook that answers true: the error the failing call reports (EIO when not set),
// such as ENOSPC for a full disk or EACCES for a folder that cannot be changed.
void injectErrno(int err);

struct ScopedFault {
    explicit ScopedFault(FaultHook hook) { setFaultHook(std::move(hook)); }
    ~ScopedFault() { setFaultHook({}); }
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;
};

// The last failure on this thread, for messages: "step: path: reason", and its errno value
// (ENOSPC for a full disk, EACCES, EROFS...), for messages that name the cause.
QString lastError();
int lastErrno();
// For writers that do their own system calls (the cipher streams): records a failure as
// lastError and answers false, and asks the test seam whether `op` on `abs` must fail.
bool recordFailure(const char* step, const QString& abs, int err);
bool faultInjected(Op op, const QString& abs, const char* step);

// While a database is open its package folder is registered here. Every function of this
// file then resolves a path inside that package one component at a time from the package
// folder, without following symbolic links (openat2 with RESOLVE_BENEATH and
// RESOLVE_NO_SYMLINKS, or a walk with O_NOFOLLOW where the kernel has no openat2), and
// acts with the *at() calls on the folder it found. A link inside the package, where a
// folder or file should be, is therefore never written, read or changed through: the call
// fails with ELOOP. The last component is never followed either (it may be replaced or
// removed, as a link itself). Paths outside every registered package behave as before.
//
// Names on disk may be in decomposed Unicode (a package that travelled through a macOS
// volume) while the index holds the composed form: a component that is not found under
// its own name is looked up among the folder's entries after normalisation, and the call
// acts on the entry as the disk spells it.
class PackageRoot {
public:
    explicit PackageRoot(const QString& absRoot);
    ~PackageRoot();
    PackageRoot(const PackageRoot&) = delete;
    PackageRoot& operator=(const PackageRoot&) = delete;

private:
    QString root_;
};

// The path as the disk spells it (see above), checked without following links; empty when
// a link lies on the way inside a package, the last component included. Components that
// do not exist are kept as given. A path outside every package is answered as it is.
QString onDiskPath(const QString& abs);

// open(2) with the rules above, for the few callers that read or write a descriptor
// themselves: inside a package O_NOFOLLOW is added. -1 with errno set on failure (also
// recorded as lastError under `step`).
int openFile(const QString& abs, int flags, unsigned mode = 0, const char* step = "Open");

// lstat-based queries: a symbolic link is never followed.
bool exists(const QString& abs);
bool isDirectory(const QString& abs);
bool isRegularFile(const QString& abs);
bool isReadable(const QString& abs); // access(R_OK) on what exists (links not followed)
// Whether the folder can be changed; the test seam can answer no (Op::Write on `abs`), which
// is how tests see a package on a read-only volume while running as root.
bool isWritable(const QString& abs);
std::optional<unsigned> mode(const QString& abs);
// Whether this process could change the mode of what is at `abs` (it owns it or is root,
// and the file system is not mounted read-only), found without changing anything. The
// test seam can answer no (Op::Chmod on `abs`).
bool modeChangeable(const QString& abs);

bool setMode(const QString& abs, unsigned mode);
bool makeDirectory(const QString& abs, unsigned mode);             // one level, exact mode
bool makeDirectories(const QString& abs, unsigned mode);           // with missing parents
// Copies a file or folder tree; links are copied as links, modes are kept. `to` must not exist.
// A link met inside a package, or that would be made inside one, is refused (ELOOP): a
// backup never holds just a link where a folder of the person's was, and no link enters a
// package.
bool copyTree(const QString& from, const QString& to);
bool createMarker(const QString& abs, unsigned mode);              // empty file, exact mode
bool rename(const QString& from, const QString& to);
bool removeFile(const QString& abs);                               // files and links only
// Renames without ever replacing what is at `to` (EEXIST then). Where the file system
// cannot promise that, a file is linked and unlinked and a folder is checked first.
bool renameNoReplace(const QString& from, const QString& to);
// A second name for the same file (a hard link); `to` must not exist.
bool link(const QString& from, const QString& to);
// A copy of one regular file that shares the blocks where the file system can (a reflink),
// else an ordinary copy; the mode is kept and `to` must not exist. A symbolic link at
// `from` is followed: the copy holds the content.
bool cloneFile(const QString& from, const QString& to);

std::optional<QByteArray> readFile(const QString& abs, qint64 maxBytes = qint64(1) << 30);

// The temporary sibling a new version of `abs` is written to before it is renamed over
// it: a hidden name, so that what a crash leaves behind is never taken for a document.
QString freshSibling(const QString& abs);

enum class Durability { Flush, NoFlush };
// Writes `data` to its fresh sibling (see above), flushes it (unless NoFlush), and renames
// it over `abs`. The previous content stays intact until the rename; on failure the
// sibling is removed and false is answered.
bool writeFileAtomic(const QString& abs, const QByteArray& data, unsigned mode = 0644,
                     Durability durability = Durability::Flush);
// Flushes the whole file system that holds `abs` (after a batch of NoFlush writes).
bool syncFileSystem(const QString& abs);

// Deletes `path` under the package root `root`, recursively for folders. It never follows
// a symbolic link (a link is removed, not its target), never acts outside `root`, and
// makes read-only folders writable on the way down so their contents can go. A missing
// path is success. The root itself is never deleted.
bool deleteInside(const QString& root, const PackagePath& path);

// Deletes an absolute folder tree we own (a temporary folder), with the same care.
bool deleteTree(const QString& abs);

// Makes the folder at `abs` writable for its lifetime and gives it back its previous
// mode on every exit path. A missing folder or an empty path is left alone.
class ScopedWritable {
public:
    explicit ScopedWritable(const QString& absDir);
    ~ScopedWritable();
    ScopedWritable(const ScopedWritable&) = delete;
    ScopedWritable& operator=(const ScopedWritable&) = delete;
    bool ok() const { return ok_; }

private:
    QString dir_;
    std::optional<unsigned> previous_;
    bool ok_ = true;
};

} // namespace folivo::fs
