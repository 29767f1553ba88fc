// How fast importing scanned statements is: each file's text read, the filing rules
// choosing its folder and dates from that text, and the file stored in its month folder.
//
//   import_bench [--files N] [--folders N] [--tree-folders N] [--dir D] [--keep] [--repeat R]
//
// Builds a database of N folders with filing keys (a "categoryMatch" string each, and
// "Statement Date:" as the phrase before the ending date) and N one-page PDFs, each naming
// one folder's string and a statement date in its text. The files are called "scan 0001.pdf"
// and so on, which matches no folder's name, so the text decides where they go. Then it
// times, R times each, alternating which goes first:
//   anchor   "pdftotext FILE -" started once per file, output discarded: what reading the
//            same text with a separate extractor costs on this machine, in this run;
//   import   one doImport of all the files into a fresh copy of the database;
// and checks that every file was stored in its folder's month folder with its statement
// date. A breakdown then times the import's parts one by one (reading text, the filing
// rules, and the rest, which is storing).
// Last, the filing rules alone on a tree of 10,000 folders held in memory: matchCategory
// (folder names, "equals" and "contains as a whole word") and findCategoryMatchIn over
// 4 KiB of text.
//
// The exit status is 0 whether or not the targets are met; it is 1 only when something
// broke (the database could not be built or opened, pdftotext failed, a file was not
// stored where its text says, or a filing rule chose the wrong folder).

#include "../tests/support/minipdf.h"
#include "filing/filingrules.h"
#include "filing/importpipeline.h"
#include "find/filetext.h"
#include "store/documentui.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/months.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "store/tree.h"
#include "util/fs.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace folivo;

