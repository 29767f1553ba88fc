// libFuzzer target over zip containers, the outside data folder items are stored in.
//
// Besides "no crash, no undefined behaviour, no leak", unpacking must keep its promises
// for any input: a refused archive leaves nothing behind, nothing is ever created beside
// the target, an unpacked tree holds only files, folders and links that stay inside it,
// with no setuid, setgid or sticky bit, and it packs again under the same names.
// Listing, verifying and unpacking must also agree with each other. A broken property
// aborts, which libFuzzer reports as a crash.

#include "crypto/zipcontainer.h"
#include "util/fs.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace folivo;

namespace {

void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "zip container property broken: %s\n", what);
        std::abort();
    }
}

// One private folder for the whole run; every input unpacks into base/t. Kept out of
// static destruction, which runs before the exit handler that removes it.
const QString& base()
{
    static const QString* dir = [] {
        QByteArray tmpl = QFile::encodeName(
            QDir(QFile::exists("/dev/shm") ? "/dev/shm" : QDir::tempPath()).filePath("zipfuzz.XXXXXX"));
        require(::mkdtemp(tmpl.data()) != nullptr, "a scratch folder");
        std::atexit([] { fs::deleteTree(base()); });
        return new QString(QFile::decodeName(tmpl));
    }();
    return *dir;
}

QStringList listing(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Walks the unpacked tree without following links.
void checkTree(const QByteArray& path, const QByteArray& rootCanonical)
{
    DIR* dir = ::opendir(path.constData());
    require(dir != nullptr, "an unpacked folder opens");
    while (dirent* d = ::readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        const QByteArray child = path + '/' + d->d_name;
        struct stat st {};
        require(::lstat(child.constData(), &st) == 0, "an unpacked entry exists");
        require(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode) || S_ISLNK(st.st_mode), "only files, folders and links");
        if (!S_ISLNK(st.st_mode))
            require((st.st_mode & 07000) == 0, "no setuid, setgid or sticky bit");
        if (S_ISLNK(st.st_mode)) {
            char resolved[PATH_MAX];
            if (::realpath(child.constData(), resolved)) {
                const QByteArray r(resolved);
                require(r == rootCanonical || r.startsWith(rootCanonical + '/'), "a link stays inside");
            }
        } else if (S_ISDIR(st.st_mode)) {
            checkTree(child, rootCanonical);
        }
    }
    ::closedir(dir);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const QByteArray data(reinterpret_cast<const char*>(bytes), qsizetype(size));
    const QString target = base() + "/t";

    const bool verified = bool(zipc::verifyArchive(data));

    for (zipc::EntryNaming naming : {zipc::EntryNaming::WithItemName, zipc::EntryNaming::InsideItem}) {
        const std::optional<QStringList> names = zipc::entryNames(data, naming);
        if (names) {
            for (qsizetype i = 0; i < std::min<qsizetype>(names->size(), 4); ++i)
                (void)zipc::readEntry(data, names->at(i), naming);
        }

        zipc::UnpackOptions options;
        options.naming = naming;
        options.readOnly = (size & 1) != 0;
        options.maxTotalBytes = qint64(1) << 20;
        const zipc::Result r = zipc::unpackArchive(data, target, options);
        const QStringList after = listing(base());
        if (!r) {
            require(after.isEmpty(), "a refused archive leaves nothing behind");
            continue;
        }
        require(after == QStringList{"t"}, "nothing is created beside the target");
        require(names.has_value(), "what unpacks also lists");
        if (naming == zipc::EntryNaming::InsideItem)
            require(verified, "what unpacks also verifies");
        const QByteArray rootCanonical = QFile::encodeName(QDir(target).canonicalPath());
        checkTree(QFile::encodeName(target), rootCanonical);

        // Whatever we unpack we can store again, under the same names.
        QString error;
        const std::optional<QByteArray> again = zipc::packFolderToMemory(target, naming, &error);
        require(again.has_value() || error.contains("entries"), "an unpacked tree packs again");
        if (again) {
            const std::optional<QStringList> againNames = zipc::entryNames(*again, naming);
            require(againNames.has_value(), "a repacked tree lists");
            const QSet<QString> have(againNames->begin(), againNames->end());
            for (const QString& n : *names)
                require(have.contains(n), "a repacked tree keeps every name");
        }
        require(fs::deleteTree(target), "the target can be removed");
    }
    return 0;
}
