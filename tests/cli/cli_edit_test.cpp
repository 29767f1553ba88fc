// folivo-cli changing databases: each command's effect on the package, its refusals and
// its usage errors.

#include "prefs/ktprefs.h"
#include "runcli.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>
#include <sys/stat.h>

using folivo::test::ProcessResult;
using folivo::test::Scratch;

namespace {

ProcessResult cli(const QStringList& args, const QByteArray& input = {})
{
    return folivo::test::runCli(args, input);
}

// The program itself, where the process matters (its time zone).
ProcessResult program(const QStringList& args, const QByteArray& input = {})
{
    return folivo::test::runCliProcess(args, input);
}

// Sets an environment variable for the programs this test starts, and puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

ino_t inode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

class CliEdit : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures_ = new Scratch;
        ASSERT_TRUE(folivo::test::makeFixtures(fixtures_->path()));
    }
    static void TearDownTestSuite() { delete fixtures_; }
    static QString fixture(const QString& name) { return fixtures_->file(name); }
    static QString password()
    {
        return QJsonDocument::fromJson(folivo::test::readAll(fixture("manifest.json")))
            .object().value("Encrypted.fvdb").toObject().value("password").toString();
    }

    // A private copy of a fixture package to change.
    QString copyOf(const QString& name)
    {
        const QString pkg = scratch_.file(name);
        EXPECT_EQ(folivo::test::run("cp", {"-a", fixture(name), pkg}).exitCode, 0);
        return pkg;
    }
    QByteArray tree(const QString& pkg, const QStringList& options = {})
    {
        const ProcessResult r = cli(options + QStringList{"tree", pkg});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return r.out;
    }
    // The index as the next open reads it, and the tree rebuilt from the attributes files
    // alone: after a change that completed, both must say the same.
    void expectIndexAgreesWithAttributes(const QString& pkg)
    {
        const ProcessResult normal = cli({"dump", pkg});
        const ProcessResult rebuilt = cli({"--rebuild", "dump", pkg});
        ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err.constData();
        EXPECT_EQ(rebuilt.out, normal.out);
    }

    static Scratch* fixtures_;
    Scratch scratch_;
    // Disk-error logs and temporary folders of the programs started here stay in the scratch.
    ScopedEnv state_{"XDG_STATE_HOME", (scratch_.path() + "/state").toLocal8Bit()};
    ScopedEnv config_{"XDG_CONFIG_HOME", (scratch_.path() + "/config").toLocal8Bit()};
};
Scratch* CliEdit::fixtures_ = nullptr;

} // namespace

