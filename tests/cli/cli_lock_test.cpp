// folivo-cli and a database another program has open: while a window (here a document of
// this test process, which takes the same lock) holds it to change it, every command is
// refused and the window's later saves lose nothing; readers share it. And the commands
// that only read leave every byte, mode and time of the package as they were.

#include "store/documentui.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::Scratch;
using folivo::test::ScopedEnv;

namespace {

class CliLock : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures_ = new Scratch;
        ASSERT_TRUE(folivo::test::makeFixtures(fixtures_->path()));
    }
    static void TearDownTestSuite() { delete fixtures_; }

    static ProcessResult cli(const QStringList& args, const QByteArray& input = {})
    {
        return folivo::test::run(QStringLiteral(FOLIVO_CLI), args, input);
    }
    QString copyOf(const QString& name, const QString& as = {})
    {
        const QString pkg = scratch_.file(as.isEmpty() ? name : as);
        EXPECT_EQ(folivo::test::run("cp", {"-a", fixtures_->file(name), pkg}).exitCode, 0);
        return pkg;
    }
    static QString password(const QString& fixture)
    {
        return QJsonDocument::fromJson(folivo::test::readAll(fixtures_->file("manifest.json")))
            .object().value(fixture).toObject().value("password").toString();
    }
    // Writes a file into a read-only folder of a package, as a crash or an older version
    // leaves it.
    static void plant(const QString& path, const QByteArray& bytes)
    {
        const QString dir = QFileInfo(path).path();
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(dir).constData(), &st), 0);
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        EXPECT_TRUE(folivo::test::writeAll(path, bytes));
        ::chmod(QFile::encodeName(dir).constData(), st.st_mode & 07777);
    }

    static inline Scratch* fixtures_ = nullptr;
    Scratch scratch_;
    ScopedEnv state_{"XDG_STATE_HOME", (scratch_.path() + "/state").toLocal8Bit()};
    ScopedEnv config_{"XDG_CONFIG_HOME", (scratch_.path() + "/config").toLocal8Bit()};
};

OpenOptions forReading()
{
    OpenOptions o;
    o.forReading = true;
    return o;
}

} // namespace

TEST_F(CliLock, EveryCommandIsRefusedWhileTheDatabaseIsOpenForChanging)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString other = copyOf("Household.fvdb", "Other.fvdb");
    const QString scan = scratch_.file("Scan 2024-03-01.pdf");
    ASSERT_TRUE(folivo::test::writeAll(scan, "%PDF-1.4 a scanned letter"));
    const QString backups = scratch_.file("Backups");
    ASSERT_TRUE(QDir().mkpath(backups));

    SilentUi ui;
    MyDocument window(ui);
    ASSERT_TRUE(window.openDatabase(pkg).ok());
    const auto before = folivo::test::packageListing(pkg);
    const auto otherBefore = folivo::test::packageListing(other);
    const QByteArray inUse = msg::DatabaseInUse.arg("Household.fvdb").toLocal8Bit();

    const QStringList commands[] = {
        {"mkdir", pkg, "Taxes"},
        {"mv", pkg, "Bank/Welcome Letter.pdf", "Unfiled"},
        {"rename", pkg, "Unfiled/Note.txt", "Other.txt"},
        {"rm", pkg, "Unfiled/Note.txt"},
        {"dup", pkg, "Unfiled/Note.txt"},
        {"cp", pkg, "Unfiled/Note.txt", "--from", other},
        {"cp", other, "Unfiled/Note.txt", "--from", pkg}, // the held one is only read here
        {"store", pkg, scan},
        {"import", pkg, scan},
        {"drain", pkg},
        {"save", pkg},
        {"backup", pkg, "--to", backups},
        {"check", pkg, "--repair=delete"},
        {"check", pkg, "--repair=recover", scratch_.file("Recovered")},
        // Readers too: the window may be half-way through a change.
        {"tree", pkg},
        {"show", pkg, "Unfiled/Note.txt"},
        {"dump", pkg},
        {"cat", pkg, "Unfiled/Note.txt"},
        {"check", pkg},
        {"file-as", pkg, "Visa 2024-01-05.pdf"},
    };
    for (const QStringList& args : commands) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const ProcessResult r = cli(args);
        EXPECT_EQ(r.exitCode, 1) << r.out.constData() << r.err.constData();
        EXPECT_TRUE(r.err.contains(inUse)) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    }
    EXPECT_EQ(folivo::test::listingDifferences(before, folivo::test::packageListing(pkg)), QString());
    EXPECT_EQ(folivo::test::listingDifferences(otherBefore, folivo::test::packageListing(other)), QString());
    EXPECT_TRUE(QFile::exists(scan));
    EXPECT_TRUE(QDir(backups).isEmpty());
    EXPECT_FALSE(QFile::exists(scratch_.file("Recovered")));
}