namespace {

constexpr char kBenchName[] = "import_bench";

#include "benchcommon.inc"

double best(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

int digits(qint64 n)
{
    int d = 1;
    while (n >= 10) {
        n /= 10;
        ++d;
    }
    return d;
}

QString padded(qint64 n, int width)
{
    return QStringLiteral("%1").arg(n, width, 10, QChar('0'));
}

bool writeSmallFile(const QString& abs, const QByteArray& content)
{
    const int fd = ::open(native(abs).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), std::size_t(content.size())) == content.size();
    return ::close(fd) == 0 && ok;
}

// ---------------------------------------------------------------------------------------
// The database and the files

constexpr int AccountsPerPayee = 20;
const QString StatementPhrase = QStringLiteral("Statement Date:");

// The folders with filing keys: "Payee NN/Account NN-MM", twenty to a payee, each with
// its own account string. The payees themselves carry no keys.
struct Account {
    QString path;
    QString match;
};

std::vector<Account> accountsFor(qint64 count)
{
    const int payeeWidth = std::max(2, digits((count + AccountsPerPayee - 1) / AccountsPerPayee));
    const int matchWidth = std::max(4, digits(count - 1));
    std::vector<Account> accounts;
    accounts.reserve(std::size_t(count));
    for (qint64 i = 0; i < count; ++i) {
        const QString payee = padded(i / AccountsPerPayee + 1, payeeWidth);
        const QString account = padded(i % AccountsPerPayee + 1, 2);
        accounts.push_back({QStringLiteral("Payee %1/Account %1-%2").arg(payee, account),
                            QStringLiteral("ACCT-%1").arg(padded(i, matchWidth))});
    }
    return accounts;
}

// Writes a database holding the payee and account folders at `pkgPath` with the store's
// own code: the items go straight into the tree and their folders onto the disk, then every
// attributes file without a flush each, the index, and one sync. Faster than a recorded
// operation per folder, and the same package.
void buildDatabase(const QString& pkgPath, const std::vector<Account>& accounts)
{
    SilentUi ui;
    MyDocument doc(ui);
    const OpenResult created = doc.createDatabase(pkgPath);
    if (!created.ok())
        die(QStringLiteral("cannot create %1: %2").arg(pkgPath, created.message));
    IndexTree& tree = doc.tree();
    const QString root = doc.dbPath();

    auto addFolder = [&](IndexItem* parent, const QString& path, plist::Dict keys) {
        if (!fs::makeDirectory(root + '/' + path, pkg::ReadWriteMode))
            die(fs::lastError());
        keys.set(keys::Path, path);
        return tree.insert(parent, std::make_unique<IndexItem>(std::move(keys), true));
    };
    IndexItem* payee = nullptr;
    for (const Account& a : accounts) {
        const QString payeePath = a.path.section('/', 0, 0);
        if (!payee || payee->path() != payeePath)
            payee = addFolder(nullptr, payeePath, {});
        addFolder(payee, a.path,
                  plist::Dict{{filingkeys::CategoryMatch, a.match}, {filingkeys::EndingDateMatch, StatementPhrase}});
    }
    tree.sortCategories(nullptr);

    for (IndexItem* item : tree.flatArray())
        if (!doc.writeAttributesFileForItem(item, fs::Durability::NoFlush))
            die(QStringLiteral("cannot write the attributes file of %1: %2").arg(item->path(), fs::lastError()));
    if (!doc.writeAttributesFileForItem(nullptr, fs::Durability::NoFlush) || !doc.writeIndexArchive())
        die(QStringLiteral("cannot write the index: %1").arg(fs::lastError()));
    // Folders inside a package are read-only between changes.
    std::vector<IndexItem*> containers;
    tree.forEach([&](IndexItem& item) {
        if (item.hasChildren())
            containers.push_back(&item);
    });
    for (IndexItem* c : containers)
        fs::setMode(root + '/' + c->path(), pkg::ReadOnlyMode);
    if (!fs::syncFileSystem(root))
        die(fs::lastError());
    fs::removeFile(root + '/' + pkg::Changed);
}

// One source file: which account its text names and which statement date it gives.
struct Source {
    QString path;
    qint64 account = 0;
    QDate date;
    QByteArray bytes;
};

// A statement page: the bank's name, the account string and the statement date near the
// top, as statements have them, then transaction lines without dates.
QStringList statementLines(const Account& account, QDate date, std::mt19937_64& rng)
{
    static const char* const shops[] = {"GROCER", "FUEL STATION", "PHARMACY", "BOOKSHOP", "HARDWARE",
                                        "RESTAURANT", "RAILWAY", "CINEMA", "BAKERY", "UTILITY CO"};
    QStringList lines{QStringLiteral("Northbridge Savings Bank - Monthly Statement"),
                      QStringLiteral("Account number: %1").arg(account.match),
                      QStringLiteral("%1 %2").arg(StatementPhrase, date.toString(QStringLiteral("MM/dd/yyyy"))),
                      QStringLiteral("Opening balance                          %1.%2")
                          .arg(rng() % 9000 + 100)
                          .arg(padded(qint64(rng() % 100), 2))};
    const int transactions = 12 + int(rng() % 16);
    for (int t = 0; t < transactions; ++t)
        lines << QStringLiteral("Card purchase  %1 #%2            %3.%4")
                     .arg(QLatin1String(shops[rng() % 10]))
                     .arg(rng() % 900 + 100)
                     .arg(rng() % 400 + 1)
                     .arg(padded(qint64(rng() % 100), 2));
    lines << QStringLiteral("Closing balance                          %1.%2").arg(rng() % 9000 + 100).arg(padded(qint64(rng() % 100), 2))
          << QStringLiteral("Page 1 of 1");
    return lines;
}

std::vector<Source> writeSources(const QString& folder, qint64 count, const std::vector<Account>& accounts)
{
    if (!fs::makeDirectory(folder, 0755))
        die(fs::lastError());
    std::mt19937_64 rng(20261210);
    const int width = std::max(4, digits(count));
    std::vector<Source> sources;
    sources.reserve(std::size_t(count));
    for (qint64 i = 0; i < count; ++i) {
        Source s;
        s.account = qint64(rng() % accounts.size());
        s.date = QDate(2016 + int(rng() % 10), 1 + int(rng() % 12), 1 + int(rng() % 28));
        s.path = folder + QStringLiteral("/scan %1.pdf").arg(padded(i + 1, width));
        s.bytes = test::makeTextPdf(statementLines(accounts[std::size_t(s.account)], s.date, rng));
        if (!writeSmallFile(s.path, s.bytes))
            die(QStringLiteral("cannot write %1").arg(s.path));
        sources.push_back(std::move(s));
    }
    return sources;
}

// ---------------------------------------------------------------------------------------
// The anchor

// Runs `argv` with standard output going to `outPath` and waits; answers the exit status.
int runTo(const std::vector<QByteArray>& args, const char* outPath)
{
    std::vector<char*> argv;
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        die(QStringLiteral("cannot start %1: %2").arg(QString::fromLocal8Bit(argv[0]), QString::fromLocal8Bit(std::strerror(rc))));
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct Timing {
    double seconds = 0;
    double cpu = 0; // processor time: the children's for the anchor, this process's for the import
};

Timing timeAnchor(const std::vector<Source>& sources)
{
    std::fflush(stdout);
    const double cpu0 = childCpuSeconds();
    const auto start = Clock::now();
    for (const Source& s : sources)
        if (const int status = runTo({"pdftotext", native(s.path), "-"}, "/dev/null"); status != 0)
            die(QStringLiteral("pdftotext %1 - failed (status %2)").arg(s.path).arg(status));
    return {secondsSince(start), childCpuSeconds() - cpu0};
}

// ---------------------------------------------------------------------------------------
// The import and its check

// Whether every source landed in "<its account>/<year>/<month>" under its own name, with
// its statement date as the ending date, as a copy of the same bytes. Answers the
// mismatches, each described.
QStringList checkImport(MyDocument& doc, const ImportOutcome& out, const std::vector<Source>& sources,
                        const std::vector<Account>& accounts)
{
    QStringList wrong;
    if (!out.ran)
        return {QStringLiteral("the import did not run")};
    if (out.entries.size() != qsizetype(sources.size()))
        wrong << QStringLiteral("%1 entries for %2 files").arg(out.entries.size()).arg(sources.size());
    for (std::size_t i = 0; i < sources.size() && i < std::size_t(out.entries.size()); ++i) {
        const Source& s = sources[i];
        const ImportedEntry& e = out.entries[qsizetype(i)];
        const QString expected = QStringLiteral("%1/%2/%3/%4")
                                     .arg(accounts[std::size_t(s.account)].path)
                                     .arg(s.date.year())
                                     .arg(KTMonths::nameOf(s.date.month()), QFileInfo(s.path).fileName());
        QString problem;
        if (e.source != s.path)
            problem = QStringLiteral("entry for %1").arg(e.source);
        else if (e.failed || e.skipped)
            problem = e.failed ? QStringLiteral("failed") : QStringLiteral("skipped");
        else if (e.storedPath != expected)
            problem = QStringLiteral("stored as %1 (rule \"%2\")").arg(e.storedPath, e.rule);
        else if (e.end != s.date)
            problem = QStringLiteral("ending date %1").arg(e.end ? e.end->toString(Qt::ISODate) : QStringLiteral("none"));
        else if (const IndexItem* item = doc.tree().itemForPath(e.storedPath); !item || !item->isFile())
            problem = QStringLiteral("not in the tree");
        else if (const auto pp = PackagePath::fromString(e.storedPath);
                 !pp || fs::readFile(pp->absoluteUnder(doc.dbPath())) != s.bytes)
            problem = QStringLiteral("the stored copy differs from the file");
        if (!problem.isEmpty())
            wrong << QStringLiteral("%1: expected %2, %3").arg(QFileInfo(s.path).fileName(), expected, problem);
    }
    return wrong;
}

// The changes the file layer was asked for during an import, by kind (its fault hook,
// which here only counts and lets every change happen).
constexpr int OpKinds = int(fs::Op::Copy) + 1;
const char* const OpNames[OpKinds] = {"writes", "renames", "removals", "folders made", "mode changes", "syncs",
                                      "links", "copies"};

struct ImportRun {
    Timing timing;
    double save = 0;
    qint64 mismatches = 0;
    qint64 changes[OpKinds] = {};
};

// Imports every source into a fresh database at `pkgPath` (built first, not timed), then
// saves and checks.
ImportRun timeImport(const QString& pkgPath, const std::vector<Source>& sources, const std::vector<Account>& accounts,
                     QStringList& problems)
{
    buildDatabase(pkgPath, accounts);
    SilentUi ui;
    MyDocument doc(ui);
    const OpenResult opened = doc.openDatabase(pkgPath);
    if (!opened.ok())
        die(QStringLiteral("cannot open %1: %2").arg(pkgPath, opened.message));
    if (!doc.dbWriteable() || doc.dbReadOnly() || doc.rebuiltAtOpen())
        die(QStringLiteral("%1 opened read-only or rebuilt").arg(pkgPath));

    ImportRequest request;
    for (const Source& s : sources)
        request.paths << s.path;
    ImportPipeline pipeline(doc, nullptr);
    ::sync();
    std::fflush(stdout);
    ImportRun run;
    fs::setFaultHook([&run](fs::Op op, const QString&) {
        ++run.changes[int(op)];
        return false;
    });
    const double cpu0 = cpuSeconds();
    auto start = Clock::now();
    const ImportOutcome out = pipeline.doImport(request, ImportContext{});
    run.timing = {secondsSince(start), cpuSeconds() - cpu0};
    fs::setFaultHook({});

    start = Clock::now();
    const SaveOutcome saved = doc.saveChanges(false);
    run.save = secondsSince(start);
    if (!saved.saved || !saved.error.isEmpty())
        problems << QStringLiteral("the save after the import failed: %1").arg(saved.error);

    const QStringList wrong = checkImport(doc, out, sources, accounts);
    run.mismatches = wrong.size();
    problems << wrong;
    doc.close();
    return run;
}

// The import's parts timed one by one, on a database that has taken the import once and
// been saved and opened again (so the date folders exist, as they do for the filing rules
// late in an import).
struct Breakdown {
    double text = 0;  // textOfFile of every source
    double rules = 0; // fileOne of every source, its text already read
};

Breakdown breakdown(const QString& pkgPath, const std::vector<Source>& sources)
{
    SilentUi ui;
    MyDocument doc(ui);
    if (!doc.openDatabase(pkgPath).ok())
        die(QStringLiteral("cannot open %1 again").arg(pkgPath));
    // The index saved after the import must hold every stored file.
    std::size_t files = 0;
    doc.tree().forEach([&files](IndexItem& item) { files += item.isFile() ? 1 : 0; });
    if (doc.rebuiltAtOpen() || files != sources.size())
        die(QStringLiteral("%1 opened again with %2 files (expected %3), rebuilt=%4")
                .arg(pkgPath)
                .arg(files)
                .arg(sources.size())
                .arg(doc.rebuiltAtOpen()));
    Breakdown b;
    std::vector<std::optional<QString>> texts;
    texts.reserve(sources.size());
    auto start = Clock::now();
    for (const Source& s : sources)
        texts.push_back(textOfFile(s.path));
    b.text = secondsSince(start);
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (!texts[i])
            die(QStringLiteral("textOfFile found no text in %1").arg(sources[i].path));

    const FilingPreferences prefs;
    IndexItem* unfiled = doc.tree().itemForPath(pkg::Unfiled);
    start = Clock::now();
    for (std::size_t i = 0; i < sources.size(); ++i) {
        FilingInput input;
        input.fileName = QFileInfo(sources[i].path).fileName();
        input.target = unfiled;
        input.text = [&texts, i] { return texts[i]; };
        const FilingDecision d = fileOne(doc.tree(), input, prefs);
        if (!d.folder || d.end != sources[i].date)
            die(QStringLiteral("fileOne chose %1 for %2").arg(d.folder ? d.folder->path() : QStringLiteral("nothing"),
                                                             sources[i].path));
    }
    b.rules = secondsSince(start);
    doc.close();
    return b;
}

// ---------------------------------------------------------------------------------------
// The filing rules on a large tree

// A tree in memory of `count` account folders at depth 3: "Payee PP/Group PP-GG/Account
// PP-GG-AA", twenty groups to a payee and twenty accounts to a group, each account with an
// account string. Answers the names at each depth.
struct LargeTree {
    IndexTree tree;
    std::vector<QString> names[3];
    std::vector<QString> matches;
    qint64 folders = 0;
};

void buildLargeTree(LargeTree& t, qint64 count)
{
    constexpr int Fan = 20;
    const int matchWidth = std::max(5, digits(count - 1));
    const int payeeWidth = std::max(2, digits((count + Fan * Fan - 1) / (Fan * Fan)));
    IndexItem* payee = nullptr;
    IndexItem* group = nullptr;
    for (qint64 i = 0; i < count; ++i) {
        const QString p = padded(i / (Fan * Fan) + 1, payeeWidth);
        const QString g = padded(i / Fan % Fan + 1, 2);
        const QString a = padded(i % Fan + 1, 2);
        if (i % (Fan * Fan) == 0) {
            t.names[0].push_back(QStringLiteral("Payee %1").arg(p));
            payee = t.tree.insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, t.names[0].back()}}, true));
            ++t.folders;
        }
        if (i % Fan == 0) {
            t.names[1].push_back(QStringLiteral("Group %1-%2").arg(p, g));
            group = t.tree.insert(payee, std::make_unique<IndexItem>(
                                             plist::Dict{{keys::Path, payee->path() + '/' + t.names[1].back()}}, true));
            ++t.folders;
        }
        t.names[2].push_back(QStringLiteral("Account %1-%2-%3").arg(p, g, a));
        t.matches.push_back(QStringLiteral("ACCT-%1").arg(padded(i, matchWidth)));
        t.tree.insert(group, std::make_unique<IndexItem>(
                                 plist::Dict{{keys::Path, group->path() + '/' + t.names[2].back()},
                                             {filingkeys::CategoryMatch, t.matches.back()},
                                             {filingkeys::EndingDateMatch, StatementPhrase}},
                                 true));
        ++t.folders;
    }
}

