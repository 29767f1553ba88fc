// folivo-cli importing and filing: where each file goes with which dates, in plain and
// encrypted databases, the import folder drained once, and the commands that only show
// what the parser and the rules decide.

#include "prefs/ktprefs.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "runcli.h"
#include "support/minipdf.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace folivo;
using folivo::test::ProcessResult;
using folivo::test::Scratch;

namespace {

class CliImport : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures_ = new Scratch;
        ASSERT_TRUE(folivo::test::makeFixtures(fixtures_->path()));
    }
    static void TearDownTestSuite() { delete fixtures_; }

    void SetUp() override
    {
        // The program reads the application preferences from here.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
    }
    ProcessResult cli(const QStringList& args)
    {
        return folivo::test::runCli(args);
    }
    QString password() const
    {
        return QJsonDocument::fromJson(folivo::test::readAll(fixtures_->file("manifest.json")))
            .object().value("Encrypted.fvdb").toObject().value("password").toString();
    }
    // A database with folders whose match strings and phrases file statements.
    QString prepare(bool encrypted)
    {
        QString pkg = scratch_.file(encrypted ? "Encrypted.fvdb" : "Plain.fvdb");
        SilentUi silent;
        MyDocument doc(silent);
        if (encrypted) {
            EXPECT_EQ(folivo::test::run("cp", {"-a", fixtures_->file("Encrypted.fvdb"), pkg}).exitCode, 0);
            EXPECT_TRUE(folivo::test::writeAll(scratch_.file("pw"), password().toUtf8() + "\n"));
            struct Ui : SilentUi {
                QString pw;
                bool askPassword(const PasswordRequest&, const PasswordCheck& check) override { return check(pw); }
            } ui;
            ui.pw = password();
            MyDocument enc(ui);
            EXPECT_TRUE(enc.openDatabase(pkg).ok());
            addFolders(enc);
            return pkg;
        }
        EXPECT_TRUE(doc.createDatabase(pkg).ok());
        addFolders(doc);
        return pkg;
    }
    // An empty import folder, switched on in the database's settings.
    QString importFolderFor(const QString& pkg)
    {
        const QString box = scratch_.file("box");
        QDir().mkpath(box);
        SilentUi ui;
        MyDocument doc(ui);
        if (!doc.openDatabase(pkg).ok())
            return {};
        doc.settings().importFolderEnabled = true;
        doc.settings().importFolderPath = box;
        return doc.saveDBSpecificPreferences() ? box : QString();
    }
    static void addFolders(MyDocument& doc)
    {
        for (const QString& p : {"Bank", "Bank/Visa", "Bank/Checking", "Taxes"}) {
            const qsizetype slash = p.lastIndexOf('/');
            const IndexItem* parent = slash < 0 ? nullptr : doc.tree().itemForPath(p.left(slash));
            if (doc.tree().itemForPath(p))
                continue;
            EXPECT_EQ(doc.recordNewCategory(p, parent, -1).status, OperationResult::Status::Done);
        }
        IndexItem* checking = doc.tree().itemForPath("Bank/Checking");
        checking->setValue("categoryMatch", QStringLiteral("First Town Bank"));
        checking->setValue("endingDateMatch", QStringLiteral("Statement Date:"));
        doc.writeAttributesFileForItem(checking);
        EXPECT_TRUE(doc.saveChanges(false).error.isEmpty());
    }
    QStringList pw() const
    {
        return QFileInfo::exists(scratch_.file("pw")) ? QStringList{"--password-file", scratch_.file("pw")} : QStringList{};
    }
    QString file(const QString& name, const QByteArray& data)
    {
        const QString path = scratch_.file("in/" + name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(folivo::test::writeAll(path, data));
        return path;
    }

    static inline Scratch* fixtures_ = nullptr;
    Scratch scratch_;
};

class CliImportBoth : public CliImport, public ::testing::WithParamInterface<bool> {};

