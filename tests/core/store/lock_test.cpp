// One program at a time has a database open for changing it, several may read it, a
// program that died leaves it free; and an open for reading changes nothing in the package.

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

OpenOptions forWriting()
{
    return {};
}

OpenOptions forReading()
{
    OpenOptions o;
    o.forReading = true;
    return o;
}

} // namespace

TEST_F(Fixtures, OneWriterOrSeveralReadersPerPackageInOneProcess)
{
    const QString pkg = copyOf("Household.fvdb");
    // The same folder under another name: the lock is the folder's, not the path's.
    const QString link = scratch_.file("Link.fvdb");
    ASSERT_TRUE(QFile::link(pkg, link));
    struct Case {
        bool firstReads;
        bool secondReads;
        bool viaLink;
        bool secondOpens;
    };
    QStringList made;
    for (const Case c : {Case{false, false, false, false}, Case{false, true, false, false}, Case{true, false, false, false},
                         Case{true, true, false, true}, Case{false, false, true, false}}) {
        SCOPED_TRACE(testing::Message() << "first " << (c.firstReads ? "reads" : "writes") << ", second "
                                        << (c.secondReads ? "reads" : "writes") << (c.viaLink ? " through a link" : ""));
        MyDocument first(ui_);
        ASSERT_TRUE(first.openDatabase(pkg, c.firstReads ? forReading() : forWriting()).ok());
        MyDocument second(ui_);
        const OpenResult r = second.openDatabase(c.viaLink ? link : pkg, c.secondReads ? forReading() : forWriting());
        EXPECT_EQ(r.ok(), c.secondOpens) << r.message.toStdString();
        if (c.secondOpens)
            continue;
        EXPECT_EQ(r.status, OpenStatus::InUse);
        EXPECT_EQ(r.message, msg::DatabaseInUse.arg(QFileInfo(c.viaLink ? link : pkg).fileName()));
        EXPECT_FALSE(second.dbOpen());
        // The refused open took nothing of the first one's: the package is still held, and
        // the first document goes on changing it.
        MyDocument third(ui_);
        EXPECT_EQ(third.openDatabase(pkg, forWriting()).status, OpenStatus::InUse);
        if (!c.firstReads) {
            made << QStringLiteral("Folder %1").arg(made.size() + 1);
            EXPECT_EQ(first.recordNewCategory(made.last(), nullptr, -1).status, OperationResult::Status::Done);
        }
    }
    // Every document has gone: the package is free again, and what the writers did is there.
    MyDocument again(ui_);
    ASSERT_TRUE(again.openDatabase(pkg).ok());
    for (const QString& folder : made)
        EXPECT_NE(again.tree().itemForPath(folder), nullptr) << folder.toStdString();
    EXPECT_TRUE(ui_.asked.isEmpty()) << ui_.titles().join(", ").toStdString();
}

// Started by AProgramThatDiedLeavesTheDatabaseFree in a process of its own.
TEST(LockWorker, HoldsADatabaseOpenUntilKilled)
{
    const QString pkg = qEnvironmentVariable("FOLIVO_LOCK_WORKER");
    if (pkg.isEmpty())
        GTEST_SKIP() << "runs only when started by AProgramThatDiedLeavesTheDatabaseFree";
    FakeUi ui;
    MyDocument doc(ui);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    std::printf("ready\n");
    std::fflush(stdout);
    QThread::sleep(120);
}

TEST_F(Fixtures, AProgramThatDiedLeavesTheDatabaseFree)
{
    const QString pkg = copyOf("Household.fvdb");
    QProcess worker;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FOLIVO_LOCK_WORKER", pkg);
    worker.setProcessEnvironment(env);
    worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    worker.start(QFileInfo("/proc/self/exe").symLinkTarget(), {"--gtest_filter=LockWorker.*"});
    ASSERT_TRUE(worker.waitForStarted(10000));
    QByteArray out;
    QElapsedTimer waited;
    waited.start();
    while (!out.contains("ready\n") && waited.elapsed() < 60000 && worker.state() != QProcess::NotRunning) {
        worker.waitForReadyRead(100);
        out += worker.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("ready\n")) << out.constData();

    MyDocument doc(ui_);
    EXPECT_EQ(doc.openDatabase(pkg).status, OpenStatus::InUse); // the other program is alive
    ::kill(pid_t(worker.processId()), SIGKILL);
    ASSERT_TRUE(worker.waitForFinished(10000));
    // It ended without closing anything: its lock went with it.
    const OpenResult r = doc.openDatabase(pkg);
    EXPECT_TRUE(r.ok()) << r.message.toStdString();
}