TEST_F(CliEdit, FoldersAndMovesRoundTrip)
{
    const QString pkg = copyOf("Household.fvdb");
    const struct {
        QStringList args;
        QByteArray says;
    } steps[] = {
        {{"mkdir", pkg, "Taxes"}, "Created folder Taxes"},
        {{"mkdir", pkg, "/Taxes/2023/"}, "Created folder Taxes/2023"},
        {{"mkdir", pkg, "Taxes/Receipts", "--index", "0"}, "Created folder Taxes/Receipts"},
        // A file with an ending date dropped on an ordinary folder goes into its month.
        {{"mv", pkg, "Bank/Visa/2023/March/Receipt.pdf", "Taxes/2023"},
         "Moved Bank/Visa/2023/March/Receipt.pdf -> Taxes/2023/2023/March/Receipt.pdf"},
        {{"rename", pkg, "Taxes/2023/2023/March/Receipt.pdf", "Receipt (Visa).pdf"},
         "Renamed Taxes/2023/2023/March/Receipt.pdf -> Taxes/2023/2023/March/Receipt (Visa).pdf"},
        {{"mv", pkg, "Bank/Visa/", "Taxes/Receipts"}, "Moved Bank/Visa -> Taxes/Receipts/Visa"},
        {{"rename", pkg, "Taxes/Receipts", "Kept"}, "Renamed Taxes/Receipts -> Taxes/Kept"},
        {{"mv", pkg, "Taxes", ""}, "Nothing to change."},
        {{"mv", pkg, "Taxes", "/", "--index", "0"}, "Moved Taxes to another place in its folder"},
        {{"rm", pkg, "Bank/Welcome Letter.pdf"}, "Deleted Bank/Welcome Letter.pdf"},
        {{"rm", pkg, "Taxes/Kept/Visa/2024"}, "Deleted Taxes/Kept/Visa/2024"},
    };
    for (const auto& s : steps) {
        const ProcessResult r = cli(s.args);
        ASSERT_EQ(r.exitCode, 0) << s.args.join(' ').toStdString() << ": " << r.err.constData();
        EXPECT_EQ(r.out.toStdString(), (s.says + "\n").toStdString());
        // Each change is saved as it is made: no rebuild is left for the next open.
        EXPECT_FALSE(QFile::exists(pkg + "/.changed")) << s.args.join(' ').toStdString();
    }
    EXPECT_EQ(tree(pkg).toStdString(), "Taxes/\n"
                                       "  Kept/\n"
                                       "    Visa/\n"
                                       "      2023/ [date]\n"
                                       "        March/ [date]\n"
                                       "          Statement.pdf\n"
                                       "        December/ [date]\n"
                                       "          Statement.pdf\n"
                                       "  2023/\n"
                                       "    2023/ [date]\n"
                                       "      March/ [date]\n"
                                       "        Receipt (Visa).pdf\n"
                                       "Unfiled/\n"
                                       "  Note.txt\n"
                                       "Bank/\n"
                                       "Last Import [smart folder]\n");
    // The disk follows the tree: the old places are gone, attributes files included.
    EXPECT_TRUE(QFileInfo(pkg + "/Taxes/2023/2023/March/Receipt (Visa).pdf").isFile());
    EXPECT_TRUE(QFileInfo(pkg + "/Taxes/Kept/Visa/2023/December/Statement.pdf").isFile());
    for (const QString gone : {"/Bank/Visa", "/Bank/.+Visa", "/Taxes/Receipts", "/Taxes/.+Receipts",
                               "/Bank/Welcome Letter.pdf", "/Bank/.+Welcome Letter.pdf", "/Taxes/Kept/Visa/2024"})
        EXPECT_FALSE(QFileInfo::exists(pkg + gone)) << gone.toStdString();
    EXPECT_EQ(cli({"cat", pkg, "Taxes/Kept/Visa/2023/March/Statement.pdf"}).out,
              cli({"cat", fixture("Household.fvdb"), "Bank/Visa/2023/March/Statement.pdf"}).out);
    expectIndexAgreesWithAttributes(pkg);
}

TEST_F(CliEdit, RefusalsChangeNothingAndSayWhy)
{
    const QString pkg = copyOf("Household.fvdb");
    const QByteArray before = cli({"dump", pkg}).out;
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"rename", pkg, "Bank/Welcome Letter.pdf", "Visa"}, "already taken"},
        {{"mv", pkg, "Bank", "Bank/Visa"}, "cannot be put inside itself"},
        {{"mv", pkg, "Bank", "Bank"}, "cannot be put inside itself"},
        {{"rm", pkg, "Unfiled"}, "\"Unfiled\" cannot be deleted"},
        {{"rm", pkg, "Bank/Nothing.pdf"}, "no item"},
        {{"mv", pkg, "Unfiled/Note.txt", "Bank/Welcome Letter.pdf"}, "not a folder that can hold items"},
        {{"mv", pkg, "Unfiled/Note.txt", "No/Such"}, "no item \"No/Such\""},
        {{"mkdir", pkg, "No/Such/Folder"}, "no item \"No/Such\""},
        {{"mkdir", pkg, "Bank/Visa"}, "already taken"},
        {{"rename", pkg, "Bank/Visa/2023", "Twenty"}, "cannot be renamed"},
        {{"dup", pkg, "Bank/Visa"}, "Only files"},
        {{"store", pkg, fixture("manifest.json"), "--to", "Last Import"}, "not a folder that can hold items"},
        {{"store", pkg, fixture("manifest.json"), "--to", "Taxes"}, "no item \"Taxes\""},
        {{"store", pkg, scratch_.file("missing.pdf")}, "no file"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = cli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << c.args.join(' ').toStdString() << ": " << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    }
    EXPECT_EQ(cli({"dump", pkg}).out, before);
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
}