// Microseconds per call of matchCategory for each kind of name (depth 1, 2, 3, none),
// best of `repeat`; counts wrong answers in `wrong`.
struct MatchTimes {
    double perCall[4] = {};
    double all = 0;
};

MatchTimes timeMatchCategory(const LargeTree& t, const std::vector<QString> (&queries)[4], int matchType, int repeat,
                             qint64& wrong)
{
    MatchTimes m;
    double total = 0;
    qint64 calls = 0;
    for (int k = 0; k < 4; ++k) {
        double bestSeconds = 1e300;
        for (int r = 0; r < repeat; ++r) {
            qint64 misses = 0;
            const auto start = Clock::now();
            for (const QString& q : queries[k]) {
                const IndexItem* found = matchCategory(q, t.tree.categoriesArray(), matchType, false);
                // A name matches its own folder; "scan" names match none.
                if (k < 3 ? !found || found->name() != q : found != nullptr)
                    ++misses;
            }
            bestSeconds = std::min(bestSeconds, secondsSince(start));
            if (r == 0)
                wrong += misses;
        }
        m.perCall[k] = queries[k].empty() ? 0 : bestSeconds / double(queries[k].size()) * 1e6;
        total += bestSeconds;
        calls += qint64(queries[k].size());
    }
    m.all = calls ? total / double(calls) * 1e6 : 0;
    return m;
}