// Each package holds something an open for writing repairs or converts.
struct ReadingCase {
    const char* fixture;
    std::function<void(const QString& pkg, Fixtures&)> prepare;
    QStringList pending; // what the open for reading says a writing open would do
};

class ReadingChangesNothing : public Fixtures {
public:
    QString password(const char* fixture) const { return manifest_.value(fixture).toObject().value("password").toString(); }
    static void put(const QString& path, const QByteArray& bytes)
    {
        const QString dir = QFileInfo(path).path();
        fs::ScopedWritable writable(dir);
        ASSERT_TRUE(writeAll(path, bytes));
    }
};

TEST_F(ReadingChangesNothing, NoByteNoModeNoTimeAndTheRepairsAreNamed)
{
    const ReadingCase cases[] = {
        {"Legacy.fvdb",
         [](const QString& pkg, Fixtures&) {
             // An older database: ".categories" only, no distributed index; with the
             // settings file of older versions and what a crash left of two writes.
             put(pkg + "/.drawerOpen", "");
             put(pkg + "/Taxes/.deleting-1", "a deleted file");
         },
         {msg::PendingDrawerOpen, msg::PendingIndexRename.arg(".categories", ".index"), msg::PendingCustomAttributeNames,
          msg::PendingConversion,
          msg::PendingLeftovers.arg("\"Taxes/.deleting-1\"")}},
        {"NoVer4.fvdb", {}, {msg::PendingIndexUpdate}},
        {"Crashed.fvdb", {}, {msg::PendingRebuild}},
        {"Encrypted.fvdb",
         [](const QString& pkg, Fixtures& f) {
             // A plain copy left beside its stored form, as a crash while viewing leaves it.
             auto& self = static_cast<ReadingChangesNothing&>(f);
             FakeUi ui;
             ui.passwords = {self.password("Encrypted.fvdb")};
             MyDocument doc(ui);
             ASSERT_TRUE(doc.openDatabase(pkg, forReading()).ok());
             QByteArray plain;
             ASSERT_TRUE(doc.readItemContent("Unfiled/Block32.txt", {}, [&](const char* p, qsizetype n) {
                 plain.append(p, n);
                 return true;
             }));
             doc.close();
             put(pkg + "/Unfiled/Block32.txt", plain);
         },
         {msg::PendingPlainCopies.arg("\"Unfiled/Block32.txt\"")}},
        {"EncryptedNoMarker.fvdb", {}, {msg::PendingMarker}},
    };
    for (const ReadingCase& c : cases) {
        SCOPED_TRACE(c.fixture);
        const QString pkg = copyOf(c.fixture);
        if (c.prepare)
            c.prepare(pkg, *this);
        const QMap<QString, QString> before = packageListing(pkg);
        QStringList pathsRead;
        {
            FakeUi ui;
            ui.passwords = {password(c.fixture)};
            MyDocument doc(ui);
            const OpenResult r = doc.openDatabase(pkg, forReading());
            ASSERT_TRUE(r.ok()) << r.message.toStdString();
            EXPECT_TRUE(doc.openForReading());
            EXPECT_FALSE(doc.dbWriteable());
            pathsRead = preOrder(doc.tree());
            EXPECT_FALSE(pathsRead.isEmpty());
            EXPECT_EQ(doc.pendingRepairs(), c.pending);
            // Neither an operation nor a save gets through to the package.
            EXPECT_EQ(doc.recordNewCategory("New Folder", nullptr, -1).status, OperationResult::Status::Refused);
            EXPECT_FALSE(doc.saveChanges(false).saved);
            EXPECT_EQ(doc.tree().itemForPath("New Folder"), nullptr);
        }
        EXPECT_EQ(listingDifferences(before, packageListing(pkg)), QString());

        // An open for writing does what was named, and shows the same tree.
        FakeUi ui;
        ui.passwords = {password(c.fixture)};
        MyDocument doc(ui);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        EXPECT_TRUE(doc.pendingRepairs().isEmpty());
        EXPECT_EQ(preOrder(doc.tree()), pathsRead);
        doc.saveChanges(false);
        EXPECT_NE(listingDifferences(before, packageListing(pkg)), QString());
    }
}