TEST_F(CliLock, AfterTheWindowClosesEveryFileHasItsItem)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString scan = scratch_.file("Scan.pdf");
    const QString letter = scratch_.file("Letter.txt");
    ASSERT_TRUE(folivo::test::writeAll(scan, "%PDF-1.4 stored from the terminal"));
    ASSERT_TRUE(folivo::test::writeAll(letter, "stored in the window"));
    {
        SilentUi ui;
        MyDocument window(ui);
        ASSERT_TRUE(window.openDatabase(pkg).ok());
        const ProcessResult refused = cli({"store", pkg, scan, "--to", "Bank"});
        EXPECT_EQ(refused.exitCode, 1) << refused.out.constData();
        // The window goes on from its own tree: a file into the same folder, then a save.
        EXPECT_EQ(window.recordImport(letter, std::nullopt, "Bank", -1, std::nullopt, std::nullopt).status,
                  OperationResult::Status::Done);
        window.closeDatabase();
    }
    const ProcessResult stored = cli({"store", pkg, scan, "--to", "Bank"});
    EXPECT_EQ(stored.exitCode, 0) << stored.err.constData();
    EXPECT_EQ(stored.out.trimmed(), QByteArray("Stored ") + QFile::encodeName(scan) + " -> Bank/Scan.pdf");
    const ProcessResult check = cli({"check", pkg});
    EXPECT_EQ(check.exitCode, 0) << check.out.constData();
    EXPECT_EQ(check.out, "The database is consistent.\n");
    const ProcessResult tree = cli({"tree", pkg});
    EXPECT_TRUE(tree.out.contains("  Scan.pdf\n")) << tree.out.constData();
    EXPECT_TRUE(tree.out.contains("  Letter.txt\n")) << tree.out.constData();
}

TEST_F(CliLock, ReadersShareTheDatabaseAndKeepWritersOut)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString scan = scratch_.file("Scan.pdf");
    ASSERT_TRUE(folivo::test::writeAll(scan, "%PDF-1.4"));
    SilentUi ui;
    MyDocument reader(ui);
    ASSERT_TRUE(reader.openDatabase(pkg, forReading()).ok());
    const ProcessResult tree = cli({"tree", pkg});
    EXPECT_EQ(tree.exitCode, 0) << tree.err.constData();
    EXPECT_TRUE(tree.out.contains("Note.txt"));
    const ProcessResult store = cli({"store", pkg, scan});
    EXPECT_EQ(store.exitCode, 1);
    EXPECT_TRUE(store.err.contains(msg::DatabaseInUse.arg("Household.fvdb").toLocal8Bit())) << store.err.constData();
    reader.close();
    EXPECT_EQ(cli({"store", pkg, scan}).exitCode, 0);
}

TEST_F(CliLock, ReadingCommandsChangeNoByteModeOrTime)
{
    struct Package {
        QString fixture;
        QString file; // an item to show and cat
        QString password;
        std::function<void(const QString&)> prepare;
    };
    const Package packages[] = {
        // An older database (".categories", no distributed index), the settings file of
        // older versions, and what a crash left of a delete.
        {"Legacy.fvdb", "Taxes/2022/April/Return.pdf", {},
         [](const QString& pkg) {
             plant(pkg + "/.drawerOpen", "");
             plant(pkg + "/Taxes/.deleting-1", "a file a delete had moved aside");
         }},
        // Not closed properly: ".changed" makes every open rebuild.
        {"Crashed.fvdb", "Unfiled/Late.txt", {}, {}},
        // A plain copy left beside its stored form (deleted silently by a writing open), and
        // a crash leftover inside an enciphered folder.
        {"Encrypted.fvdb", "Unfiled/Block32.txt", password("Encrypted.fvdb"),
         [](const QString& pkg) {
             const ProcessResult plain = cli({"--password-stdin", "cat", pkg, "Unfiled/Block32.txt"},
                                             password("Encrypted.fvdb").toUtf8() + "\n");
             ASSERT_EQ(plain.exitCode, 0) << plain.err.constData();
             plant(pkg + "/Unfiled/Block32.txt", plain.out);
             plant(pkg + "/Bank/.deleting-7", "moved aside");
         }},
    };
    for (const Package& p : packages) {
        SCOPED_TRACE(p.fixture.toStdString());
        const QString pkg = copyOf(p.fixture);
        if (p.prepare)
            p.prepare(pkg);
        const auto before = folivo::test::packageListing(pkg);
        const QStringList commands[] = {
            {"tree", pkg},
            {"show", pkg, p.file},
            {"dump", pkg},
            {"cat", pkg, p.file},
            {"check", pkg},
            {"file-as", pkg, "Return 2022-04-15.pdf"},
            {"--rebuild", "tree", pkg},
        };
        for (const QStringList& args : commands) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const QStringList withPassword = p.password.isEmpty() ? args : QStringList{"--password-stdin"} + args;
            const ProcessResult r = cli(withPassword, p.password.isEmpty() ? QByteArray() : p.password.toUtf8() + "\n");
            EXPECT_TRUE(r.exitCode == 0 || (args.first() == "check" && r.exitCode == 3)) << r.exitCode << r.err.constData();
            EXPECT_FALSE(r.out.isEmpty());
            // What a change would have repaired is said, on standard error or in the check.
            EXPECT_TRUE((args.first() == "check" ? r.out : r.err).contains(msg::PendingRepairsIntro.toUtf8()))
                << r.out.constData() << r.err.constData();
            EXPECT_EQ(folivo::test::listingDifferences(before, folivo::test::packageListing(pkg)), QString());
        }
    }
}