TEST_P(CliImportBoth, ImportPrintsWhereEachFileWentWithItsDates)
{
    const QString pkg = prepare(GetParam());
    const QString visa = file("Visa+2023q2.pdf", folivo::test::makeTextPdf({"Card"}));
    const QString scan = file("scan.pdf", folivo::test::makeTextPdf({"First Town Bank", "Statement Date: 03/31/2024"}));
    const QString loose = file("note.txt", "nothing to go by");
    ProcessResult r = cli(pw() + QStringList{"import", pkg, visa, scan, loose});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(visa + " -> Bank/Visa/2023/June/Visa+2023q2.pdf [2023-04-01 \u2013 2023-06-30]\n")) << r.out.constData();
    EXPECT_TRUE(out.contains(scan + " -> Bank/Checking/2024/March/scan.pdf [2024-03-01 \u2013 2024-03-31]\n")) << r.out.constData();
    EXPECT_TRUE(out.contains(loose + " -> Unfiled/note.txt\n")) << r.out.constData();

    // What was printed is what the database holds, and it reads back.
    r = cli(pw() + QStringList{"cat", pkg, "Bank/Checking/2024/March/scan.pdf"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, folivo::test::readAll(scan));
    r = cli(pw() + QStringList{"show", pkg, "Bank/Visa/2023/June/Visa+2023q2.pdf"});
    EXPECT_TRUE(r.out.contains("EndDate")) << r.out.constData();

    // Without filing, into the folder named.
    r = cli(pw() + QStringList{"import", pkg, file("Visa+2024q1.pdf", "%PDF-1.4"), "--no-autofile", "--to", "Taxes"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.endsWith(" -> Taxes/Visa+2024q1.pdf\n")) << r.out.constData();
}

TEST_P(CliImportBoth, TheFilingPreferencesOfTheApplicationApply)
{
    const QString pkg = prepare(GetParam());
    for (const QString& name : {"Old VISA Cards", "Visas"}) {
        const ProcessResult r = cli(pw() + QStringList{"mkdir", pkg, name});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    }
    {
        KTPrefs prefs(QStringLiteral("org.folivo.Folivo"));
        prefs.setInteger(3, "MatchType"); // a whole word
        prefs.setBool(true, "IgnoreCase");
        prefs.setBool(true, "EuropeanDates");
        ASSERT_TRUE(prefs.synchronize());
    }
    const QString a = file("visa+2024q2.pdf", "%PDF-1.4");
    const QString b = file("Visas+31.1.24.txt", "day first");
    const ProcessResult r = cli(pw() + QStringList{"import", pkg, a, b});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains(a.toUtf8() + " -> Old VISA Cards/2024/June/visa+2024q2.pdf [2024-04-01 \u2013 2024-06-30]\n"))
        << r.out.constData();
    EXPECT_TRUE(r.out.contains(b.toUtf8() + " -> Visas/2024/January/Visas+31.1.24.txt [2024-01-01 \u2013 2024-01-31]\n"))
        << r.out.constData();
}

INSTANTIATE_TEST_SUITE_P(PlainAndEncrypted, CliImportBoth, ::testing::Bool());

TEST_F(CliImport, AFolderArgumentIsImportedAsAHierarchy)
{
    const QString pkg = prepare(false);
    file("Trip/a.txt", "a");
    file("Trip/Hotel/b.txt", "b");
    file("Trip/.hidden", "h");
    // Written with a slash after it, as shells complete folder names.
    const ProcessResult r = cli({"import", pkg, scratch_.file("in/Trip") + "/"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains(" -> Trip/\n")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("in/Trip/Hotel/b.txt -> Trip/Hotel/b.txt\n")) << r.out.constData();
    EXPECT_FALSE(r.out.contains("hidden"));
    const ProcessResult missing = cli({"import", pkg, scratch_.file("in/none.txt")});
    EXPECT_EQ(missing.exitCode, 1);
}

TEST_F(CliImport, ParseDateShowsWhatTheParserReads)
{
    struct Case {
        QStringList args;
        int exit;
        const char* out;
    };
    const QList<Case> cases = {
        {{"3/31/2024"}, 0, "2024-03-31 (9 characters)\n"},
        {{"31/3/2024", "--european"}, 0, "2024-03-31 (9 characters)\n"},
        {{"2023/5/6", "--european"}, 0, "2023-05-06 (8 characters)\n"},
        {{"  March 5, 2024"}, 0, "2024-03-05 (13 characters)\n"},
        {{"20230506 statement"}, 0, "2023-05-06 (8 characters)\n"},
        {{"3/31/2024 and more", "--trailing"}, 0, "2024-03-31 (9 characters)\n"},
        {{"3/31/2024 and more"}, 1, ""},
        {{"1 2 3"}, 1, ""},
        {{"2q24"}, 0, "quarter 2024-04-01 \u2013 2024-06-30\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = cli(QStringList{"parse-date"} + c.args);
        EXPECT_EQ(r.exitCode, c.exit) << c.args.join(' ').toStdString() << r.err.constData();
        EXPECT_EQ(QString::fromUtf8(r.out).toStdString(), c.out) << c.args.join(' ').toStdString();
    }
}

TEST_F(CliImport, FileAsShowsTheDecisionWithoutChangingAnything)
{
    const QString pkg = prepare(false);
    const QString text = file("statement.txt", "First Town Bank\nStatement Date: 04/30/2024\n");
    const QByteArray before = cli({"dump", pkg}).out;
    ProcessResult r = cli({"file-as", pkg, "scan.pdf", "--text-file", text});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).toStdString(),
              "scan.pdf -> Bank/Checking/2024/April/scan.pdf [2024-03-31 \u2013 2024-04-30] (by Text Match, dates from the text)\n");
    r = cli({"file-as", pkg, "Visa+1-5-24+1-31-24.pdf"});
    EXPECT_EQ(QString::fromUtf8(r.out).toStdString(),
              "Visa+1-5-24+1-31-24.pdf -> Bank/Visa/2024/January/Visa+1-5-24+1-31-24.pdf [2024-01-05 \u2013 2024-01-31] (by Filename Match)\n");
    EXPECT_EQ(cli({"dump", pkg}).out, before);
}

