// folivo-cli from the outside: arguments, output and exit codes.

#include "runcli.h"
#include "support/testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using folivo::test::ProcessResult;
using folivo::test::Scratch;

namespace {

ProcessResult cli(const QStringList& args, const QByteArray& input = {})
{
    return folivo::test::runCli(args, input);
}

// The program itself, for its exit status and where it reads passwords from.
ProcessResult program(const QStringList& args, const QByteArray& input = {})
{
    return folivo::test::runCliProcess(args, input);
}

QJsonValue json(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson("[" + text + "]", &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.left(200).constData();
    return doc.array().at(0);
}

class Cli : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures_ = new Scratch;
        ASSERT_TRUE(folivo::test::makeFixtures(fixtures_->path()));
    }
    static void TearDownTestSuite() { delete fixtures_; }
    static QString fixture(const QString& name) { return fixtures_->file(name); }
    static Scratch* fixtures_;
    Scratch scratch_;
};
Scratch* Cli::fixtures_ = nullptr;

} // namespace

TEST_F(Cli, UsageErrorsExitWithTwo)
{
    const QList<QStringList> cases = {{}, {"frobnicate", "x"}, {"tree"}, {"show", "a.fvdb"}, {"--bogus", "tree", "x"}};
    for (const QStringList& args : cases) {
        const ProcessResult r = program(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Usage:")) << r.err.constData();
    }
    EXPECT_EQ(program({"--help"}).exitCode, 0);
}

TEST_F(Cli, RefusalsExitWithOneAndSayWhy)
{
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"tree", fixture("NotADatabase.fvdb")}, "not a valid Folivo database"},
        {{"--password-stdin", "tree", fixture("Encrypted.fvdb")}, "no password was given or accepted"},
        {{"tree", fixture("Missing.fvdb")}, "no database"},
        {{"show", fixture("Household.fvdb"), "No/Such/Item"}, "no item"},
        {{"create", fixture("Household.fvdb")}, "already exists"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = cli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(Cli, CreateThenTree)
{
    const ProcessResult made = cli({"create", scratch_.file("Home")});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    EXPECT_EQ(made.out.trimmed(), scratch_.file("Home.fvdb").toUtf8());
    const ProcessResult tree = cli({"tree", scratch_.file("Home.fvdb")});
    EXPECT_EQ(tree.exitCode, 0);
    EXPECT_EQ(tree.out, "Unfiled/\n");
}

TEST_F(Cli, TreeMarksKindsAndIndents)
{
    const ProcessResult r = cli({"tree", fixture("Household.fvdb")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QList<QByteArray> lines = r.out.split('\n');
    EXPECT_TRUE(lines.contains("Unfiled/"));
    EXPECT_TRUE(lines.contains("  Note.txt"));
    EXPECT_TRUE(lines.contains("Bank/"));
    EXPECT_TRUE(lines.contains("    2023/ [date]"));
    EXPECT_TRUE(lines.contains("      March/ [date]"));
    EXPECT_TRUE(lines.contains("Last Import [smart folder]"));
    // Bank's children keep the stored order, not alphabetical order.
    EXPECT_LT(lines.indexOf("  Welcome Letter.pdf"), lines.indexOf("  Visa/"));
}

TEST_F(Cli, DumpMatchesAnIndependentReaderOfTheIndex)
{
    const ProcessResult ours = cli({"dump", fixture("Household.fvdb")});
    ASSERT_EQ(ours.exitCode, 0) << ours.err.constData();
    const ProcessResult theirs = folivo::test::run(
        "python3", {FOLIVO_SOURCE_DIR "/tests/fixtures/plistdump.py", "--tree", fixture("Household.fvdb")});
    ASSERT_EQ(theirs.exitCode, 0) << theirs.err.constData();
    EXPECT_EQ(json(ours.out), json(theirs.out));
}

TEST_F(Cli, ShowPrintsEveryKeyWithItsType)
{
    const ProcessResult r = cli({"show", fixture("Household.fvdb"), "Unfiled/Note.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonObject keys = json(r.out).toObject().value("dict").toObject();
    EXPECT_EQ(keys.value("Path").toObject(), QJsonObject({{"string", "Unfiled/Note.txt"}}));
    EXPECT_EQ(keys.value("ZZBig").toObject(), QJsonObject({{"unsigned", "18446744073709551615"}}));
    EXPECT_EQ(keys.value("ZZNeg").toObject(), QJsonObject({{"integer", "-42"}}));
    EXPECT_FALSE(keys.contains("Children"));
}

TEST_F(Cli, RebuildOptionRebuildsFromAttributesFiles)
{
    // Crashed.fvdb rebuilds by itself (".changed"); Household rebuilds only on request,
    // and then from the attributes files, which hold the same tree.
    Scratch copy;
    const QString pkg = copy.file("H.fvdb");
    ASSERT_EQ(folivo::test::run("cp", {"-a", fixture("Household.fvdb"), pkg}).exitCode, 0);
    const ProcessResult normal = cli({"dump", pkg});
    const ProcessResult rebuilt = cli({"--rebuild", "dump", pkg});
    ASSERT_EQ(rebuilt.exitCode, 0) << rebuilt.err.constData();
    EXPECT_TRUE(rebuilt.err.contains("Rebuild Index"));
    EXPECT_EQ(json(rebuilt.out), json(normal.out));
    // A command that only reads rebuilds in memory: the package is left as it was, and what
    // a change would write is said.
    EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
    EXPECT_TRUE(rebuilt.err.contains("rebuild the index from the attributes files")) << rebuilt.err.constData();

    const ProcessResult crashed = cli({"tree", fixture("Crashed.fvdb")});
    EXPECT_TRUE(crashed.out.contains("Late.txt"));
}

namespace {

// Plain files inside an encrypted package other than the few that hold nothing of the
// owner's: a plain item, attributes file, index or transient container is a leak.
QStringList plainLeftovers(const QString& root)
{
    static const QStringList allowed = {".attributesState", ".customAttributeNames", ".dindexVer4", ".changed",
                                        ".encrypted", ".warnedaboutbackup", ".backupCount"};
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = it.next().mid(root.size() + 1);
        const QString suffix = QFileInfo(rel).suffix();
        if (!allowed.contains(rel) && suffix != "fvdbe" && suffix != "fvdbzre" && suffix != "fvdbze")
            found << rel;
    }
    return found;
}

} // namespace

TEST_F(Cli, CatGivesEachItemsExactBytesFromAnEncryptedDatabase)
{
    const QJsonObject manifest =
        QJsonDocument::fromJson(folivo::test::readAll(fixture("manifest.json"))).object().value("Encrypted.fvdb").toObject();
    const QString password = manifest.value("password").toString();
    Scratch copy;
    const QString pkg = copy.file("E.fvdb");
    ASSERT_EQ(folivo::test::run("cp", {"-a", fixture("Encrypted.fvdb"), pkg}).exitCode, 0);
    ASSERT_TRUE(folivo::test::writeAll(copy.file("pw"), password.toUtf8() + "\n"));

    QList<QPair<QString, QByteArray>> expected;
    const QJsonObject contents = manifest.value("contents").toObject();
    for (auto it = contents.begin(); it != contents.end(); ++it)
        expected << qMakePair(it.key(), QByteArray::fromHex(it.value().toString().toLatin1()));
    const QJsonObject bundles = manifest.value("bundles").toObject();
    for (auto b = bundles.begin(); b != bundles.end(); ++b) {
        const QJsonObject inner = b.value().toObject();
        for (auto it = inner.begin(); it != inner.end(); ++it)
            expected << qMakePair(b.key() + "/" + it.key(), QByteArray::fromHex(it.value().toString().toLatin1()));
    }
    ASSERT_GE(expected.size(), 8);
    bool viaStdin = false;
    for (const auto& [path, bytes] : expected) {
        SCOPED_TRACE(path.toStdString());
        // Both ways of giving the password, in turn.
        viaStdin = !viaStdin;
        const ProcessResult r = viaStdin ? cli({"--password-stdin", "cat", pkg, path}, password.toUtf8() + "\n")
                                         : cli({"--password-file", copy.file("pw"), "cat", pkg, path});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(r.out.toHex(), bytes.toHex());
    }
    EXPECT_TRUE(plainLeftovers(pkg).isEmpty()) << plainLeftovers(pkg).join(", ").toStdString();

    // A folder item alone, a folder, a missing file inside a bundle: refused, nothing written.
    for (const QString path : {"Notes/Report.rtfd", "Notes", "Notes/Report.rtfd/nothing.txt", "Nope.txt"}) {
        const ProcessResult r = cli({"--password-file", copy.file("pw"), "cat", pkg, path});
        EXPECT_EQ(r.exitCode, 1) << path.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
    const ProcessResult tree = cli({"--password-stdin", "tree", pkg}, password.toUtf8());
    EXPECT_EQ(tree.exitCode, 0) << tree.err.constData();
    EXPECT_TRUE(tree.out.contains("Tom's café.txt"));
    EXPECT_TRUE(plainLeftovers(pkg).isEmpty()) << plainLeftovers(pkg).join(", ").toStdString();
}

TEST_F(Cli, PasswordsComeFromAFileOrStdinNeverTheCommandLine)
{
    Scratch copy;
    ASSERT_TRUE(folivo::test::writeAll(copy.file("wrong"), "not the password\n"));
    const ProcessResult wrong = program({"--password-file", copy.file("wrong"), "tree", fixture("EncryptedNoMarker.fvdb")});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_TRUE(wrong.err.contains("Wrong password")) << wrong.err.constData();
    EXPECT_TRUE(wrong.out.isEmpty());

    const ProcessResult missing = program({"--password-file", copy.file("none"), "tree", fixture("EncryptedNoMarker.fvdb")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("cannot be read")) << missing.err.constData();

    EXPECT_EQ(program({"--password", "password", "tree", fixture("EncryptedNoMarker.fvdb")}).exitCode, 2);
    EXPECT_EQ(program({"tree", fixture("Household.fvdb"), "--password-file"}).exitCode, 2);

    // A plain database needs no password and reads the same way.
    const ProcessResult plain = program({"cat", fixture("Household.fvdb"), "Unfiled/Note.txt"});
    EXPECT_EQ(plain.exitCode, 0) << plain.err.constData();
    EXPECT_EQ(plain.out, QByteArray("fixture Unfiled/Note.txt\n"));
}

// On a terminal the password is typed without echo, from the moment the question shows,
// and a Ctrl-C at the question leaves the terminal as it was, echo on.
TEST_F(Cli, ThePasswordIsAskedOnTheTerminalWithoutEchoAndCtrlCPutsEchoBack)
{
    static const char* script = R"PY(
import os, pty, select, sys, termios, time
cli, pkg = sys.argv[1], sys.argv[2]
pid, fd = pty.fork()
if pid == 0:
    os.execv(cli, [cli, "tree", pkg])
seen = b""
def wait_for(count):
    global seen
    end = time.time() + 30
    while seen.count(b"Enter the password") < count and time.time() < end:
        if select.select([fd], [], [], 0.2)[0]:
            try:
                seen += os.read(fd, 4096)
            except OSError:
                break
wait_for(1)
os.write(fd, b"not-the-secret\n")  # at once, as a fast typist or a paste would
wait_for(2)
os.write(fd, b"\x03")
_, status = os.waitpid(pid, 0)
echo = bool(termios.tcgetattr(fd)[3] & termios.ECHO)
print("prompts", seen.count(b"Enter the password"))
print("echoed", b"not-the-secret" in seen)
print("interrupted", os.WIFSIGNALED(status))
print("echo after", echo)
)PY";
    const ProcessResult r = folivo::test::run("python3", {"-c", script, QStringLiteral(FOLIVO_CLI), fixture("Encrypted.fvdb")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("prompts 2")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("echoed False")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("interrupted True")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("echo after True")) << r.out.constData();
}
