// How long opening a large database takes, and how much memory it needs.
//
//   open_bench [--items N] [--dir D] [--keep] [--repeat R] [--breakdown]
//
// Builds a database of N items (folders, year and month folders, small files with
// realistic records, every attributes file and the index), then measures with warm
// caches:
//   normal open   a fresh document opens the package and reads ".index";
//   rebuild       the same with ".changed" present, so the tree is rebuilt from the
//                 attributes files;
//   I/O floor     reading every attributes file with find | xargs cat, the least a
//                 rebuild can cost.
// Each open runs in a fresh process (this program started again with an internal
// --measure-* flag) so that its peak resident size (VmHWM) is not the building's.
// --breakdown adds one more process that times the phases of both paths separately.
//
// The exit status is 0 whether or not the targets are met; it is 1 only when something
// broke (the database could not be built, an open failed or lost items).

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
#include <QString>
#include <QTimeZone>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <malloc.h>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace folivo;

namespace {

constexpr char kBenchName[] = "open_bench";

#include "benchcommon.inc"
#include "benchprocess.inc"

double mb(long kb)
{
    return kb < 0 ? -1.0 : double(kb) / 1024.0;
}

// ---------------------------------------------------------------------------------------
// Building

#include "syntheticdb.inc"

// ---------------------------------------------------------------------------------------
// The measuring processes

// Opens the package once, the way the application does, and prints one line of results.
int measureOpen(const QString& pkgPath)
{
    const long hwmBefore = statusKb("VmHWM");
    SilentUi ui;
    MyDocument doc(ui);
    struct rusage usage0 {}, usage1 {};
    ::getrusage(RUSAGE_SELF, &usage0);
    const double cpu0 = cpuSeconds();
    const auto start = Clock::now();
    const OpenResult r = doc.openDatabase(pkgPath);
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpu0;
    ::getrusage(RUSAGE_SELF, &usage1);
    const long hwmAfter = statusKb("VmHWM");
    const long rss = statusKb("VmRSS");
    if (!r.ok()) {
        std::printf("error %s\n", qPrintable(r.message));
        return 1;
    }
    std::printf("result %.6f %ld %ld %ld %lld %d %zu %.6f %ld\n", seconds, hwmBefore, hwmAfter, rss,
                static_cast<long long>(doc.tree().size()), doc.rebuiltAtOpen() ? 1 : 0, doc.indexProblems().size(), cpu,
                usage1.ru_minflt - usage0.ru_minflt);
    std::fflush(stdout);
    return 0;
}

// The least processor time of three runs of `f`, in seconds. Processor time rather than
// wall time: on a shared machine the phases are then comparable with each other.
template <typename F>
double bestOf3(F f)
{
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const double start = cpuSeconds();
        f();
        best = std::min(best, cpuSeconds() - start);
    }
    return best;
}

// A file read with one open, one fstat and reads until the end: the least any reader can do.
QByteArray readPlain(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    QByteArray bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        bytes.resize(qsizetype(st.st_size) + 1);
        qsizetype used = 0;
        ssize_t n;
        while ((n = ::read(fd, bytes.data() + used, std::size_t(bytes.size() - used))) > 0) {
            used += n;
            if (used == bytes.size())
                bytes.resize(used * 2);
        }
        bytes.resize(used);
    }
    ::close(fd);
    return bytes;
}

