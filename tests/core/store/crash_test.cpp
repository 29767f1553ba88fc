// Crashes at random moments. A worker process (this test program, run with one test
// selected and FOLIVO_CRASH_WORKER set) makes random changes to a database without end;
// the test kills it with SIGKILL at a random moment, opens the database as the program
// would (which rebuilds the tree and runs the consistency check) and checks that every
// file the database held at the start is still there: in the tree, or among the files
// the check offers to recover. Recovering them, as a person would, must leave a database
// the check finds consistent, and the next round goes on from there.
//
// FOLIVO_CRASH_ROUNDS sets the rounds per database (default 30); scripts/crash-test.sh
// runs a long series.

#include "store/keys.h"
#include "store/mydocument.h"
#include "store/repair.h"
#include "support/packagefixtures.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QTimeZone>

#include <csignal>
#include <cstdio>
#include <sys/types.h>

using namespace folivo;
using namespace folivo::test;

namespace {

const QString PasswordOf[] = {QString(), QStringLiteral("pässwörd")};

class PasswordUi : public SilentUi {
public:
    explicit PasswordUi(QString password) : password_(std::move(password)) {}
    bool askPassword(const PasswordRequest&, const PasswordCheck& check) override { return check(password_); }

private:
    QString password_;
};

QByteArray hashOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

QByteArray contentOf(MyDocument& doc, const QString& path)
{
    QByteArray out;
    if (!doc.readItemContent(path, {}, [&](const char* p, qsizetype n) {
            out.append(p, n);
            return true;
        }))
        return {};
    return out;
}

// The plain content of every single-file item (bundles left out), by hash.
QSet<QByteArray> fileContents(MyDocument& doc)
{
    QSet<QByteArray> out;
    for (IndexItem* item : doc.tree().flatArray()) {
        if (!item->isFile())
            continue;
        const QString abs = doc.absolutePath(item->path());
        if (QFileInfo(abs).isDir() || QFileInfo(abs + ".fvdbzre").exists() || QFileInfo(abs + ".fvdbze").exists())
            continue;
        const QByteArray bytes = contentOf(doc, item->path());
        if (!bytes.isNull())
            out.insert(hashOf(bytes));
    }
    return out;
}

QSet<QByteArray> folderContents(const QString& dir)
{
    QSet<QByteArray> out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out.insert(hashOf(readAll(it.next())));
    return out;
}

// ---- The worker --------------------------------------------------------------------------

void runWorker(const QString& pkg, const QString& password, quint32 seed)
{
    PasswordUi ui(password);
    MyDocument doc(ui);
    if (!doc.openDatabase(pkg).ok()) {
        std::fprintf(stderr, "worker: cannot open %s\n", qPrintable(pkg));
        std::_Exit(3);
    }
    // Whatever the check at this open would report is the test's business, not ours.
    std::printf("ready\n");
    std::fflush(stdout);
    QRandomGenerator rng(seed);
    IndexTree& tree = doc.tree();
    auto pick = [&](const std::function<bool(const IndexItem&)>& ok) -> IndexItem* {
        std::vector<IndexItem*> candidates;
        for (IndexItem* i : tree.flatArray())
            if (ok(*i))
                candidates.push_back(i);
        return candidates.empty() ? nullptr : candidates[rng.bounded(quint32(candidates.size()))];
    };
    auto plainFolder = [](const IndexItem& i) { return i.isPlainFolder(); };
    auto ownItem = [](const IndexItem& i) {
        // Only what the worker made itself is ever deleted: the database's own files
        // must survive every round.
        if (i.isFile())
            return i.name().contains(QStringLiteral(" copy")) || i.name().startsWith(QStringLiteral("S-"));
        return i.isPlainFolder() && i.name().startsWith('F') && i.children().empty();
    };
    for (quint64 n = 0;; ++n) {
        const int kind = int(rng.bounded(7u));
        switch (kind) {
        case 0:
            if (IndexItem* parent = pick(plainFolder))
                doc.recordNewCategory(parent->path() + QStringLiteral("/F%1-%2").arg(seed).arg(n), parent, -1);
            break;
        case 1:
            if (IndexItem* item = pick([](const IndexItem& i) {
                    return (i.isFile() || i.isPlainFolder()) && !(i.parent() == nullptr && i.path() == pkg::Unfiled);
                })) {
                const QString name = item->name();
                const qsizetype dot = name.lastIndexOf('.');
                const QString renamed = dot > 0 ? name.left(dot) + QStringLiteral("r") + name.mid(dot) : name + "r";
                if (renamed.toUtf8().size() < 120) {
                    const QString parent = item->parent() ? item->parent()->path() + '/' : QString();
                    doc.recordRename(item->path(), parent + renamed);
                }
            }
            break;
        case 2:
            if (IndexItem* item = pick([](const IndexItem& i) {
                    return (i.isFile() || i.isPlainFolder()) && !(i.parent() == nullptr && i.path() == pkg::Unfiled);
                }))
                if (IndexItem* to = pick(plainFolder))
                    doc.recordMovePath(item->path(), to, int(rng.bounded(4u)) - 1);
            break;
        case 3:
            if (IndexItem* item = pick(ownItem))
                doc.recordDelete(item->path());
            break;
        case 4:
            if (IndexItem* item = pick([](const IndexItem& i) { return i.isFile(); }))
                doc.recordDuplicate(item->path(), pkg::Unfiled);
            break;
        case 5:
            if (IndexItem* to = pick(plainFolder)) {
                std::optional<QDateTime> end;
                if (rng.bounded(2u))
                    end = QDateTime(QDate(2020 + int(rng.bounded(5u)), 1 + int(rng.bounded(12u)), 15), QTime(0, 0),
                                    QTimeZone::systemTimeZone());
                doc.recordImport(QStringLiteral("S-%1-%2.txt").arg(seed).arg(n),
                                 QByteArray("stored ") + QByteArray::number(seed) + ' ' + QByteArray::number(n), to->path(),
                                 -1, std::nullopt, end);
            }
            break;
        case 6:
            doc.saveChanges(true);
            break;
        }
    }
}

class CrashTest : public Fixtures {
protected:
    void rounds(const QString& fixture, const QString& password);
};

void CrashTest::rounds(const QString& fixture, const QString& password)
{
    const QString pkg = copyOf(fixture);
    const int total = qEnvironmentVariableIsSet("FOLIVO_CRASH_ROUNDS") ? qEnvironmentVariableIntValue("FOLIVO_CRASH_ROUNDS") : 30;
    const quint32 baseSeed = qEnvironmentVariableIsSet("FOLIVO_CRASH_SEED") ? quint32(qEnvironmentVariableIntValue("FOLIVO_CRASH_SEED"))
                                                                            : QRandomGenerator::global()->generate();
    std::printf("crash test on %s: %d rounds, seed %u\n", qPrintable(fixture), total, baseSeed);
    QRandomGenerator rng(baseSeed);

    QSet<QByteArray> originals;
    {
        PasswordUi ui(password);
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        originals = fileContents(doc);
        ASSERT_GE(originals.size(), 3);
    }
    QSet<QByteArray> recovered; // contents recovered out of the package in earlier rounds
    int reports = 0;
    for (int round = 0; round < total; ++round) {
        const quint32 seed = rng.generate();
        SCOPED_TRACE(QStringLiteral("round %1, worker seed %2").arg(round).arg(seed).toStdString());
        QProcess worker;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("FOLIVO_CRASH_WORKER", pkg);
        env.insert("FOLIVO_CRASH_PASSWORD", password);
        env.insert("FOLIVO_CRASH_SEED", QString::number(seed));
        worker.setProcessEnvironment(env);
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        worker.start(QFileInfo("/proc/self/exe").symLinkTarget(), {"--gtest_filter=CrashWorker.Run"});
        ASSERT_TRUE(worker.waitForStarted(10000));
        QByteArray out;
        QElapsedTimer waited;
        waited.start();
        while (!out.contains("ready\n") && waited.elapsed() < 60000) {
            worker.waitForReadyRead(100);
            out += worker.readAllStandardOutput();
            ASSERT_NE(worker.state(), QProcess::NotRunning) << out.constData();
        }
        ASSERT_TRUE(out.contains("ready\n"));
        QThread::msleep(5 + rng.bounded(250u));
        ::kill(pid_t(worker.processId()), SIGKILL);
        ASSERT_TRUE(worker.waitForFinished(10000));

        // Open as the program would: the rebuild and the check run. The report is
        // answered "Recover" into a folder of its own, as a careful person would.
        FakeUi ui;
        ui.passwords = {password};
        const QString into = scratch_.file(QStringLiteral("recovered-%1").arg(round));
        ui.recoveryFolder = into;
        MyDocument doc(ui);
        const OpenResult opened = doc.openDatabase(pkg);
        ASSERT_TRUE(opened.ok()) << opened.message.toStdString();
        if (!ui.asked.isEmpty()) {
            ++reports;
            if (qEnvironmentVariableIsSet("FOLIVO_CRASH_VERBOSE"))
                std::printf("round %d report:\n%s\n", round, qPrintable(ui.asked.last().text.replace('\r', '\n')));
        }
        recovered.unite(folderContents(into));
        const QSet<QByteArray> inTree = fileContents(doc);
        for (const QByteArray& h : originals)
            EXPECT_TRUE(inTree.contains(h) || recovered.contains(h)) << "a file of the database is lost: " << h.toHex().left(12).constData();

        // After the person's decision the tree and the package agree.
        const ConsistencyReport after = checkConsistency(doc);
        EXPECT_TRUE(after.itemsWithoutFiles.isEmpty()) << after.itemsWithoutFiles.join(", ").toStdString();
        EXPECT_TRUE(after.filesToRecover.isEmpty()) << after.filesToRecover.join(", ").toStdString();
        if (HasFailure())
            return;
        doc.saveChanges(false);
    }
    std::printf("%d rounds, %d opened with a report to answer\n", total, reports);
}

} // namespace

TEST(CrashWorker, Run)
{
    const QString pkg = qEnvironmentVariable("FOLIVO_CRASH_WORKER");
    if (pkg.isEmpty())
        GTEST_SKIP() << "runs only as the crash test's worker";
    runWorker(pkg, qEnvironmentVariable("FOLIVO_CRASH_PASSWORD"), quint32(qEnvironmentVariableIntValue("FOLIVO_CRASH_SEED")));
}

TEST_F(CrashTest, PlainDatabaseSurvivesKillsAtRandomMoments)
{
    rounds("Household.fvdb", PasswordOf[0]);
}

TEST_F(CrashTest, EncryptedDatabaseSurvivesKillsAtRandomMoments)
{
    rounds("Encrypted.fvdb", PasswordOf[1]);
}
