// How fast recorded operations, saving and backups are on a large database, and whether
// an operation stays inside the part of the package it concerns.
//
//   ops_bench [--items N] [--ops K] [--dir D] [--keep] [--repeat R] [--seed S]
//
// Builds a database of N items (the same shape as open_bench's), opens it and runs K
// mixed operations chosen by a seeded generator: new folders, renames, moves between
// folders (dated files land in month folders, which may be made or removed on the way),
// deletes, duplicates and stored imports of small files. Every change the store makes
// through its file layer is counted with the fault hook (which lets each one happen), and
// the package is compared before and after the whole run, so that a change made around
// the file layer is seen too. Then it times:
//   save     saveChanges with ".changed" present, which writes ".index";
//   backup   doBackup into a fresh folder against "cp -a" of the same package.
// Operation times are given as multiples of an anchor measured in the same run on the
// same file system: one 4 KiB write flushed with fdatasync and renamed into place, which
// is what writing one attributes file costs at the least.
//
// The exit status is 0 whether or not the targets are met; it is 1 only when something
// broke (the database could not be built or opened, an operation failed, a save or a
// backup failed, or the backup was not a complete copy).

#include "plist/keyedarchive.h"
#include "store/documentui.h"
#include "store/keys.h"
#include "store/months.h"
#include "store/mydocument.h"
#include "util/fs.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QString>
#include <QTimeZone>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace folivo;

namespace {

constexpr char kBenchName[] = "ops_bench";

#include "benchcommon.inc"

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash);
}

QString joined(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + '/' + name;
}

// ---------------------------------------------------------------------------------------
// Building

#include "syntheticdb.inc"

// ---------------------------------------------------------------------------------------
// The anchor

