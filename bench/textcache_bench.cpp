// How fast a search of contents is with the text cache: a database of N generated PDFs
// (default 10,000, one to three pages of varied text each) searched for a word, first with
// the cache empty (every file parsed), then again (the cache answers), against `grep -l`
// over the same texts written to plain files beforehand, the least such a search can cost.
//
//   textcache_bench [--files N] [--repeat R] [--dir D] [--keep]
//
// Targets: the second search at most 2 x the grep floor and under 1 s. It also reports the
// size of the cache file and the peak memory. The exit status is 0 whether or not the
// targets are met; 1 when a search found other files than grep did.

#include "find/filetext.h"
#include "find/searchtext.h"
#include "find/textcache.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/minipdf.h"
#include "util/fs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <sys/resource.h>

using namespace folivo;

namespace {

constexpr const char* kBenchName = "textcache_bench";
#include "benchcommon.inc"

void usage()
{
    std::fprintf(stderr, "usage: textcache_bench [--files N] [--repeat R] [--dir D] [--keep]\n");
    std::exit(2);
}

const QStringList Words{
    "statement", "account", "balance", "payment", "insurance", "policy", "premium", "roof", "garden",
    "electricity", "meter", "reading", "council", "tax", "pension", "salary", "invoice", "receipt",
    "mortgage", "interest", "credit", "debit", "transfer", "direct", "period", "amount", "total",
    "customer", "reference", "service", "water", "heating", "repair", "contract", "renewal", "claim"};

// One page of text: 30 lines of 6 to 10 words, the rare word on one line of every 97th file.
QStringList pageLines(QRandomGenerator& random, int file, int page)
{
    QStringList lines;
    for (int l = 0; l < 30; ++l) {
        QStringList words;
        const int n = 6 + int(random.bounded(5));
        for (int w = 0; w < n; ++w)
            words << Words[int(random.bounded(Words.size()))];
        if (file % 97 == 0 && page == 0 && l == 7)
            words << QStringLiteral("zanzibar");
        lines << words.join(u' ');
    }
    return lines;
}

qint64 peakKiB()
{
    struct rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Searches every file for `needle` the way a contents condition does.
QStringList searchAll(MyDocument& doc, const QStringList& files, const QString& needle)
{
    QStringList found;
    for (const QString& path : files) {
        if (!doc.textCache().mayContain(path, needle, true))
            continue;
        const std::optional<QString> text = searchTextOfItem(doc, path);
        if (text && text->contains(needle, Qt::CaseInsensitive))
            found << path;
    }
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int files = 10000, repeat = 3;
    QString dir;
    bool keep = false;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--files")
            files = int(args.number(100, 1000000));
        else if (a == "--repeat")
            repeat = int(args.number(1, 100));
        else if (a == "--dir")
            dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            keep = true;
        else
            usage();
    }
    makeWorkDir(dir, keep);
    const QString db = g_workDir + QStringLiteral("/Bench.fvdb");
    const QString plain = g_workDir + QStringLiteral("/texts");
    QDir().mkpath(plain);

    SilentUi ui;
    MyDocument doc(ui);
    if (!doc.createDatabase(db).ok())
        die(QStringLiteral("cannot create the database"));
    for (int f = 0; f < 20; ++f)
        doc.recordNewCategory(QStringLiteral("Folder %1").arg(f), nullptr, -1);

    std::printf("Building %d PDFs...\n", files);
    std::fflush(stdout);
    QRandomGenerator random(20261211);
    QStringList stored;
    const auto built = Clock::now();
    for (int f = 0; f < files; ++f) {
        QList<QStringList> pages;
        const int n = 1 + int(random.bounded(3));
        for (int p = 0; p < n; ++p)
            pages << pageLines(random, f, p);
        const QByteArray pdf = test::makeTextPdfPages(pages);
        const OperationResult r = doc.recordImport(QStringLiteral("Statement %1.pdf").arg(f), pdf,
                                                   QStringLiteral("Folder %1").arg(f % 20), -1, {}, {});
        if (r.status != OperationResult::Status::Done)
            die(QStringLiteral("import %1 failed").arg(f));
        stored << r.resultPath;
        // The floor's files: the same text, extracted once, as plain files.
        const std::optional<QString> text = textOfData(pdf);
        QFile out(plain + QStringLiteral("/%1.txt").arg(f));
        if (!text || !out.open(QIODevice::WriteOnly) || out.write(text->toUtf8()) < 0)
            die(QStringLiteral("cannot write the plain text of %1").arg(f));
    }
    doc.saveChanges(false);
    std::printf("Built in %.1f s\n", secondsSince(built));
    // Nothing cached yet: the import above went straight to the store.
    fs::removeFile(db + u'/' + pkg::TextCache);
    doc.closeDatabase();

    MyDocument searcher(ui);
    if (!searcher.openDatabase(db).ok())
        die(QStringLiteral("cannot open the database"));

    const QString needle = QStringLiteral("zanzibar");
    const auto first0 = Clock::now();
    const qint64 readsBefore = TextCache::filesRead();
    const QStringList firstFound = searchAll(searcher, stored, needle);
    const double first = secondsSince(first0);
    const qint64 firstReads = TextCache::filesRead() - readsBefore;

    std::vector<double> second, floor;
    QStringList secondFound;
    qint64 secondReads = 0;
    int grepFound = 0;
    for (int r = 0; r < repeat; ++r) {
        const qint64 before = TextCache::filesRead();
        const auto t0 = Clock::now();
        secondFound = searchAll(searcher, stored, needle);
        second.push_back(secondsSince(t0));
        secondReads += TextCache::filesRead() - before;

        QProcess grep;
        const auto g0 = Clock::now();
        grep.start(QStringLiteral("grep"), {QStringLiteral("-l"), QStringLiteral("-r"), QStringLiteral("-i"), needle, plain});
        grep.waitForFinished(-1);
        floor.push_back(secondsSince(g0));
        grepFound = int(grep.readAllStandardOutput().count('\n'));
    }
    std::sort(second.begin(), second.end());
    std::sort(floor.begin(), floor.end());
    const double best = second.front(), floorBest = floor.front();
    const qint64 cacheBytes = QFileInfo(db + u'/' + pkg::TextCache).size()
                              + QFileInfo(db + u'/' + pkg::TextCache + QStringLiteral("-wal")).size();

    std::printf("\n%d files, %d containing \"%s\"\n", files, int(firstFound.size()), qPrintable(needle));
    std::printf("first search (cache empty):  %8.2f s   files read: %lld\n", first, firstReads);
    std::printf("second search (best of %d):   %8.3f s   files read: %lld\n", repeat, best, secondReads);
    std::printf("grep -l floor (best of %d):   %8.3f s   (%d files)\n", repeat, floorBest, grepFound);
    std::printf("second / floor: %.2f x   target <= 2 x and < 1 s: %s\n", best / floorBest,
                verdict(best <= 2 * floorBest && best < 1.0));
    std::printf("cache: %.1f MiB for %lld rows; peak memory %.1f MiB\n", double(cacheBytes) / (1 << 20),
                searcher.textCache().rowCount(), double(peakKiB()) / 1024);
    searcher.closeDatabase();
    cleanUp();
    const bool agree = firstFound == secondFound && int(firstFound.size()) == grepFound;
    if (!agree)
        std::fprintf(stderr, "the searches disagree: %d, %d, grep %d\n", int(firstFound.size()),
                     int(secondFound.size()), grepFound);
    return agree ? 0 : 1;
}