// Times the phases of both paths separately (least processor time of three each): reading, property-list
// parsing, archive decoding, and what is left for building the tree.
int measureBreakdown(const QString& pkgPath)
{
    SilentUi ui;
    MyDocument doc(ui);
    const double openSeconds = bestOf3([&] {
        if (!doc.openDatabase(pkgPath).ok())
            die(QStringLiteral("cannot open %1").arg(pkgPath));
    });
    const QString indexFile = doc.categoriesArchiveFile();

    QByteArray bytes;
    const double readSeconds = bestOf3([&] {
        QFile f(indexFile);
        bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    });
    const double fileSeconds = bestOf3([&] { (void)plist::readKeyedArchiveFile(indexFile); });
    const double decodeSeconds = bestOf3([&] { (void)plist::decodeKeyedArchive(bytes); });
    malloc_trim(0);
    const long rss0 = statusKb("VmRSS");
    std::optional<plist::Value> decoded = plist::decodeKeyedArchive(bytes);
    malloc_trim(0);
    const long decodedKb = statusKb("VmRSS") - rss0;
    decoded.reset();
    malloc_trim(0);
    // Repeated in one process, the heap is already in place: the difference to the fresh
    // process of the table above is the cost of first touching the memory.
    std::printf("Phases of a normal open (processor time, best of 3 each, in one process):\n");
    std::printf("  whole open                            %7.3f s\n", openSeconds);
    std::printf("  read .index, QFile::readAll (%.1f MB) %7.3f s\n", double(bytes.size()) / 1048576.0, readSeconds);
    std::printf("  decodeKeyedArchive, from memory       %7.3f s   %6.1f MB for the decoded tree\n", decodeSeconds,
                mb(decodedKb));
    std::printf("  readKeyedArchiveFile (read + decode)  %7.3f s\n", fileSeconds);
    std::printf("  left for building the tree, the path cache and the rest: %.3f s\n", openSeconds - fileSeconds);

    // The attributes files of every item, in tree order, like the rebuild reads them.
    std::vector<QString> files;
    files.reserve(doc.tree().size());
    doc.tree().forEach([&](IndexItem& item) {
        files.push_back(doc.dbPath() + '/' + MyDocument::attributesPathForPath(item.path()));
    });
    qint64 total = 0;
    std::size_t decodedCount = 0;
    const double plainSeconds = bestOf3([&] {
        total = 0;
        for (const QString& p : files)
            total += readPlain(p).size();
    });
    const double qfileSeconds = bestOf3([&] {
        for (const QString& p : files) {
            QFile file(p);
            if (file.open(QIODevice::ReadOnly))
                (void)file.readAll();
        }
    });
    const double readDecodeSeconds = bestOf3([&] {
        decodedCount = 0;
        for (const QString& p : files)
            decodedCount += plist::readKeyedArchiveFile(p).has_value() ? 1 : 0;
    });
    const double plainDecodeSeconds = bestOf3([&] {
        for (const QString& p : files)
            (void)plist::decodeKeyedArchive(readPlain(p));
    });
    std::vector<QByteArray> contents;
    contents.reserve(files.size());
    for (const QString& p : files)
        contents.push_back(readPlain(p));
    const double decodeOnlySeconds = bestOf3([&] {
        for (const QByteArray& c : contents)
            (void)plist::decodeKeyedArchive(c);
    });
    contents.clear();
    contents.shrink_to_fit();
    // The tree in place is dropped first, outside the timing: a rebuild at open has none.
    double rebuildSeconds = 1e300;
    for (int i = 0; i < 3; ++i) {
        doc.tree().takeAll().clear();
        const double start = cpuSeconds();
        doc.rebuildIndex();
        rebuildSeconds = std::min(rebuildSeconds, cpuSeconds() - start);
    }
    std::printf("Phases of a rebuild (%zu attributes files, %.1f MB; processor time, best of 3 each):\n", files.size(),
                double(total) / 1048576.0);
    std::printf("  rebuildIndex()                        %7.3f s\n", rebuildSeconds);
    std::printf("  read every file: open, fstat, read    %7.3f s   (the in-process I/O floor)\n", plainSeconds);
    std::printf("  read every file: QFile::readAll       %7.3f s\n", qfileSeconds);
    std::printf("  decodeKeyedArchive, from memory       %7.3f s\n", decodeOnlySeconds);
    std::printf("  readKeyedArchiveFile (read + decode)  %7.3f s\n", readDecodeSeconds);
    std::printf("  plain read + decodeKeyedArchive       %7.3f s\n", plainDecodeSeconds);
    std::printf("  left for building the tree, checks and the rest: %.3f s\n", rebuildSeconds - readDecodeSeconds);
    std::printf("  rebuild / in-process I/O floor: %.2f\n", plainSeconds > 0 ? rebuildSeconds / plainSeconds : 0.0);
    if (decodedCount != files.size() || doc.tree().size() != files.size())
        die(QStringLiteral("the breakdown decoded %1 of %2 files").arg(decodedCount).arg(files.size()));
    std::printf("Sizes: plist::Value %zu B, Dict::Entry %zu B, IndexItem %zu B\n", sizeof(plist::Value),
                sizeof(plist::Dict::Entry), sizeof(IndexItem));
    std::fflush(stdout);
    return 0;
}

