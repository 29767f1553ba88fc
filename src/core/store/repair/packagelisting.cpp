#include "store/repair/packagelisting.h"

#include "store/packagepath.h"
#include "store/repair/repairsupport.h"
#include "util/fs.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folivo {

using repair::ignoredName;

namespace {

// Lists one folder of the package and, depth first, every folder below it that is not
// hidden, with readdir and the entry types it gives, so that a large package is listed
// without a status call per file. Symbolic links are never entered: each folder is opened
// from the one above it with O_NOFOLLOW. Names are listed in composed Unicode, the form
// the index uses, whatever form the disk keeps them in (the disk calls find them by it).
void listInto(PackageListing::Data& out, int dirFd, const PackagePath& dir, int parent, int depth)
{
    // Deeper than any path the system can name; only a hostile package gets here.
    if (depth > 512)
        return;
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* handle = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!handle) {
        if (listFd >= 0)
            ::close(listFd);
        return;
    }
    if (parent < 0)
        out.rootListed = true;
    else
        out.entries[std::size_t(parent)].listed = true;
    struct Found {
        QByteArray onDisk;
        QString name;
        bool isDir;
        bool isLink;
    };
    std::vector<Found> names;
    while (const dirent* e = ::readdir(handle)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        bool isDir = e->d_type == DT_DIR;
        bool isLink = e->d_type == DT_LNK;
        if (e->d_type == DT_UNKNOWN) { // some file systems do not say
            struct stat st {};
            const bool known = ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0;
            isDir = known && S_ISDIR(st.st_mode);
            isLink = known && S_ISLNK(st.st_mode);
        }
        QString name = QFile::decodeName(e->d_name);
        if (std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() > 0x7f; }))
            name = name.normalized(QString::NormalizationForm_C);
        names.push_back({QByteArray(e->d_name), std::move(name), isDir, isLink});
    }
    ::closedir(handle);
    for (const auto& [onDisk, name, isDir, isLink] : names) {
        // A delete moves the files out of the way under a hidden name before the tree
        // forgets the item; a crash in between leaves them behind, already deleted. So
        // does a write a crash interrupted: its temporary copy is never the file. Only
        // names that nothing but this program makes are taken for leftovers: a name made
        // from an item's name ("….new", "….old") may be another item's attributes file.
        if (name.startsWith(QStringLiteral(".deleting-")) || fs::isFreshSiblingName(name)) {
            if (const auto child = dir.child(name))
                out.leftovers << child->str();
            continue;
        }
        if (ignoredName(name))
            continue; // and never entered: hidden folders are not the person's
        const auto child = dir.child(name);
        if (!child)
            continue;
        out.entries.push_back({child->str(), parent, isDir, false, isLink});
        if (isDir) {
            const int childFd = ::openat(dirFd, onDisk.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd >= 0) {
                listInto(out, childFd, *child, int(out.entries.size() - 1), depth + 1);
                ::close(childFd);
            }
        }
    }
}

} // namespace

PackageListing PackageListing::start(const QString& root, bool inBackground)
{
    PackageListing listing;
    auto work = [root] {
        Data data;
        const int rootFd = ::open(QFile::encodeName(root).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (rootFd >= 0) {
            listInto(data, rootFd, PackagePath(), -1, 0);
            ::close(rootFd);
        }
        return data;
    };
    if (inBackground) {
        listing.future_ = std::async(std::launch::async, work);
    } else {
        std::promise<Data> ready;
        ready.set_value(work());
        listing.future_ = ready.get_future();
    }
    return listing;
}

const PackageListing::Data& PackageListing::get()
{
    if (!data_)
        data_ = future_.get();
    return *data_;
}

bool PackageListing::valid() const
{
    return data_.has_value() || future_.valid();
}

PackageListing::~PackageListing()
{
    if (future_.valid())
        future_.wait(); // never leave the thread reading a package that is going away
}

} // namespace folivo