TEST_F(CliImport, DrainEmptiesTheImportFolderOnce)
{
    const QString pkg = prepare(false);
    const QString box = importFolderFor(pkg);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(folivo::test::writeAll(box + "/Visa+2024q1.txt", "statement"));
    QDir().mkpath(box + "/Sub");
    ProcessResult r = cli({"drain", pkg, "--settle", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("-> Bank/Visa/2024/March/Visa+2024q1.txt [2024-01-01 \u2013 2024-03-31]\n")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("Deleted " + box.toUtf8() + "/Visa+2024q1.txt")) << r.out.constData();
    EXPECT_FALSE(QFile::exists(box + "/Visa+2024q1.txt"));
    EXPECT_TRUE(QFileInfo(box + "/Sub").isDir());
    r = cli({"drain", pkg, "--settle", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(r.out.contains("Deleted")) << r.out.constData();
}

TEST_F(CliImport, DrainWithTheImportLogReportsOnlyTheFoldersFiles)
{
    const QString pkg = prepare(false);
    const QString box = importFolderFor(pkg);
    ASSERT_FALSE(box.isEmpty());
    {
        KTPrefs prefs(QStringLiteral("org.folivo.Folivo"));
        prefs.setBool(true, "ImportLog");
        ASSERT_TRUE(prefs.synchronize());
    }
    ASSERT_TRUE(folivo::test::writeAll(box + "/bill.txt", "bill"));
    const ProcessResult r = cli({"drain", pkg, "--settle", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.contains("Import log -> ")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("Deleted " + box.toUtf8() + "/bill.txt")) << r.out.constData();
    // The log is stored by the drain, but it is no file of the folder whose copy failed.
    EXPECT_FALSE(r.out.contains("did not read back the same")) << r.out.constData();
}

} // namespace

TEST_F(CliImport, AnImportOnAFullDiskSaysSo)
{
    // A real full disk: the database on a small tmpfs in a mount namespace of its own.
    const QString pkg = prepare(false);
    const QString big = file("big.bin", QByteArray(2 << 20, 'x'));
    const QString small = scratch_.file("small");
    QDir().mkpath(small);
    const QString script = QStringLiteral("mount -t tmpfs -o size=512k tmpfs '%1' || exit 99; cp -a '%2' '%1/' || exit 98; "
                                          "exec '%3' import '%1/Plain.fvdb' '%4'")
                               .arg(small, pkg, QStringLiteral(FOLIVO_CLI), big);
    const ProcessResult r = folivo::test::run("unshare", {"-m", "sh", "-c", script});
    if (r.exitCode == 99 || r.exitCode == 98)
        GTEST_SKIP() << "no small file system could be mounted here: " << r.err.constData();
    EXPECT_NE(r.exitCode, 0);
    const QString said = QString::fromUtf8(r.out + r.err);
    EXPECT_TRUE(said.contains("no space")) << said.toStdString();
    EXPECT_FALSE(said.contains("unknown reason")) << said.toStdString();
}

TEST_F(CliImport, CatReadsAFileWhoseNamesTheDiskDecomposes)
{
    const QString pkg = scratch_.file("Decomposed.fvdb");
    ASSERT_EQ(folivo::test::run("cp", {"-a", fixtures_->file("Decomposed.fvdb"), pkg}).exitCode, 0);
    const ProcessResult r = cli({"cat", pkg, QString::fromUtf8("Café/Résumé.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, QString::fromUtf8("fixture Café/Résumé.txt\n").toUtf8());
}