// ---------------------------------------------------------------------------------------
// The driving process


struct OpenMeasure {
    double seconds = 0;
    long hwmBeforeKb = 0;
    long hwmAfterKb = 0;
    long rssKb = 0;
    qint64 items = 0;
    bool rebuilt = false;
    long problems = 0;
    double cpuSeconds = 0;
    long pageFaults = 0;
};

OpenMeasure measureInChild(const QString& exe, const char* flag, const QString& pkgPath)
{
    const auto [status, out] = run({native(exe), flag, native(pkgPath)});
    OpenMeasure m;
    long long items = 0;
    int rebuilt = 0;
    if (status != 0
        || std::sscanf(out.constData(), "result %lf %ld %ld %ld %lld %d %ld %lf %ld", &m.seconds, &m.hwmBeforeKb,
                       &m.hwmAfterKb, &m.rssKb, &items, &rebuilt, &m.problems, &m.cpuSeconds, &m.pageFaults)
               != 9)
        die(QStringLiteral("%1 failed (status %2): %3").arg(flag).arg(status).arg(QString::fromUtf8(out).trimmed()));
    m.items = items;
    m.rebuilt = rebuilt != 0;
    return m;
}

double timeShell(const QString& script, const QString& pkgPath)
{
    const auto start = Clock::now();
    const auto [status, out] = run({"/bin/sh", "-c", script.toUtf8(), "sh", native(pkgPath)});
    const double s = secondsSince(start);
    if (status != 0)
        die(QStringLiteral("the shell command failed (status %1): %2").arg(status).arg(script));
    return s;
}

// Every entry of the package with what a write would change, to prove opening writes nothing.
using Snapshot = std::map<std::string, std::tuple<ino_t, off_t, long long, long long, mode_t>>;
Snapshot* g_snapshot = nullptr;

int snapshotEntry(const char* path, const struct stat* st, int, struct FTW*)
{
    (*g_snapshot)[path] = {st->st_ino, st->st_size, st->st_mtim.tv_sec * 1000000000LL + st->st_mtim.tv_nsec,
                           st->st_ctim.tv_sec * 1000000000LL + st->st_ctim.tv_nsec, st->st_mode};
    return 0;
}

Snapshot snapshot(const QString& pkgPath)
{
    Snapshot s;
    g_snapshot = &s;
    ::nftw(native(pkgPath).constData(), snapshotEntry, 64, FTW_PHYS);
    g_snapshot = nullptr;
    return s;
}

// What changed between two snapshots. A change of the status time alone (a chmod that
// put the same mode back) is told apart from a change of content or mode.
QStringList differences(const Snapshot& before, const Snapshot& after)
{
    QStringList changed;
    for (const auto& [path, info] : after) {
        auto it = before.find(path);
        if (it == before.end()) {
            changed << QStringLiteral("added %1").arg(QString::fromStdString(path));
        } else if (it->second != info) {
            auto [ino, size, mtime, ctime, mode] = info;
            (void)ctime;
            const auto& [ino0, size0, mtime0, ctime0, mode0] = it->second;
            const bool onlyStatus = ino == ino0 && size == size0 && mtime == mtime0 && mode == mode0;
            changed << QStringLiteral("%1 %2").arg(onlyStatus ? QStringLiteral("status time only (chmod and back):")
                                                              : QStringLiteral("changed"),
                                                   QString::fromStdString(path));
        }
    }
    for (const auto& [path, info] : before)
        if (!after.count(path))
            changed << QStringLiteral("removed %1").arg(QString::fromStdString(path));
    return changed;
}