TEST_F(CliEdit, UsageErrorsForChangingCommands)
{
    const QString pkg = copyOf("Household.fvdb");
    const QList<QStringList> cases = {
        {"mv", pkg, "Unfiled/Note.txt"},
        {"cp", pkg, "Unfiled/Note.txt"},                                   // no --from
        {"rm", pkg, "Unfiled/Note.txt", "--index", "0"},                   // not an option of rm
        {"mkdir", pkg, "New", "--index", "first"},
        {"mkdir", pkg, "New", "--index", "-2"},
        {"rename", pkg, "Unfiled/Note.txt", "Bank/Note.txt"},              // a path, not a name
        {"backup", pkg, "--keep", "256"},
        {"store", pkg, fixture("manifest.json"), "--end-date", "2023-02-30"},
        {"store", pkg, fixture("manifest.json"), "--end-date", "2023-3-5"},
        {"store", pkg, fixture("manifest.json"), "--start-date", "2023-03-05T00:00"},
        {"store", pkg, fixture("manifest.json"), "--end-date"},
        {"--from-password", "x", "cp", pkg, "a", "--from", pkg},
    };
    for (const QStringList& args : cases) {
        const ProcessResult r = cli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    EXPECT_EQ(tree(pkg), tree(fixture("Household.fvdb")));
}

TEST_F(CliEdit, DuplicatesShareTheBytesOfTheOriginal)
{
    const QString pkg = copyOf("Household.fvdb");
    const ProcessResult first = cli({"dup", pkg, "Bank/Welcome Letter.pdf"});
    const ProcessResult second = cli({"dup", pkg, "Bank/Welcome Letter.pdf"});
    ASSERT_EQ(first.exitCode, 0) << first.err.constData();
    ASSERT_EQ(second.exitCode, 0) << second.err.constData();
    EXPECT_EQ(first.out, "Duplicated Bank/Welcome Letter.pdf -> Unfiled/Welcome Letter copy.pdf\n");
    EXPECT_EQ(second.out, "Duplicated Bank/Welcome Letter.pdf -> Unfiled/Welcome Letter copy2.pdf\n");
    const ino_t original = inode(pkg + "/Bank/Welcome Letter.pdf");
    ASSERT_NE(original, ino_t(0));
    EXPECT_EQ(inode(pkg + "/Unfiled/Welcome Letter copy.pdf"), original);
    EXPECT_EQ(inode(pkg + "/Unfiled/Welcome Letter copy2.pdf"), original);
    // A copy keeps the original's keys, its ending date among them, under its own path.
    const ProcessResult show = cli({"show", pkg, "Unfiled/Welcome Letter copy2.pdf"});
    EXPECT_TRUE(show.out.contains("\"Path\": {\"string\": \"Unfiled/Welcome Letter copy2.pdf\"}")) << show.out.constData();
    EXPECT_EQ(show.out.contains("EndDate"), cli({"show", pkg, "Bank/Welcome Letter.pdf"}).out.contains("EndDate"));
    expectIndexAgreesWithAttributes(pkg);
}

TEST_F(CliEdit, StoreFilesByTheEndingDateAndKeepsNamesApart)
{
    // Local midnight of a zone that is not UTC, and in summer time on one of the dates.
    ScopedEnv zone("TZ", "America/New_York");
    const QString pkg = copyOf("Household.fvdb");
    const QString file = scratch_.file("Statement.pdf");
    ASSERT_TRUE(folivo::test::writeAll(file, "%PDF-1.4 new statement\n"));

    const struct {
        QStringList options;
        QByteArray lands;
    } cases[] = {
        // The month folder exists and holds a "Statement.pdf" already.
        {{"--to", "Bank/Visa", "--end-date", "2023-03-20", "--start-date", "2023-03-01"}, "Bank/Visa/2023/March/Statement2.pdf"},
        // A month and a year not there yet are made.
        {{"--to", "Bank/Visa/", "--end-date", "2022-11-05"}, "Bank/Visa/2022/November/Statement.pdf"},
        // Without a date, or into "Unfiled", nothing is filed by date.
        {{"--to", "Bank"}, "Bank/Statement.pdf"},
        {{"--end-date", "2023-03-20"}, "Unfiled/Statement.pdf"},
        {{"--to", "Unfiled", "--end-date", "2023-03-20"}, "Unfiled/Statement2.pdf"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = program(QStringList{"store", pkg, file} + c.options);
        ASSERT_EQ(r.exitCode, 0) << c.options.join(' ').toStdString() << ": " << r.err.constData();
        EXPECT_EQ(r.out, "Stored " + file.toUtf8() + " -> " + c.lands + "\n");
        EXPECT_EQ(cli({"cat", pkg, QString::fromUtf8(c.lands)}).out, "%PDF-1.4 new statement\n");
    }
    // 2023-03-20 00:00 EDT and 2023-03-01 00:00 EST, in seconds since 2001-01-01 UTC.
    const ProcessResult show = program({"show", pkg, "Bank/Visa/2023/March/Statement2.pdf"});
    EXPECT_TRUE(show.out.contains("\"EndDate\": {\"date\": \"700977600\"}")) << show.out.constData();
    EXPECT_TRUE(show.out.contains("\"StartDate\": {\"date\": \"699339600\"}")) << show.out.constData();
    EXPECT_TRUE(tree(pkg).contains("    2022/ [date]\n      November/ [date]\n        Statement.pdf\n"));
    expectIndexAgreesWithAttributes(pkg);
}

TEST_F(CliEdit, CopyBetweenPlainAndEncryptedDatabases)
{
    const QString plain = copyOf("Household.fvdb");
    const QString secret = copyOf("Encrypted.fvdb");
    const QString pw = scratch_.file("pw");
    ASSERT_TRUE(folivo::test::writeAll(pw, password().toUtf8() + "\n"));
    const QByteArray cafe = cli({"--password-file", pw, "cat", secret, "Notes/Tom's café.txt"}).out;
    ASSERT_FALSE(cafe.isEmpty());

    // Out of the encrypted one: the copy is plain here, the source is left alone.
    const QByteArray sourceBefore = cli({"--password-file", pw, "dump", secret}).out;
    ProcessResult r = cli({"cp", plain, "Notes/Tom's café.txt", "--from", secret, "--from-password-file", pw, "--to", "Bank"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "Copied Notes/Tom's café.txt from " + secret.toUtf8() + " -> Bank/Tom's café.txt\n");
    EXPECT_EQ(folivo::test::readAll(plain + "/Bank/Tom's café.txt"), cafe);
    EXPECT_EQ(cli({"--password-file", pw, "dump", secret}).out, sourceBefore);

    // Into the encrypted one, its password on standard input: stored enciphered only.
    r = cli({"--password-stdin", "cp", secret, "Unfiled/Note.txt", "--from", plain, "--to", "Notes", "--index", "0"},
            password().toUtf8() + "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.endsWith(" -> Notes/2024/January/Note.txt\n")) << r.out.constData();
    EXPECT_EQ(cli({"--password-file", pw, "cat", secret, "Notes/2024/January/Note.txt"}).out, "fixture Unfiled/Note.txt\n");
    EXPECT_FALSE(QFile::exists(secret + "/Notes/2024/January/Note.txt"));
    EXPECT_TRUE(QFile::exists(secret + "/Notes/2024/January/Note.txt.fvdbe"));

    // Within one database, named twice: opened once.
    r = cli({"--password-file", pw, "cp", secret, "Notes/Report.rtfd", "--from", secret, "--to", "Bank"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(cli({"--password-file", pw, "cat", secret, "Bank/Report.rtfd/TXT.rtf"}).out,
              cli({"--password-file", pw, "cat", secret, "Notes/Report.rtfd/TXT.rtf"}).out);

    // Without the source's password nothing is copied; both passwords on one input are refused.
    const QByteArray before = cli({"dump", plain}).out;
    r = cli({"cp", plain, "Bank/Letter.pdf", "--from", secret, "--from-password-file", scratch_.file("none")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot be read")) << r.err.constData();
    r = cli({"--password-stdin", "cp", plain, "Bank/Letter.pdf", "--from", secret, "--from-password-stdin"}, "a\nb\n");
    EXPECT_EQ(r.exitCode, 2);
    r = cli({"cp", plain, "Nothing.pdf", "--from", secret, "--from-password-file", pw});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("no item \"Nothing.pdf\"")) << r.err.constData();
    EXPECT_EQ(cli({"dump", plain}).out, before);
    expectIndexAgreesWithAttributes(plain);
}

TEST_F(CliEdit, DiskErrorIsLoggedReportedAndLeavesARebuild)
{
    const QString pkg = copyOf("Household.fvdb");
    // A folder where the new folder's attributes file must go: the disk refuses the write
    // after the folder itself was made.
    ASSERT_TRUE(QDir().mkdir(pkg + "/.+Trips"));
    const ProcessResult r = cli({"mkdir", pkg, "Trips"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
    EXPECT_TRUE(r.err.contains("Disk error: Writing attributes file of Trips: ")) << r.err.constData();
    const QByteArray log = folivo::test::readAll(scratch_.file("state/folivo/Folivo.log"));
    EXPECT_TRUE(log.contains("Writing attributes file of:Trips")) << log.constData();
    // Not saved over: the next open rebuilds from what reached the disk.
    EXPECT_TRUE(QFile::exists(pkg + "/.changed"));
}

TEST_F(CliEdit, SaveWritesTheIndexOfACrashedDatabaseOnce)
{
    const QString pkg = copyOf("Crashed.fvdb");
    ASSERT_TRUE(QFile::exists(pkg + "/.changed"));
    ProcessResult r = cli({"save", pkg});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "Saved " + pkg.toUtf8() + "\n");
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    // The saved index holds what the rebuild found.
    EXPECT_TRUE(tree(pkg).contains("Late.txt"));
    r = cli({"save", pkg});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Nothing to save in " + pkg.toUtf8() + "\n");
}

TEST_F(CliEdit, BackupRotatesCopiesInTheFolderGivenOrTheOneInThePreferences)
{
    const QString pkg = copyOf("Household.fvdb");
    const QString dir = scratch_.file("backups");
    ASSERT_TRUE(QDir().mkpath(dir));
    for (int n = 0; n < 3; ++n) {
        const ProcessResult r = cli({"backup", pkg, "--to", dir, "--keep", "1"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(r.out, "Backed up " + pkg.toUtf8() + " -> " + dir.toUtf8() + "/1Household.fvdb\n");
    }
    EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"1Household.fvdb", "2Household.fvdb"}));
    EXPECT_EQ(tree(dir + "/1Household.fvdb"), tree(pkg));

    // No folder anywhere, then a folder inside the database itself: refused.
    ProcessResult r = cli({"backup", pkg});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("--to")) << r.err.constData();
    r = cli({"backup", pkg, "--to", pkg + "/Bank"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot be used")) << r.err.constData();

    // The folder and count the GUI's preferences name.
    const QString fromPrefs = scratch_.file("from prefs");
    ASSERT_TRUE(QDir().mkpath(fromPrefs));
    {
        folivo::KTPrefs prefs(QStringLiteral("org.folivo.Folivo"));
        prefs.setObject(folivo::plist::Value(fromPrefs), QStringLiteral("backupFolderPath"));
        prefs.setInteger(0, QStringLiteral("BackupKeep"));
        ASSERT_TRUE(prefs.synchronize());
    }
    const QByteArray prefsBefore = folivo::test::readAll(folivo::KTPrefs::prefsFileFor(QStringLiteral("org.folivo.Folivo")));
    for (int n = 0; n < 2; ++n) {
        r = cli({"backup", pkg});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(r.out, "Backed up " + pkg.toUtf8() + " -> " + fromPrefs.toUtf8() + "/1Household.fvdb\n");
    }
    EXPECT_EQ(QDir(fromPrefs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"1Household.fvdb"}));
    // Read, never written from here.
    EXPECT_EQ(folivo::test::readAll(folivo::KTPrefs::prefsFileFor(QStringLiteral("org.folivo.Folivo"))), prefsBefore);
}

// A database with a file removed by hand and a file copied in by hand: every command
// only reports it, check says what disagrees, and the two repairs do what they say.
TEST_F(CliEdit, CheckReportsAndRepairsWhatDoesNotAgree)
{
    const QString pkg = copyOf("Household.fvdb");
    ASSERT_EQ(cli({"check", pkg}).exitCode, 0);
    ASSERT_TRUE(QFile::remove(pkg + "/Unfiled/Note.txt"));
    QFile(pkg + "/Bank").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(folivo::test::writeAll(pkg + "/Bank/Stray.pdf", "copied in by hand"));

    // Other commands report and change nothing.
    ProcessResult r = cli({"tree", pkg});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Unfiled/Note.txt")) << r.err.constData();
    EXPECT_TRUE(r.out.contains("Note.txt"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Stray.pdf"));

    r = cli({"check", pkg});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.out.contains("Unfiled/Note.txt")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("Bank/Stray.pdf"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Stray.pdf"));

    // Recovery needs a new folder outside the database; nothing is deleted otherwise.
    r = cli({"check", pkg, "--repair=recover", pkg + "/Inside"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Stray.pdf"));

    const QString into = scratch_.file("Recovered");
    r = cli({"check", pkg, "--repair=recover", into});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(folivo::test::readAll(into + "/Stray.pdf"), "copied in by hand");
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/Stray.pdf"));
    EXPECT_FALSE(tree(pkg).contains("Note.txt"));
    EXPECT_EQ(cli({"check", pkg}).exitCode, 0);

    // Delete takes files without items, without asking for a folder.
    ASSERT_TRUE(folivo::test::writeAll(pkg + "/Unfiled/Other.txt", "stray"));
    EXPECT_EQ(cli({"check", pkg, "--repair=delete"}).exitCode, 0);
    EXPECT_FALSE(QFile::exists(pkg + "/Unfiled/Other.txt"));
    EXPECT_EQ(cli({"check", pkg, "--repair=maybe"}).exitCode, 2);
}

// The changing commands on an encrypted database: what each leaves reads back with the
// password, and no plain copy of a document is left in the package.
TEST_F(CliEdit, EveryChangeWorksOnAnEncryptedDatabase)
{
    const QString secret = copyOf("Encrypted.fvdb");
    const QString pw = scratch_.file("pw");
    ASSERT_TRUE(folivo::test::writeAll(pw, password().toUtf8() + "\n"));
    const QString outside = scratch_.file("scan.txt");
    ASSERT_TRUE(folivo::test::writeAll(outside, "scanned words"));
    auto run = [&](const QStringList& args) {
        const ProcessResult r = cli(QStringList{"--password-file", pw} + args);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString() << ": " << r.err.constData();
        return r;
    };
    const QByteArray letter = run({"cat", secret, "Bank/Letter.pdf"}).out;
    ASSERT_FALSE(letter.isEmpty());

    run({"mkdir", secret, "Archive"});
    // The letter may carry an ending date and then lands in Archive's year and month.
    const QByteArray moved = run({"mv", secret, "Bank/Letter.pdf", "Archive"}).out.trimmed();
    const QString at = QString::fromUtf8(moved.mid(moved.indexOf("-> ") + 3));
    ASSERT_TRUE(at.startsWith("Archive/") && at.endsWith("/Letter.pdf")) << moved.constData();
    const QString renamed = at.chopped(QStringLiteral("Letter.pdf").size()) + "Letter 2024.pdf";
    run({"rename", secret, at, "Letter 2024.pdf"});
    run({"dup", secret, renamed});
    run({"store", secret, outside, "--to", "Archive", "--end-date", "2024-05-31"});
    run({"rm", secret, "Notes/Old.rtfd"});

    EXPECT_EQ(run({"cat", secret, renamed}).out, letter);
    EXPECT_EQ(run({"cat", secret, "Unfiled/Letter 2024 copy.pdf"}).out, letter);
    EXPECT_EQ(run({"cat", secret, "Archive/2024/May/scan.txt"}).out, "scanned words");
    EXPECT_FALSE(run({"tree", secret}).out.contains("Old.rtfd"));
    EXPECT_EQ(run({"check", secret}).exitCode, 0);
    QDirIterator it(secret, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        EXPECT_FALSE(folivo::test::readAll(f).contains("scanned words")) << f.toStdString();
        EXPECT_TRUE(f.startsWith(secret + "/.") || f.contains("/.") || f.endsWith(".fvdbe") || f.endsWith(".fvdbzre")
                    || f.endsWith(".fvdbze"))
            << "plain file in the package: " << f.toStdString();
    }
}