// One 4 KiB write flushed with fdatasync and renamed over its target, in `dir`: the least
// that writing one attributes file costs.
double anchorOnce(const QString& dir, const QByteArray& block)
{
    const QByteArray tmp = native(dir + QStringLiteral("/anchor.new"));
    const QByteArray target = native(dir + QStringLiteral("/anchor"));
    const auto start = Clock::now();
    const int fd = ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        die(QStringLiteral("cannot create %1: %2").arg(QString::fromLocal8Bit(tmp), QString::fromLocal8Bit(std::strerror(errno))));
    bool ok = ::write(fd, block.constData(), std::size_t(block.size())) == block.size() && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tmp.constData(), target.constData()) == 0;
    const double s = secondsSince(start);
    if (!ok)
        die(QStringLiteral("the anchor write failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    return s;
}

std::vector<double> measureAnchor(const QString& dir, int n)
{
    const QByteArray block(4096, 'a');
    std::vector<double> times;
    for (int i = 0; i < n; ++i)
        times.push_back(anchorOnce(dir, block));
    return times;
}

// ---------------------------------------------------------------------------------------
// Where an operation may change the package

// The parts of the package one operation concerns.
struct Scopes {
    // Items: the path itself (any stored form), everything below it and its attributes file.
    QSet<QString> items;
    // Folders whose list of children changes: the folder itself (its mode is opened and
    // given back, entries come and go), its attributes file, and the hidden names a delete
    // moves its files to. "" is the package folder.
    QSet<QString> folders;
    // The folders holding the attributes files of those: only the folder entry itself
    // changes (opened for the write and given back, a file renamed into it).
    QSet<QString> holders;

    void item(const QString& p)
    {
        if (p.isEmpty())
            return;
        items.insert(p);
        holders.insert(parentOf(p));
    }
    void folder(const QString& p)
    {
        folders.insert(p);
        if (!p.isEmpty())
            holders.insert(parentOf(p));
    }
    void merge(const Scopes& o)
    {
        items.unite(o.items);
        folders.unite(o.folders);
        holders.unite(o.holders);
    }
};

// A name and the names it may stand for: without the suffix of an older version's copy,
// and without the suffix of an enciphered form. (A write in progress goes through a fresh
// sibling with a random name, gone once the write is done; one left behind is a fault.)
QStringList baseNames(const QString& name)
{
    QStringList out{name};
    if (name.endsWith(pkg::OldSuffix))
        out << name.chopped(pkg::OldSuffix.size());
    const QStringList plain = out;
    for (const QString& n : plain)
        for (const QString& s : pkg::EncipheredSuffixes)
            if (n.endsWith('.' + s))
                out << n.chopped(s.size() + 1);
    return out;
}

bool allowed(const Scopes& s, const QString& rel)
{
    // The package folder itself, its marker and the list of top-level items are common
    // to every operation.
    if (rel.isEmpty() || rel == pkg::Changed || rel == pkg::DIndex || rel == pkg::EncryptedDIndex)
        return true;
    const QString dir = parentOf(rel);
    const QString name = dir.isEmpty() ? rel : rel.mid(dir.size() + 1);
    for (const QString& n : baseNames(name))
        for (QString p = joined(dir, n); !p.isEmpty(); p = parentOf(p))
            if (s.items.contains(p))
                return true;
    if (s.folders.contains(rel) || s.holders.contains(rel))
        return true;
    if (name.startsWith(QStringLiteral(".deleting-")) && s.folders.contains(dir))
        return true;
    if (name.startsWith(pkg::AttributesPrefix))
        for (const QString& n : baseNames(name.mid(pkg::AttributesPrefix.size()))) {
            const QString owner = joined(dir, n);
            if (s.items.contains(owner) || s.folders.contains(owner))
                return true;
        }
    return false;
}

// ---------------------------------------------------------------------------------------
// The operations

enum Kind { NewFolder, Rename, Move, Delete, Duplicate, Import, KindCount };
const char* const KindNames[KindCount] = {"new folder", "rename", "move", "delete", "duplicate", "import"};

const char* opName(fs::Op op)
{
    switch (op) {
    case fs::Op::Write: return "write";
    case fs::Op::Rename: return "rename";
    case fs::Op::Remove: return "remove";
    case fs::Op::MakeDir: return "mkdir";
    case fs::Op::Chmod: return "chmod";
    case fs::Op::Sync: return "sync";
    case fs::Op::Link: return "link";
    case fs::Op::Copy: return "copy";
    }
    return "?";
}

struct Touch {
    fs::Op op;
    QString abs;
};

struct OpRecord {
    Kind kind = NewFolder;
    QString what;     // for messages: the operation and its paths
    double seconds = 0;
    int changes = 0;  // changes the file layer was asked for
    int writes = 0;   // of them, whole-file writes (each flushed)
    QStringList outside; // changes outside the operation's own paths
};

class Runner {
public:
    Runner(MyDocument& doc, quint64 seed, QString tag) : doc_(doc), tree_(doc.tree()), rng_(seed), tag_(std::move(tag))
    {
        tree_.forEach([&](IndexItem& item) {
            if (item.isFile())
                files_.push_back(item.path());
            else if (item.isPlainFolder())
                folders_.push_back(item.path());
        });
        fs::setFaultHook([this](fs::Op op, const QString& abs) {
            touches_.push_back({op, abs});
            return false; // let it happen
        });
    }
    ~Runner() { fs::setFaultHook({}); }

    // Runs operation `i`; answers false when it did not succeed (`error` says why).
    bool step(int i, OpRecord& rec, Scopes& scopes, QString& error)
    {
        const unsigned roll = unsigned(rng_() % 100);
        Kind kind = roll < 10 ? NewFolder : roll < 30 ? Rename : roll < 55 ? Move : roll < 70 ? Delete : roll < 80 ? Duplicate : Import;
        touches_.clear();
        OperationResult r;
        rec.kind = kind;
        switch (kind) {
        case NewFolder: r = newFolder(i, rec, scopes); break;
        case Rename: r = rename(i, rec, scopes); break;
        case Move: r = move(rec, scopes); break;
        case Delete: r = remove(rec, scopes); break;
        case Duplicate: r = duplicate(rec, scopes); break;
        case Import: r = import(i, rec, scopes); break;
        case KindCount: break;
        }
        if (r.status != OperationResult::Status::Done) {
            error = QStringLiteral("%1 (%2): status %3 %4 %5 %6")
                        .arg(rec.what, QString::fromLatin1(KindNames[kind]))
                        .arg(int(r.status))
                        .arg(r.message, r.step, r.path, r.detail);
            return false;
        }
        const QString root = doc_.dbPath();
        rec.changes = int(touches_.size());
        for (const Touch& t : touches_) {
            if (t.op == fs::Op::Write)
                ++rec.writes;
            QString rel;
            if (t.abs == root)
                rel.clear();
            else if (t.abs.startsWith(root + '/'))
                rel = t.abs.mid(root.size() + 1);
            else {
                rec.outside << QStringLiteral("%1 %2 (outside the package)").arg(QLatin1String(opName(t.op)), t.abs);
                continue;
            }
            if (!allowed(scopes, rel))
                rec.outside << QStringLiteral("%1 %2").arg(QLatin1String(opName(t.op)), rel);
        }
        return true;
    }

private:
    // A random entry of `pool` that is still an item of the right kind; entries that no
    // longer are (their folder was renamed, moved or deleted) are dropped on the way.
    template <typename Pred>
    std::optional<std::size_t> pick(std::vector<QString>& pool, Pred fits)
    {
        while (!pool.empty()) {
            const std::size_t i = std::size_t(rng_() % pool.size());
            const IndexItem* item = tree_.itemForPath(pool[i]);
            if (item && fits(*item))
                return i;
            pool[i] = pool.back();
            pool.pop_back();
        }
        return std::nullopt;
    }
    std::optional<std::size_t> pickFile()
    {
        return pick(files_, [](const IndexItem& it) { return it.isFile(); });
    }
    std::optional<std::size_t> pickFolder(std::vector<QString>& pool)
    {
        return pick(pool, [](const IndexItem& it) { return it.isPlainFolder(); });
    }
    bool chance(unsigned percent) { return rng_() % 100 < percent; }
    // One of the folders this run made (`percent` of the time, while there are any) or
    // else a file: the pool it came from and its place there.
    std::pair<std::vector<QString>*, std::optional<std::size_t>> pickFileOrMadeFolder(unsigned percent)
    {
        if (chance(percent))
            if (const auto k = pickFolder(made_))
                return {&made_, k};
        return {&files_, pickFile()};
    }

    // The date folders from `folder` upwards.
    QStringList dateChain(const QString& folder) const
    {
        QStringList chain;
        for (QString p = folder; !p.isEmpty(); p = parentOf(p)) {
            const IndexItem* item = tree_.itemForPath(p);
            if (!item || !item->isDateFolder())
                break;
            chain << p;
        }
        return chain;
    }
    QSet<QString> dateFoldersUnder(const QString& folder) const
    {
        QSet<QString> found;
        const std::function<void(const IndexItem*)> walk = [&](const IndexItem* f) {
            for (const auto& c : tree_.childrenOf(f))
                if (c->isDateFolder()) {
                    found.insert(c->path());
                    walk(c.get());
                }
        };
        if (const IndexItem* f = tree_.itemForPath(folder))
            walk(f);
        return found;
    }
    // Date folders an operation removed (they were above the item's old place) or made
    // (they are above its new place and were not there before), with the folders holding them.
    void removedDates(const QStringList& chainBefore, Scopes& scopes) const
    {
        for (const QString& p : chainBefore)
            if (!tree_.itemForPath(p)) {
                scopes.item(p);
                scopes.folder(parentOf(p));
            }
    }
    void madeDates(const QString& newParent, const QSet<QString>& before, Scopes& scopes) const
    {
        for (const QString& p : dateChain(newParent))
            if (!before.contains(p)) {
                scopes.item(p);
                scopes.folder(parentOf(p));
            }
    }
    template <typename F>
    OperationResult timed(OpRecord& rec, F f)
    {
        const auto start = Clock::now();
        OperationResult r = f();
        rec.seconds = secondsSince(start);
        return r;
    }

    OperationResult newFolder(int i, OpRecord& rec, Scopes& scopes)
    {
        const IndexItem* parent = nullptr;
        if (chance(50))
            if (const auto k = pickFolder(folders_))
                parent = tree_.itemForPath(folders_[*k]);
        const QString parentPath = parent ? parent->path() : QString();
        const QString path = joined(parentPath, QStringLiteral("New Folder %1-%2").arg(tag_).arg(i));
        const int index = chance(50) ? -1 : int(rng_() % (tree_.childrenOf(parent).size() + 1));
        rec.what = path;
        scopes.item(path);
        scopes.folder(parentPath);
        OperationResult r = timed(rec, [&] { return doc_.recordNewCategory(path, parent, index); });
        if (r.status == OperationResult::Status::Done) {
            folders_.push_back(path);
            made_.push_back(path);
        }
        return r;
    }

    OperationResult rename(int i, OpRecord& rec, Scopes& scopes)
    {
        auto [pool, k] = pickFileOrMadeFolder(20);
        if (!k)
            return {};
        const QString oldPath = (*pool)[*k];
        const IndexItem* item = tree_.itemForPath(oldPath);
        QString newName;
        if (item->isFile()) {
            const QString name = item->name();
            const qsizetype dot = name.lastIndexOf('.');
            const bool ext = dot > 0;
            newName = QStringLiteral("%1 r%2-%3%4").arg(ext ? name.left(dot) : name, tag_).arg(i).arg(ext ? name.mid(dot) : QString());
        } else {
            newName = QStringLiteral("Renamed Folder %1-%2").arg(tag_).arg(i);
        }
        const QString newPath = joined(parentOf(oldPath), newName);
        rec.what = oldPath + QStringLiteral(" -> ") + newPath;
        scopes.item(oldPath);
        scopes.item(newPath);
        scopes.folder(parentOf(oldPath));
        OperationResult r = timed(rec, [&] { return doc_.recordRename(oldPath, newPath); });
        if (r.status == OperationResult::Status::Done)
            (*pool)[*k] = r.resultPath;
        return r;
    }

    // The nearest ordinary folder at or above `path`; "" at the top.
    QString plainFolderAbove(const QString& path) const
    {
        for (QString p = parentOf(path); !p.isEmpty(); p = parentOf(p))
            if (const IndexItem* f = tree_.itemForPath(p); f && f->isPlainFolder())
                return p;
        return {};
    }

    OperationResult move(OpRecord& rec, Scopes& scopes)
    {
        auto [pool, k] = pickFileOrMadeFolder(15);
        if (!k)
            return {};
        const QString path = (*pool)[*k];
        const IndexItem* item = tree_.itemForPath(path);
        // Another folder: for a file not the one it is filed under (its date folders
        // included), for a folder not its own parent and nothing inside it.
        const QString avoid = item->isFile() ? plainFolderAbove(path) : parentOf(path);
        const IndexItem* target = nullptr;
        const bool toTop = !item->isFile() && !avoid.isEmpty() && chance(20);
        for (int tries = 0; tries < 50 && !toTop && !target; ++tries) {
            const auto t = pickFolder(folders_);
            if (!t)
                break;
            const QString& tp = folders_[*t];
            if (tp != avoid && tp != path && !tp.startsWith(path + '/'))
                target = tree_.itemForPath(tp);
        }
        const QString targetPath = target ? target->path() : QString();
        if (!target && !toTop)
            return {};
        const int index = item->isFile() ? -1 : int(rng_() % (tree_.childrenOf(target).size() + 1));
        const QString oldParent = parentOf(path);
        const QStringList chainBefore = dateChain(oldParent);
        const QSet<QString> datesBefore = dateFoldersUnder(targetPath);
        rec.what = path + QStringLiteral(" -> ") + (targetPath.isEmpty() ? QStringLiteral("(top)") : targetPath);
        OperationResult r = timed(rec, [&] { return doc_.recordMovePath(path, target, index); });
        if (r.status != OperationResult::Status::Done)
            return r;
        const QString newParent = parentOf(r.resultPath);
        scopes.item(path);
        scopes.item(r.resultPath);
        scopes.folder(oldParent);
        scopes.folder(newParent);
        removedDates(chainBefore, scopes);
        madeDates(newParent, datesBefore, scopes);
        rec.what = path + QStringLiteral(" -> ") + r.resultPath;
        (*pool)[*k] = r.resultPath;
        return r;
    }

    OperationResult remove(OpRecord& rec, Scopes& scopes)
    {
        auto [pool, k] = pickFileOrMadeFolder(15);
        if (!k)
            return {};
        const QString path = (*pool)[*k];
        const QStringList chainBefore = dateChain(parentOf(path));
        rec.what = path;
        scopes.item(path);
        scopes.folder(parentOf(path));
        OperationResult r = timed(rec, [&] { return doc_.recordDelete(path); });
        if (r.status == OperationResult::Status::Done) {
            removedDates(chainBefore, scopes);
            (*pool)[*k] = pool->back();
            pool->pop_back();
        }
        return r;
    }

    OperationResult duplicate(OpRecord& rec, Scopes& scopes)
    {
        const auto k = pickFile();
        if (!k)
            return {};
        const QString path = files_[*k];
        rec.what = path;
        OperationResult r = timed(rec, [&] { return doc_.recordDuplicate(path, pkg::Unfiled); });
        if (r.status == OperationResult::Status::Done) {
            scopes.item(path);
            scopes.item(r.resultPath);
            scopes.folder(pkg::Unfiled);
            rec.what = path + QStringLiteral(" -> ") + r.resultPath;
            files_.push_back(r.resultPath);
        }
        return r;
    }

    OperationResult import(int i, OpRecord& rec, Scopes& scopes)
    {
        const auto k = pickFolder(folders_);
        if (!k)
            return {};
        const QString folder = folders_[*k];
        std::optional<QDateTime> when;
        if (chance(70))
            when = QDateTime(QDate(2019 + int(rng_() % 6), 1 + int(rng_() % 12), 1 + int(rng_() % 28)), QTime(12, 0));
        const bool pdf = chance(50);
        QByteArray data = pdf ? QByteArrayLiteral("%PDF-1.4\n") : QByteArrayLiteral("Scanned note\n");
        const int size = 2048 + int(rng_() % 6144);
        while (data.size() < size)
            data.append(char('a' + rng_() % 26));
        const QString name = pdf ? QStringLiteral("Scan %1-%2").arg(tag_).arg(i) : QStringLiteral("Note %1-%2.txt").arg(tag_).arg(i);
        const QSet<QString> datesBefore = dateFoldersUnder(folder);
        rec.what = name + QStringLiteral(" -> ") + folder;
        OperationResult r = timed(rec, [&] { return doc_.recordImport(name, data, folder, -1, when, when); });
        if (r.status == OperationResult::Status::Done) {
            scopes.item(r.resultPath);
            scopes.folder(folder);
            scopes.folder(parentOf(r.resultPath));
            madeDates(parentOf(r.resultPath), datesBefore, scopes);
            rec.what = name + QStringLiteral(" -> ") + r.resultPath;
            files_.push_back(r.resultPath);
        }
        return r;
    }

    MyDocument& doc_;
    IndexTree& tree_;
    std::mt19937_64 rng_;
    QString tag_;
    std::vector<QString> files_, folders_, made_;
    std::vector<Touch> touches_;
};

// ---------------------------------------------------------------------------------------
// Snapshots and inventories of a folder tree

// Every entry with what a change would alter, by path relative to the root.
struct Entry {
    ino_t ino;
    off_t size;
    long long mtime;
    long long ctime;
    mode_t mode;
    bool operator==(const Entry&) const = default;
};
using Snapshot = std::map<std::string, Entry>;
Snapshot* g_snapshot = nullptr;
std::size_t g_rootLength = 0;

int snapshotEntry(const char* path, const struct stat* st, int, struct FTW*)
{
    const std::size_t n = std::strlen(path);
    const std::string rel = n > g_rootLength ? std::string(path + g_rootLength + 1) : std::string();
    (*g_snapshot)[rel] = {st->st_ino, st->st_size, st->st_mtim.tv_sec * 1000000000LL + st->st_mtim.tv_nsec,
                          st->st_ctim.tv_sec * 1000000000LL + st->st_ctim.tv_nsec, st->st_mode};
    return 0;
}

Snapshot snapshot(const QString& root)
{
    Snapshot s;
    g_snapshot = &s;
    const QByteArray r = native(QDir::cleanPath(root));
    g_rootLength = std::size_t(r.size());
    if (::nftw(r.constData(), snapshotEntry, 64, FTW_PHYS) != 0)
        die(QStringLiteral("cannot list %1").arg(root));
    g_snapshot = nullptr;
    return s;
}

// Relative paths of entries added, removed or changed between two snapshots.
QStringList changedEntries(const Snapshot& before, const Snapshot& after)
{
    QStringList changed;
    for (const auto& [path, e] : after) {
        auto it = before.find(path);
        if (it == before.end() || !(it->second == e))
            changed << QString::fromStdString(path);
    }
    for (const auto& [path, e] : before)
        if (!after.count(path))
            changed << QString::fromStdString(path);
    return changed;
}

struct Totals {
    qint64 files = 0;
    qint64 folders = 0;
    qint64 others = 0;
    qint64 bytes = 0;
};

Totals totals(const Snapshot& s)
{
    Totals t;
    for (const auto& [path, e] : s) {
        if (S_ISREG(e.mode)) {
            ++t.files;
            t.bytes += e.size;
        } else if (S_ISDIR(e.mode)) {
            ++t.folders;
        } else {
            ++t.others;
        }
    }
    return t;
}

// What differs between a package and a copy of it: missing or extra entries, other
// types, sizes or modes. Inode and times are not compared.
QStringList copyDifferences(const Snapshot& original, const Snapshot& copy, qint64* otherMtimes)
{
    QStringList diffs;
    qint64 mtimes = 0;
    for (const auto& [path, e] : original) {
        auto it = copy.find(path);
        if (it == copy.end()) {
            diffs << QStringLiteral("missing %1").arg(QString::fromStdString(path));
            continue;
        }
        const Entry& c = it->second;
        if (c.mode != e.mode || (S_ISREG(e.mode) && c.size != e.size))
            diffs << QStringLiteral("differs %1").arg(QString::fromStdString(path));
        if (S_ISREG(e.mode) && c.mtime != e.mtime)
            ++mtimes;
    }
    for (const auto& [path, e] : copy)
        if (!original.count(path))
            diffs << QStringLiteral("extra %1").arg(QString::fromStdString(path));
    if (otherMtimes)
        *otherMtimes = mtimes;
    return diffs;
}

// Reads every regular file of a snapshot once, so that the copies start with warm caches.
void readAll(const QString& root, const Snapshot& s)
{
    QByteArray buf(1 << 16, Qt::Uninitialized);
    for (const auto& [path, e] : s) {
        if (!S_ISREG(e.mode))
            continue;
        const int fd = ::open(native(root + '/' + QString::fromStdString(path)).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        while (::read(fd, buf.data(), std::size_t(buf.size())) > 0) {
        }
        ::close(fd);
    }
}

// Runs cp -a, started directly (no shell); answers its wall time.
double timeCopyTool(const QString& from, const QString& to)
{
    const QByteArray a = native(from), b = native(to);
    char* argv[] = {const_cast<char*>("cp"), const_cast<char*>("-a"), const_cast<char*>(a.constData()),
                    const_cast<char*>(b.constData()), nullptr};
    std::fflush(stdout);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ);
    if (rc != 0)
        die(QStringLiteral("cannot start cp: %1").arg(QString::fromLocal8Bit(std::strerror(rc))));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    const double s = secondsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        die(QStringLiteral("cp -a %1 %2 failed (status %3)").arg(from, to).arg(status));
    return s;
}

// ---------------------------------------------------------------------------------------
// Options

struct Options {
    qint64 items = 100000;
    int ops = 1000;
    QString dir;
    bool keep = false;
    int repeat = 3;
    quint64 seed = 1;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: ops_bench [--items N] [--ops K] [--dir D] [--keep] [--repeat R] [--seed S]\n"
                         "  --items N     items in the database (default 100000, at least 100)\n"
                         "  --ops K       operations to run (default 1000)\n"
                         "  --dir D       build in D (a database already at D/Bench.fvdb is reused and changed)\n"
                         "  --keep        leave the database behind\n"
                         "  --repeat R    saves and backups timed R times each (default 3)\n"
                         "  --seed S      seed of the operation mix (default 1)\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--items")
            o.items = args.number(100);
        else if (a == "--ops")
            o.ops = int(args.number(1));
        else if (a == "--dir")
            o.dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            o.keep = true;
        else if (a == "--repeat")
            o.repeat = int(args.number(1));
        else if (a == "--seed")
            o.seed = quint64(args.number(0));
        else
            usage();
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    const Options opt = parseOptions(argc, argv);

    QString dir = opt.dir;
    bool ownDir = false;
    if (dir.isEmpty()) {
        QByteArray pattern = native(QDir::tempPath() + QStringLiteral("/ops_bench-XXXXXX"));
        if (!::mkdtemp(pattern.data()))
            die(QStringLiteral("cannot make a temporary folder"));
        dir = QFile::decodeName(pattern);
        ownDir = true;
    } else if (!fs::makeDirectories(QDir(dir).absolutePath(), 0755)) {
        die(fs::lastError());
    }
    dir = QDir(dir).absolutePath();
    const QString pkgPath = dir + QStringLiteral("/Bench.fvdb");

    bool built = false;
    if (fs::exists(pkgPath)) {
        std::printf("Reusing %s (the operations change it)\n", qPrintable(pkgPath));
    } else {
        std::printf("Building %lld items in %s ...\n", static_cast<long long>(opt.items), qPrintable(pkgPath));
        std::fflush(stdout);
        const BuildStats stats = buildDatabase(pkgPath, opt.items);
        built = true;
        std::printf("Built %lld items (%lld folders, %lld date folders, %lld files) in %.1f s\n",
                    static_cast<long long>(stats.items), static_cast<long long>(stats.folders),
                    static_cast<long long>(stats.dateFolders), static_cast<long long>(stats.files), stats.seconds);
    }
    // Names made by this run carry a tag of their own, so a reused database has room for them.
    const QString tag = QString::number(QDateTime::currentSecsSinceEpoch() % 1000000, 36);

    SilentUi ui;
    MyDocument doc(ui);
    auto start = Clock::now();
    const OpenResult opened = doc.openDatabase(pkgPath);
    if (!opened.ok())
        die(QStringLiteral("cannot open %1: %2").arg(pkgPath, opened.message));
    if (!doc.dbWriteable() || doc.dbReadOnly())
        die(QStringLiteral("%1 opened read-only").arg(pkgPath));
    std::printf("Opened %zu items in %.2f s%s\n", doc.tree().size(), secondsSince(start),
                doc.rebuiltAtOpen() ? " (rebuilt)" : "");

    // ---- 1: operations --------------------------------------------------------------
    ::sync();
    const std::vector<double> anchorBefore = measureAnchor(dir, 100);
    const Snapshot before = snapshot(pkgPath);

    std::vector<OpRecord> records;
    Scopes all;
    {
        Runner runner(doc, opt.seed, tag);
        for (int i = 0; i < opt.ops; ++i) {
            OpRecord rec;
            Scopes scopes;
            QString error;
            if (!runner.step(i, rec, scopes, error))
                die(QStringLiteral("operation %1 did not succeed: %2").arg(i + 1).arg(error));
            all.merge(scopes);
            records.push_back(std::move(rec));
        }
    }
    const Snapshot after = snapshot(pkgPath);
    const std::vector<double> anchorAfter = measureAnchor(dir, 100);
    std::vector<double> anchorAll = anchorBefore;
    anchorAll.insert(anchorAll.end(), anchorAfter.begin(), anchorAfter.end());
    const double anchor = median(anchorAll);

    double total = 0;
    for (const OpRecord& r : records)
        total += r.seconds;
    std::printf("\nAnchor: a 4 KiB write, fdatasync and rename: median %.2f ms (%.2f ms before the operations, "
                "%.2f ms after)\n",
                anchor * 1e3, median(anchorBefore) * 1e3, median(anchorAfter) * 1e3);
    std::printf("%zu operations in %.2f s: %.0f operations/s, mean %.2f ms = %.1f x anchor\n", records.size(), total,
                total > 0 ? double(records.size()) / total : 0.0, total / double(records.size()) * 1e3,
                total / double(records.size()) / anchor);
    std::printf("  kind         count    ops/s  median ms  worst ms  median/anchor  worst/anchor  changes: median  most  "
                "writes: median  most\n");
    for (int k = 0; k < KindCount; ++k) {
        std::vector<double> times, changes, writes;
        double sum = 0;
        for (const OpRecord& r : records)
            if (r.kind == k) {
                times.push_back(r.seconds);
                changes.push_back(r.changes);
                writes.push_back(r.writes);
                sum += r.seconds;
            }
        if (times.empty())
            continue;
        const double worst = *std::max_element(times.begin(), times.end());
        std::printf("  %-10s %7zu %8.0f %10.2f %9.2f %14.1f %13.1f %16.0f %5.0f %15.0f %5.0f\n", KindNames[k],
                    times.size(), sum > 0 ? double(times.size()) / sum : 0.0, median(times) * 1e3, worst * 1e3,
                    median(times) / anchor, worst / anchor, median(changes),
                    *std::max_element(changes.begin(), changes.end()), median(writes),
                    *std::max_element(writes.begin(), writes.end()));
    }
    // The slowest operations, so that a slow kind can be traced to what it did.
    {
        std::vector<const OpRecord*> slow;
        for (const OpRecord& r : records)
            slow.push_back(&r);
        std::sort(slow.begin(), slow.end(), [](const OpRecord* a, const OpRecord* b) { return a->seconds > b->seconds; });
        std::printf("  slowest:\n");
        for (std::size_t i = 0; i < std::min<std::size_t>(5, slow.size()); ++i)
            std::printf("    %8.2f ms  %3d changes  %-10s %s\n", slow[i]->seconds * 1e3, slow[i]->changes,
                        KindNames[slow[i]->kind], qPrintable(slow[i]->what));
    }

    // Where the operations went: every change the file layer was asked for, and every
    // entry of the package that differs after the run (which also catches changes made
    // around the file layer), must lie in the parts of the package the operations concern.
    qint64 counted = 0;
    QStringList outside;
    for (const OpRecord& r : records) {
        counted += r.changes;
        for (const QString& o : r.outside)
            outside << QStringLiteral("%1 (%2): %3").arg(QLatin1String(KindNames[r.kind]), r.what, o);
    }
    const QStringList differing = changedEntries(before, after);
    QStringList strayEntries;
    for (const QString& rel : differing)
        if (!allowed(all, rel))
            strayEntries << rel;
    const bool confined = outside.isEmpty() && strayEntries.isEmpty();
    std::printf("\nChanges the file layer was asked for: %lld, outside the operation's own paths: %lld\n",
                static_cast<long long>(counted), static_cast<long long>(outside.size()));
    for (qsizetype i = 0; i < std::min<qsizetype>(20, outside.size()); ++i)
        std::printf("  %s\n", qPrintable(outside[i]));
    if (outside.size() > 20)
        std::printf("  ... and %lld more\n", static_cast<long long>(outside.size() - 20));
    std::printf("Entries of the package that differ after the run: %lld (of %zu), outside every operation's paths: %lld\n",
                static_cast<long long>(differing.size()), after.size(), static_cast<long long>(strayEntries.size()));
    for (qsizetype i = 0; i < std::min<qsizetype>(20, strayEntries.size()); ++i)
        std::printf("  %s\n", qPrintable(strayEntries[i]));
    if (strayEntries.size() > 20)
        std::printf("  ... and %lld more\n", static_cast<long long>(strayEntries.size() - 20));
    std::fflush(stdout);

    // ---- 2: save ----------------------------------------------------------------------
    const QString changedMarker = pkgPath + '/' + pkg::Changed;
    if (!fs::exists(changedMarker))
        die(QStringLiteral("no %1 after the operations").arg(pkg::Changed));
    std::vector<double> saves, saveCpu, saveFaults;
    for (int i = 0; i < opt.repeat; ++i) {
        if (i > 0 && !doc.changed())
            die(QStringLiteral("cannot mark the database changed: %1").arg(fs::lastError()));
        ::sync();
        struct rusage u0 {}, u1 {};
        ::getrusage(RUSAGE_SELF, &u0);
        const double cpu0 = cpuSeconds();
        start = Clock::now();
        const SaveOutcome saved = doc.saveChanges(false);
        saves.push_back(secondsSince(start));
        saveCpu.push_back(cpuSeconds() - cpu0);
        ::getrusage(RUSAGE_SELF, &u1);
        saveFaults.push_back(double(u1.ru_minflt - u0.ru_minflt));
        if (!saved.saved || !saved.error.isEmpty() || fs::exists(changedMarker))
            die(QStringLiteral("the save failed: %1").arg(saved.error));
    }
    const qint64 indexBytes = QFileInfo(pkgPath + '/' + pkg::Index).size();
    {
        // The saved index must hold the whole tree: a fresh document opens it without a rebuild
        // (a copy of it: the database is open here, and one program at a time may open it).
        const QString savedCopy = dir + QStringLiteral("/saved-copy.fvdb");
        if (!fs::copyTree(pkgPath, savedCopy))
            die(fs::lastError());
        SilentUi ui2;
        MyDocument check(ui2);
        const OpenResult r = check.openDatabase(savedCopy);
        if (!r.ok() || check.rebuiltAtOpen() || check.tree().size() != doc.tree().size())
            die(QStringLiteral("the saved index opens with %1 items (expected %2), rebuilt=%3: %4")
                    .arg(check.tree().size())
                    .arg(doc.tree().size())
                    .arg(check.rebuiltAtOpen())
                    .arg(r.message));
        check.close();
        fs::deleteTree(savedCopy);
    }
    std::printf("\nSave with %s present: %.3f s (then %.3f s median of %d more with the marker made again); "
                ".index %.1f MB for %zu items\n",
                qPrintable(pkg::Changed), saves.front(), saves.size() > 1 ? median({saves.begin() + 1, saves.end()}) : 0.0,
                int(saves.size()) - 1, double(indexBytes) / 1048576.0, doc.tree().size());
    std::printf("  processor time and page faults of each save:");
    for (std::size_t i = 0; i < saves.size(); ++i)
        std::printf(" %.3f s/%.0f", saveCpu[i], saveFaults[i]);
    std::printf("\n");

    {
        // Where a save's time goes: the records of the whole tree, encoding them, and
        // writing the file with its flush (beside the package, not in it).
        std::vector<double> records, encoding, writing;
        for (int i = 0; i < opt.repeat; ++i) {
            start = Clock::now();
            plist::Array top;
            top.reserve(doc.tree().categoriesArray().size());
            for (const auto& item : doc.tree().categoriesArray())
                top.push_back(item->toValue());
            const plist::Value root(std::move(top));
            records.push_back(secondsSince(start));
            start = Clock::now();
            const QByteArray bytes = plist::encodeKeyedArchive(root);
            encoding.push_back(secondsSince(start));
            start = Clock::now();
            if (!fs::writeFileAtomic(dir + QStringLiteral("/index-copy"), bytes))
                die(fs::lastError());
            writing.push_back(secondsSince(start));
        }
        fs::removeFile(dir + QStringLiteral("/index-copy"));
        std::printf("  of which (medians): the records of the tree %.3f s, encoding %.3f s, writing with fdatasync %.3f s\n",
                    median(records), median(encoding), median(writing));
    }

    // ---- 3: backup --------------------------------------------------------------------
    const Snapshot package = snapshot(pkgPath);
    readAll(pkgPath, package);
    std::vector<double> ours, tool;
    QStringList ourCopies, toolCopies;
    for (int i = 0; i < opt.repeat; ++i) {
        for (int side = 0; side < 2; ++side) {
            // Alternating which side goes first; every copy goes to a folder of its own and
            // stays until the end (ext4 is slower to allocate over inodes freed just before).
            const bool oursNow = (side == 0) == (i % 2 == 0);
            const QString folder = dir + QStringLiteral("/backup-%1-%2").arg(oursNow ? "ours" : "cp").arg(i + 1);
            if (!fs::makeDirectory(folder, 0755))
                die(fs::lastError());
            ::sync();
            if (oursNow) {
                BackupSettings settings;
                settings.folder = folder;
                settings.enabled = true;
                start = Clock::now();
                const BackupOutcome b = doc.doBackup(settings);
                ours.push_back(secondsSince(start));
                if (!b.ok)
                    die(QStringLiteral("the backup failed: %1").arg(b.error));
                ourCopies << b.path;
            } else {
                const QString to = folder + QStringLiteral("/Bench.fvdb");
                tool.push_back(timeCopyTool(pkgPath, to));
                toolCopies << to;
            }
        }
    }
    const Totals pt = totals(package);
    bool complete = true;
    qint64 otherMtimes = 0;
    for (const QString& copy : ourCopies) {
        const QStringList diffs = copyDifferences(package, snapshot(copy), &otherMtimes);
        if (!diffs.isEmpty()) {
            complete = false;
            std::printf("The backup %s differs from the package in %lld entries:\n", qPrintable(copy),
                        static_cast<long long>(diffs.size()));
            for (qsizetype i = 0; i < std::min<qsizetype>(10, diffs.size()); ++i)
                std::printf("  %s\n", qPrintable(diffs[i]));
        }
    }
    for (const QString& copy : toolCopies)
        if (!copyDifferences(package, snapshot(copy), nullptr).isEmpty())
            std::printf("Note: the cp -a copy %s differs from the package\n", qPrintable(copy));
    const double oursBest = *std::min_element(ours.begin(), ours.end());
    const double toolBest = *std::min_element(tool.begin(), tool.end());
    const double backupRatio = toolBest > 0 ? oursBest / toolBest : 0;
    std::printf("\nBackup of %lld files (%.1f MB) and %lld folders, caches warm, best of %d:\n",
                static_cast<long long>(pt.files), double(pt.bytes) / 1048576.0, static_cast<long long>(pt.folders),
                opt.repeat);
    std::printf("                 best s   median s\n");
    std::printf("  doBackup     %8.3f   %8.3f\n", oursBest, median(ours));
    std::printf("  cp -a        %8.3f   %8.3f\n", toolBest, median(tool));
    std::printf("  ratio        %8.2f\n", backupRatio);
    std::printf("Every backup holds the same files, folders, sizes and modes as the package: %s", complete ? "yes" : "NO");
    if (complete && otherMtimes > 0)
        std::printf(" (%lld of its %lld files carry the time of the copy, not the original's modification time)",
                    static_cast<long long>(otherMtimes), static_cast<long long>(pt.files));
    std::printf("\n");

    const double saveFirst = saves.front();
    std::printf("\nTargets:\n");
    std::printf("  operations stay inside their own paths  %8s      %s\n", confined ? "yes" : "no", verdict(confined));
    std::printf("  save <= 1.0 s                           %8.3f s    %s\n", saveFirst, verdict(saveFirst <= 1.0));
    std::printf("  backup <= 1.3 x cp -a                   %8.2f x    %s\n", backupRatio, verdict(backupRatio <= 1.3));
    std::printf("  backup complete                         %8s      %s\n", complete ? "yes" : "no", verdict(complete));
    std::fflush(stdout);

    doc.close();
    for (const QString& copy : ourCopies + toolCopies)
        fs::deleteTree(QFileInfo(copy).path());
    fs::removeFile(dir + QStringLiteral("/anchor"));
    if (!opt.keep) {
        if (ownDir)
            fs::deleteTree(dir);
        else if (built)
            fs::deleteTree(pkgPath);
    } else {
        std::printf("\nKept %s\n", qPrintable(pkgPath));
    }
    return complete ? 0 : 1;
}