struct Options {
    qint64 items = 100000;
    QString dir;
    bool keep = false;
    int repeat = 3;
    bool breakdown = false;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: open_bench [--items N] [--dir D] [--keep] [--repeat R] [--breakdown]\n"
                         "  --items N     items in the database (default 100000, at least 100)\n"
                         "  --dir D       build in D (a database already at D/Bench.fvdb is reused)\n"
                         "  --keep        leave the database behind\n"
                         "  --repeat R    measure each case R times (default 3)\n"
                         "  --breakdown   also time the phases of opening and rebuilding\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--items") {
            char* end = nullptr;
            o.items = std::strtoll(args.value(), &end, 10);
            if (*end || o.items < 100)
                usage();
        } else if (a == "--dir") {
            o.dir = QString::fromLocal8Bit(args.value());
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--repeat") {
            o.repeat = std::atoi(args.value());
            if (o.repeat < 1)
                usage();
        } else if (a == "--breakdown") {
            o.breakdown = true;
        } else {
            usage();
        }
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && (std::strcmp(argv[1], "--measure-open") == 0 || std::strcmp(argv[1], "--measure-rebuild") == 0))
        return measureOpen(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--measure-breakdown") == 0)
        return measureBreakdown(QString::fromLocal8Bit(argv[2]));

    const Options opt = parseOptions(argc, argv);
    const QString exe = selfExe();

    bool ownDir = false;
    const QString dir = databaseDir(opt.dir, &ownDir);
    const QString pkgPath = dir + QStringLiteral("/Bench.fvdb");

    bool built = false;
    BuildStats stats;
    if (fs::exists(pkgPath)) {
        std::printf("Reusing %s\n", qPrintable(pkgPath));
    } else {
        std::printf("Building %lld items in %s ...\n", static_cast<long long>(opt.items), qPrintable(pkgPath));
        std::fflush(stdout);
        stats = buildDatabase(pkgPath, opt.items);
        built = true;
        std::printf("Built %lld items (%lld folders, %lld date folders, %lld files) in %.1f s\n",
                    static_cast<long long>(stats.items), static_cast<long long>(stats.folders),
                    static_cast<long long>(stats.dateFolders), static_cast<long long>(stats.files), stats.seconds);
    }
    const QString changedMarker = pkgPath + '/' + pkg::Changed;
    if (fs::exists(changedMarker))
        fs::removeFile(changedMarker);

    const QString floorScript = QStringLiteral("find \"$1\" -name '.+*' -print0 | xargs -0 cat > /dev/null");
    // Warm the caches: every file of the package once, and one open of each kind.
    timeShell(QStringLiteral("find \"$1\" -type f -print0 | xargs -0 cat > /dev/null"), pkgPath);
    const qint64 indexBytes = QFileInfo(pkgPath + '/' + pkg::Index).size();

    std::vector<OpenMeasure> opens, rebuilds;
    std::vector<double> floors;
    QStringList openWrites, rebuildWrites;
    qint64 expected = built ? stats.items : -1;
    for (int round = 0; round < opt.repeat; ++round) {
        Snapshot before = snapshot(pkgPath);
        const OpenMeasure o = measureInChild(exe, "--measure-open", pkgPath);
        openWrites << differences(before, snapshot(pkgPath));
        if (expected < 0)
            expected = o.items;
        if (o.items != expected || o.rebuilt || o.problems)
            die(QStringLiteral("a normal open gave %1 items (expected %2), rebuilt=%3, %4 problems")
                    .arg(o.items).arg(expected).arg(o.rebuilt).arg(o.problems));
        opens.push_back(o);

        if (!fs::createMarker(changedMarker, pkg::MarkerMode))
            die(fs::lastError());
        before = snapshot(pkgPath);
        const OpenMeasure r = measureInChild(exe, "--measure-rebuild", pkgPath);
        rebuildWrites << differences(before, snapshot(pkgPath));
        fs::removeFile(changedMarker);
        if (r.items != expected || !r.rebuilt || r.problems)
            die(QStringLiteral("a rebuild gave %1 items (expected %2), rebuilt=%3, %4 problems")
                    .arg(r.items).arg(expected).arg(r.rebuilt).arg(r.problems));
        rebuilds.push_back(r);

        floors.push_back(timeShell(floorScript, pkgPath));
    }

    auto best = [](const std::vector<OpenMeasure>& v) {
        double b = v.front().seconds;
        for (const auto& m : v)
            b = std::min(b, m.seconds);
        return b;
    };
    auto mid = [](const std::vector<OpenMeasure>& v, double OpenMeasure::*field) {
        std::vector<double> s;
        for (const auto& m : v)
            s.push_back(m.*field);
        return median(s);
    };
    auto faults = [](const std::vector<OpenMeasure>& v) {
        std::vector<double> s;
        for (const auto& m : v)
            s.push_back(double(m.pageFaults));
        return median(s);
    };
    auto peakIncreaseKb = [](const std::vector<OpenMeasure>& v) {
        long p = 0;
        for (const auto& m : v)
            p = std::max(p, m.hwmAfterKb - m.hwmBeforeKb);
        return p;
    };
    auto peakKb = [](const std::vector<OpenMeasure>& v) {
        long p = 0;
        for (const auto& m : v)
            p = std::max(p, m.hwmAfterKb);
        return p;
    };
    const double openBest = best(opens), rebuildBest = best(rebuilds);
    const double floorBest = *std::min_element(floors.begin(), floors.end());
    const double ratio = floorBest > 0 ? rebuildBest / floorBest : 0;
    const double openPeak = mb(peakIncreaseKb(opens)), rebuildPeak = mb(peakIncreaseKb(rebuilds));

    std::printf("\n%lld items, .index %.1f MB, best and median of %d runs, caches warm\n",
                static_cast<long long>(expected), double(indexBytes) / 1048576.0, opt.repeat);
    // Wall time is what the targets are about; processor time and page faults (medians)
    // show how much of it a busy machine added.
    std::printf("                  best s   median s   median cpu s   page faults   peak MB (increase)   peak MB (process)\n");
    std::printf("  normal open   %8.3f   %8.3f   %12.3f   %11.0f   %18.1f   %17.1f\n", openBest,
                mid(opens, &OpenMeasure::seconds), mid(opens, &OpenMeasure::cpuSeconds), faults(opens), openPeak,
                mb(peakKb(opens)));
    std::printf("  rebuild       %8.3f   %8.3f   %12.3f   %11.0f   %18.1f   %17.1f\n", rebuildBest,
                mid(rebuilds, &OpenMeasure::seconds), mid(rebuilds, &OpenMeasure::cpuSeconds), faults(rebuilds),
                rebuildPeak, mb(peakKb(rebuilds)));
    std::printf("  I/O floor     %8.3f   %8.3f   %12s   %11s   %18s   %17s\n", floorBest, median(floors), "-", "-", "-", "-");
    std::printf("  rebuild/floor %8.2f\n", ratio);
    std::printf("Targets (peak memory is the increase over the process before opening):\n");
    std::printf("  normal open <= 1.0 s               %8.3f s    %s\n", openBest, verdict(openBest <= 1.0));
    std::printf("  rebuild <= 3 x floor               %8.2f x    %s\n", ratio, verdict(ratio <= 3.0));
    std::printf("  peak memory, normal open <= 200 MB %8.1f MB   %s\n", openPeak, verdict(openPeak <= 200.0));
    std::printf("  peak memory, rebuild <= 200 MB     %8.1f MB   %s\n", rebuildPeak, verdict(rebuildPeak <= 200.0));
    auto reportWrites = [](const char* what, const QStringList& writes) {
        if (writes.isEmpty()) {
            std::printf("A %s wrote nothing to the package.\n", what);
            return;
        }
        // The same entry changed in every round is reported once, with the count.
        std::map<QString, int> counts;
        for (const QString& w : writes)
            ++counts[w];
        std::printf("A %s changed entries of the package (times over all runs):\n", what);
        int shown = 0;
        for (const auto& [w, count] : counts) {
            if (++shown > 8) {
                std::printf("  ... and %zu more\n", counts.size() - 8);
                break;
            }
            std::printf("  %dx %s\n", count, qPrintable(w));
        }
    };
    reportWrites("normal open", openWrites);
    reportWrites("rebuild", rebuildWrites);
    std::fflush(stdout);

    if (opt.breakdown) {
        const auto [status, out] = run({native(exe), "--measure-breakdown", native(pkgPath)});
        std::printf("\n%s", out.constData());
        if (status != 0)
            die(QStringLiteral("the breakdown failed"));
    }

    if (!opt.keep) {
        if (ownDir)
            fs::deleteTree(dir);
        else if (built)
            fs::deleteTree(pkgPath);
    } else {
        std::printf("\nKept %s\n", qPrintable(pkgPath));
    }
    return 0;
}