// ---------------------------------------------------------------------------------------
// Options

struct Options {
    qint64 files = 1000;
    qint64 folders = 1000;
    qint64 treeFolders = 10000;
    qint64 queries = 10000;
    QString dir;
    bool keep = false;
    int repeat = 3;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr,
                 "usage: import_bench [--files N] [--folders N] [--tree-folders N] [--queries N] [--dir D] [--keep] "
                 "[--repeat R]\n"
                 "  --files N          PDFs to import (default 1000)\n"
                 "  --folders N        folders with filing keys in the database (default 1000)\n"
                 "  --tree-folders N   account folders of the tree the rules are timed on (default 10000)\n"
                 "  --queries N        matchCategory calls per match type (default 10000)\n"
                 "  --dir D            make the working folder inside D (default /var/tmp)\n"
                 "  --keep             leave the working folder behind\n"
                 "  --repeat R         time each case R times and take the best (default 3)\n");
    std::exit(2);
}

Options parseOptions(int argc, char** argv)
{
    Options o;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--files")
            o.files = args.number(1);
        else if (a == "--folders")
            o.folders = args.number(1);
        else if (a == "--tree-folders")
            o.treeFolders = args.number(1);
        else if (a == "--queries")
            o.queries = args.number(10);
        else if (a == "--dir")
            o.dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            o.keep = true;
        else if (a == "--repeat")
            o.repeat = int(args.number(1));
        else
            usage();
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    const Options opt = parseOptions(argc, argv);

    makeWorkDir(opt.dir, opt.keep);

    // ---- Setup (not timed) ----------------------------------------------------------
    auto start = Clock::now();
    const std::vector<Account> accounts = accountsFor(opt.folders);
    const std::vector<Source> sources = writeSources(g_workDir + QStringLiteral("/sources"), opt.files, accounts);
    qint64 sourceBytes = 0;
    for (const Source& s : sources)
        sourceBytes += s.bytes.size();
    std::printf("Wrote %lld one-page PDFs (%.1f KiB each on average) in %.1f s\n", static_cast<long long>(opt.files),
                double(sourceBytes) / double(opt.files) / 1024.0, secondsSince(start));
    {
        // pdftotext must read the same text the import files by, or the anchor is not the same work.
        const QString out = g_workDir + QStringLiteral("/pdftotext.txt");
        if (runTo({"pdftotext", native(sources.front().path), "-"}, native(out).constData()) != 0)
            die(QStringLiteral("pdftotext is missing or failed; it comes with poppler-utils"));
        const auto text = fs::readFile(out);
        if (!text || !text->contains(accounts[std::size_t(sources.front().account)].match.toUtf8())
            || !text->contains(StatementPhrase.toUtf8()))
            die(QStringLiteral("pdftotext did not read the account string of %1").arg(sources.front().path));
        fs::removeFile(out);
    }
    // Warm caches: every source read once.
    for (const Source& s : sources)
        (void)fs::readFile(s.path);

    // ---- Anchor and import, alternating which goes first ------------------------------
    std::vector<double> anchors, anchorCpu, imports, importCpu, saves;
    QStringList problems;
    qint64 mismatches = 0;
    qint64 changes[OpKinds] = {};
    QString lastPackage;
    std::printf("Timing pdftotext and the import of %lld files into %lld folders, %d rounds ...\n",
                static_cast<long long>(opt.files), static_cast<long long>(opt.folders), opt.repeat);
    for (int round = 0; round < opt.repeat; ++round) {
        for (int side = 0; side < 2; ++side) {
            if ((side == 0) == (round % 2 == 0)) {
                ::sync();
                const Timing t = timeAnchor(sources);
                anchors.push_back(t.seconds);
                anchorCpu.push_back(t.cpu);
            } else {
                // Every round imports into a database of its own; they stay until the end
                // (ext4 is slower to allocate over inodes freed just before).
                lastPackage = g_workDir + QStringLiteral("/Import-%1.fvdb").arg(round + 1);
                const ImportRun r = timeImport(lastPackage, sources, accounts, problems);
                imports.push_back(r.timing.seconds);
                importCpu.push_back(r.timing.cpu);
                saves.push_back(r.save);
                mismatches += r.mismatches;
                std::copy(std::begin(r.changes), std::end(r.changes), std::begin(changes));
            }
        }
        std::printf("  round %d: pdftotext %.3f s, import %.3f s\n", round + 1, anchors.back(), imports.back());
        std::fflush(stdout);
    }
    const Breakdown parts = breakdown(lastPackage, sources);

    const double n = double(opt.files);
    const double anchorBest = best(anchors), importBest = best(imports);
    const double ratio = anchorBest > 0 ? importBest / anchorBest : 0;
    std::printf("\n%lld files, %lld folders with filing keys (under %lld payee folders), best and median of %d\n",
                static_cast<long long>(opt.files), static_cast<long long>(opt.folders),
                static_cast<long long>((opt.folders + AccountsPerPayee - 1) / AccountsPerPayee), opt.repeat);
    std::printf("                          best s   median s   ms/file   median cpu s\n");
    std::printf("  pdftotext, one per file %7.3f   %8.3f   %7.2f   %12.3f (the children's)\n", anchorBest,
                median(anchors), anchorBest / n * 1e3, median(anchorCpu));
    std::printf("  doImport                %7.3f   %8.3f   %7.2f   %12.3f\n", importBest, median(imports),
                importBest / n * 1e3, median(importCpu));
    std::printf("  import / pdftotext      %7.2f\n", ratio);
    std::printf("  save after the import   %7.3f   %8.3f   (not part of the import)\n", best(saves), median(saves));
    const double rest = importBest - parts.text - parts.rules;
    std::printf("Where the import's time goes (each part once more on its own, against the best import):\n");
    std::printf("  reading text (textOfFile)      %7.3f s  %6.2f ms/file\n", parts.text, parts.text / n * 1e3);
    std::printf("  filing rules (fileOne)         %7.3f s  %6.2f ms/file\n", parts.rules, parts.rules / n * 1e3);
    std::printf("  the rest: storing (copy, attributes files, date folders, flushes)  %7.3f s  %6.2f ms/file\n", rest,
                rest / n * 1e3);
    std::printf("  changes the file layer was asked for, per file:");
    for (int k = 0; k < OpKinds; ++k)
        if (changes[k])
            std::printf(" %.2f %s", double(changes[k]) / n, OpNames[k]);
    std::printf("\n");
    std::printf("Every file stored in its account's month folder with its statement date: %s",
                mismatches == 0 ? "yes" : "NO");
    if (mismatches)
        std::printf(" (%lld mismatches over %d imports)", static_cast<long long>(mismatches), opt.repeat);
    std::printf("\n");
    for (qsizetype i = 0; i < std::min<qsizetype>(10, problems.size()); ++i)
        std::printf("  %s\n", qPrintable(problems[i]));
    if (problems.size() > 10)
        std::printf("  ... and %lld more\n", static_cast<long long>(problems.size() - 10));
    std::fflush(stdout);

    // ---- The filing rules on a large tree ----------------------------------------------
    LargeTree large;
    buildLargeTree(large, opt.treeFolders);
    // Names of folders at each depth, and names of scans, which match none: a scan's name is
    // what the rules try first in an import, and a miss walks the whole tree.
    std::mt19937_64 rng(4711);
    std::vector<QString> queries[4];
    for (qint64 q = 0; q < opt.queries; ++q) {
        const int kind = int(q % 10);
        const int k = kind == 0 ? 0 : kind <= 2 ? 1 : kind <= 6 ? 2 : 3;
        if (k < 3)
            queries[k].push_back(large.names[k][std::size_t(rng() % large.names[k].size())]);
        else
            queries[3].push_back(QStringLiteral("scan %1").arg(padded(qint64(rng() % 100000), 5)));
    }
    qint64 wrongMatches = 0;
    const MatchTimes equals = timeMatchCategory(large, queries, 0, opt.repeat, wrongMatches);
    const MatchTimes wholeWord = timeMatchCategory(large, queries, 3, opt.repeat, wrongMatches);

    // findCategoryMatchIn over 4 KiB texts, each naming one account somewhere.
    std::vector<QString> texts;
    std::vector<std::size_t> expected;
    const int textCount = 200;
    for (int i = 0; i < textCount; ++i) {
        QString text;
        const std::size_t account = std::size_t(rng() % large.matches.size());
        const int at = int(rng() % 48);
        for (int line = 0; text.size() < 4096; ++line) {
            if (line == at)
                text += QStringLiteral("Account number: %1\n").arg(large.matches[account]);
            text += QStringLiteral("Card purchase  SHOP #%1            %2.%3\n")
                        .arg(rng() % 900 + 100)
                        .arg(rng() % 400 + 1)
                        .arg(padded(qint64(rng() % 100), 2));
        }
        text.truncate(4096);
        if (!text.contains(large.matches[account]))
            text.replace(0, 40, QStringLiteral("Account number: %1\n").arg(large.matches[account]).leftJustified(40));
        texts.push_back(text);
        expected.push_back(account);
    }
    // The walk (one search of the text per match string), and the index an import builds
    // once and uses for every file (one pass over the text).
    double indexBuildBest = 1e300;
    std::optional<CategoryMatchIndex> index;
    for (int r = 0; r < opt.repeat; ++r) {
        const auto s = Clock::now();
        index.emplace(large.tree.categoriesArray());
        indexBuildBest = std::min(indexBuildBest, secondsSince(s));
    }
    const auto timeFind = [&](const std::function<const IndexItem*(const QString&)>& find) {
    double findBest = 1e300;
    for (int r = 0; r < opt.repeat; ++r) {
        qint64 misses = 0;
        const auto s = Clock::now();
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const IndexItem* found = find(texts[i]);
            const plist::Value* match = found ? found->value(filingkeys::CategoryMatch) : nullptr;
            if (!match || !match->isString() || match->string() != large.matches[expected[i]])
                ++misses;
        }
        findBest = std::min(findBest, secondsSince(s));
        if (r == 0)
            wrongMatches += misses;
    }
    return findBest / double(texts.size()) * 1e6;
    };
    const double walkPerCall =
        timeFind([&](const QString& t) { return findCategoryMatchIn(t, large.tree.categoriesArray()); });
    const double findPerCall = timeFind([&](const QString& t) { return index->find(t); });

    std::printf("\nFiling rules on a tree in memory of %lld folders (%lld accounts at depth 3), best of %d, us per call:\n",
                static_cast<long long>(large.folders), static_cast<long long>(opt.treeFolders), opt.repeat);
    std::printf("  matchCategory      depth 1   depth 2   depth 3   no match   all (%lld calls)\n",
                static_cast<long long>(opt.queries));
    for (const auto& [label, m] : {std::pair{"equals", equals}, std::pair{"whole word", wholeWord}})
        std::printf("    %-14s %9.1f %9.1f %9.1f %10.1f %9.1f\n", label, m.perCall[0], m.perCall[1], m.perCall[2],
                    m.perCall[3], m.all);
    std::printf("  text match, 4 KiB of text, %lld account strings (%d texts):\n", static_cast<long long>(opt.treeFolders),
                textCount);
    std::printf("    findCategoryMatchIn (the walk)              %9.1f us per call\n", walkPerCall);
    std::printf("    CategoryMatchIndex::find (what imports use) %9.1f us per call, built once in %.1f ms\n",
                findPerCall, indexBuildBest * 1e3);
    std::printf("Every rule chose the right folder: %s\n", wrongMatches == 0 ? "yes" : "NO");
    if (wrongMatches)
        std::printf("  %lld wrong answers\n", static_cast<long long>(wrongMatches));

    const double worstMatch = std::max({equals.perCall[0], equals.perCall[1], equals.perCall[2], equals.perCall[3],
                                        wholeWord.perCall[0], wholeWord.perCall[1], wholeWord.perCall[2],
                                        wholeWord.perCall[3]});
    std::printf("\nTargets:\n");
    std::printf("  import <= 1.5 x pdftotext                 %8.2f x    %s\n", ratio, verdict(ratio <= 1.5));
    std::printf("  matchCategory <= 1 ms, slowest kind       %8.3f ms   %s\n", worstMatch / 1e3,
                verdict(worstMatch <= 1000));
    std::printf("  text match (index) <= 1 ms                %8.3f ms   %s\n", findPerCall / 1e3,
                verdict(findPerCall <= 1000));
    std::fflush(stdout);

    cleanUp();
    return mismatches == 0 && problems.isEmpty() && wrongMatches == 0 ? 0 : 1;
}
