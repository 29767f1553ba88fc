// Export and mail hand-offs: the names chosen, destinations that are never emptied, every
// failure kept, and plain copies for a mail program that never collide or vanish early.

#include "export/exportplan.h"
#include "export/messages.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/packagefixtures.h"
#include "support/testsupport.h"
#include "util/fs.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace folivo;
using namespace folivo::test;

namespace {

const QByteArray Pdf = "%PDF-1.4\n% a statement\n";

QStringList listing(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(root.size() + 1);
    found.sort();
    return found;
}

unsigned modeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}



// A plain database: a PDF stored without extension, one stored as ".PDF", a text, and a
// folder with a subfolder holding a "Statement.pdf" like the one in "Unfiled".
class Export : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A Trash of the test's own, on the file system of the files it takes.
        data_ = std::make_unique<ScopedEnv>("XDG_DATA_HOME", QFile::encodeName(scratch_.file("data")));
        ASSERT_TRUE(doc_.createDatabase(scratch_.file("Home.fvdb")).ok());
        for (const auto& [name, data, parent] : std::initializer_list<std::tuple<QString, QByteArray, QString>>{
                 {"Letter.pdf", Pdf, "Unfiled"},
                 {"Scan.pdf", Pdf, "Unfiled"},
                 {"note.txt", "plain words", "Unfiled"},
                 {"Statement.pdf", Pdf, "Unfiled"}}) {
            const OperationResult r = doc_.recordImport(name, data, parent, -1, {}, {});
            ASSERT_TRUE(r.ok()) << name.toStdString();
            ASSERT_EQ(r.resultPath, parent + "/" + name);
        }
        // Import gives a PDF its extension; stores written elsewhere may lack it.
        ASSERT_TRUE(doc_.recordRename("Unfiled/Letter.pdf", "Unfiled/Letter").ok());
        ASSERT_TRUE(doc_.recordRename("Unfiled/Scan.pdf", "Unfiled/Scan.PDF").ok());
        ASSERT_TRUE(item("Unfiled/Letter") && item("Unfiled/Scan.PDF"));
        ASSERT_TRUE(doc_.recordNewCategory("Bank", nullptr, -1).ok());
        ASSERT_TRUE(doc_.recordNewCategory("Bank/Visa", item("Bank"), -1).ok());
        ASSERT_TRUE(doc_.recordImport("Statement.pdf", Pdf, "Bank/Visa", -1, {}, {}).ok());
        ASSERT_TRUE(doc_.recordImport("fees.txt", "fees", "Bank", -1, {}, {}).ok());
        out_ = scratch_.file("out");
        ASSERT_TRUE(QDir().mkpath(out_));
    }
    const IndexItem* item(const QString& path) { return doc_.tree().itemForPath(path); }
    // Whether the test's Trash holds a folder `name` with `content` inside, and says where it was.
    bool inTrash(const QString& name, const QString& content, const QString& from)
    {
        return QFileInfo::exists(scratch_.file("data/Trash/files/" + name + "/" + content)) &&
               readAll(scratch_.file("data/Trash/info/" + name + ".trashinfo")).contains(QFile::encodeName(from));
    }
    ExportSelection select(const QStringList& paths)
    {
        ExportSelection s;
        for (const QString& p : paths) {
            s.items << item(p);
            EXPECT_TRUE(s.items.last()) << p.toStdString();
        }
        return s;
    }

    Scratch scratch_;
    std::unique_ptr<ScopedEnv> data_;
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString out_;
};

} // namespace

TEST(ExportNames, ReportQuestionFillsCountAndPlurals)
{
    struct Case {
        HandOffCommand command;
        int count;
        const char* text;
        const char* defaultButton;
    };
    const Case cases[] = {
        {HandOffCommand::Export, 1,
         "You have selected 1 Smart Folder with an associated report.  Do you want to export the report or the Smart "
         "Folder and its contents?",
         "Smart Folder"},
        {HandOffCommand::Export, 3,
         "You have selected 3 Smart Folders with an associated report.  Do you want to export the reports or the "
         "Smart Folders and their contents?",
         "Smart Folder"},
        {HandOffCommand::Mail, 1,
         "You have selected 1 Smart Folder with an associated report.  Do you want to mail the report or the Smart "
         "Folder's contents?",
         "Contents"},
        {HandOffCommand::Mail, 2,
         "You have selected 2 Smart Folders with an associated report.  Do you want to mail the reports or the Smart "
         "Folders' contents?",
         "Contents"},
        {HandOffCommand::Print, 2,
         "You have selected 2 Smart Folders with an associated report.  Do you want to print the reports or the "
         "files in the Smart Folders?",
         "Files"},
    };
    for (const Case& c : cases) {
        const ReportQuestion q = reportQuestion(c.command, c.count);
        EXPECT_EQ(q.text, QString::fromUtf8(c.text));
        EXPECT_EQ(q.defaultButton, QString::fromUtf8(c.defaultButton));
        EXPECT_EQ(q.otherButton, "Report");
    }
}

TEST(ExportNames, PdfExtensionAndExportedFolder)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Letter", "Letter.pdf"},         {"Scan.PDF", "Scan.pdf"}, {"a.Pdf", "a.pdf"},
        {"done.pdf", "done.pdf"},         {"scan.txt", "scan.txt.pdf"}, {".pdf", ".pdf.pdf"},
        {"v1.2 notes", "v1.2 notes.pdf"},
    };
    for (const auto& [name, fixed] : cases)
        EXPECT_EQ(pdfExtensionFixed(name), fixed) << name;
    EXPECT_EQ(exportedFolderName(QDate(2024, 3, 7), false), "Exported 3-07-2024");
    EXPECT_EQ(exportedFolderName(QDate(2024, 3, 7), true), "Exported 07-3-2024");
}

TEST(ExportNames, DestinationsInsideAPackageAreFound)
{
    Scratch scratch;
    const QString open = scratch.file("Open.fvdb"), closed = scratch.file("Closed.fvdb"), plain = scratch.file("Docs");
    for (const QString& d : {open + "/Bank", closed + "/x", plain})
        ASSERT_TRUE(QDir().mkpath(d));
    ASSERT_TRUE(QFile::link(open + "/Bank", scratch.file("Shortcut")));
    EXPECT_EQ(packageHolding(open + "/Bank/Exported", {open}), open);
    EXPECT_EQ(packageHolding(open, {open}), open);
    EXPECT_EQ(packageHolding(closed + "/x", {}), closed);
    EXPECT_EQ(packageHolding(scratch.file("New.fvdb/inner"), {}), scratch.file("New.fvdb"));
    // Through a link into the package, which a file dialog follows.
    EXPECT_EQ(packageHolding(scratch.file("Shortcut/Exported"), {open}), open);
    EXPECT_EQ(packageHolding(plain + "/Exported", {open}), std::nullopt);
}

TEST_F(Export, OnePdfGetsItsExtensionAndReplacesOnlyOnceCopied)
{
    Exporter exporter(doc_);
    struct Case {
        const char* item;
        const char* chosen;
        const char* final;
    };
    const Case cases[] = {
        {"Unfiled/Letter", "Letter", "Letter.pdf"},
        {"Unfiled/Scan.PDF", "Scan.PDF", "Scan.pdf"},
        {"Unfiled/note.txt", "mine.txt", "mine.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const QString final = exporter.finalFileDestination(*item(c.item), out_ + "/" + c.chosen);
        EXPECT_EQ(final, out_ + "/" + c.final);
        writeAll(final, "older");
        const ExportOutcome r = exporter.exportFile(*item(c.item), final);
        ASSERT_TRUE(r.ok()) << describeFailures(r.failures).toStdString();
        EXPECT_EQ(readAll(final), QString(c.item).endsWith(".txt") ? QByteArray("plain words") : Pdf);
        EXPECT_EQ(modeOf(final), 0644u);
    }
    // Nothing but the three copies: no temporary file left beside them.
    EXPECT_EQ(listing(out_), (QStringList{"Letter.pdf", "Scan.pdf", "mine.txt"}));
}

TEST_F(Export, AFolderWhereTheFileGoesIsTrashedNotEmptied)
{
    const QString dest = out_ + "/Letter.pdf";
    ASSERT_TRUE(QDir().mkpath(dest + "/kept"));
    writeAll(dest + "/kept/precious.txt", "mine");
    const ExportOutcome r = Exporter(doc_).exportFile(*item("Unfiled/Letter"), dest);
    ASSERT_TRUE(r.ok()) << describeFailures(r.failures).toStdString();
    EXPECT_EQ(readAll(dest), Pdf);
    EXPECT_TRUE(inTrash("Letter.pdf", "kept/precious.txt", dest));
}

TEST_F(Export, ALockedFileIsExportedReadOnly)
{
    IndexItem* letter = doc_.tree().itemForPath("Unfiled/Letter");
    letter->setValue("NSFileImmutable", true);
    const ExportOutcome r = Exporter(doc_).exportFile(*letter, out_ + "/Letter.pdf");
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(modeOf(out_ + "/Letter.pdf"), 0444u);
}

TEST_F(Export, SeveralItemsMakeANewFolderAndNeverEmptyAnExistingOne)
{
    const QString dest = out_ + "/Exported 3-07-2024";
    ASSERT_TRUE(QDir().mkpath(dest));
    writeAll(dest + "/precious.txt", "mine");
    ExportSelection s = select({"Bank", "Unfiled/Statement.pdf", "Unfiled/Letter"});
    QStringList progress;
    s.progress = [&](const QString& name) { progress << name; };

    const ExportOutcome unique = Exporter(doc_).exportAsFolder(s, dest, ExistingDestination::MakeUnique);
    ASSERT_TRUE(unique.ok()) << describeFailures(unique.failures).toStdString();
    EXPECT_EQ(unique.destination, out_ + "/Exported 3-07-20242");
    EXPECT_EQ(readAll(dest + "/precious.txt"), "mine");
    EXPECT_EQ(listing(unique.destination),
              (QStringList{"Bank", "Bank/Visa", "Bank/Visa/Statement.pdf", "Bank/fees.txt", "Letter.pdf",
                           "Statement.pdf"}));
    EXPECT_EQ(progress, (QStringList{"Bank", "Visa", "Statement.pdf", "fees.txt", "Statement.pdf", "Letter"}));

    // Replacing puts the old folder in the Trash, whole.
    const ExportOutcome replaced = Exporter(doc_).exportAsFolder(s, dest, ExistingDestination::Replace);
    ASSERT_TRUE(replaced.ok()) << describeFailures(replaced.failures).toStdString();
    EXPECT_EQ(replaced.destination, dest);
    EXPECT_FALSE(QFileInfo::exists(dest + "/precious.txt"));
    EXPECT_TRUE(inTrash("Exported 3-07-2024", "precious.txt", dest));
}

TEST_F(Export, NamesTakenInTheTargetGetUniqueVariants)
{
    writeAll(out_ + "/Statement.pdf", "theirs");
    ASSERT_TRUE(QDir().mkpath(out_ + "/Bank"));
    const ExportOutcome r =
        Exporter(doc_).exportInto(select({"Unfiled/Statement.pdf", "Bank/Visa/Statement.pdf", "Bank"}), out_);
    ASSERT_TRUE(r.ok()) << describeFailures(r.failures).toStdString();
    EXPECT_EQ(readAll(out_ + "/Statement.pdf"), "theirs");
    EXPECT_EQ(r.written, (QStringList{out_ + "/Statement2.pdf", out_ + "/Statement3.pdf",
                                      out_ + "/Bank2/Visa/Statement.pdf", out_ + "/Bank2/fees.txt"}));
}

TEST_F(Export, AFailingMiddleItemIsReportedThoughTheLastOneWorked)
{
    // The stored file of the middle item is gone from the package.
    ASSERT_TRUE(QFile::remove(doc_.dbPath() + "/Unfiled/Statement.pdf"));
    const ExportOutcome r =
        Exporter(doc_).exportAsFolder(select({"Unfiled/note.txt", "Unfiled/Statement.pdf", "Unfiled/Letter"}),
                                      out_ + "/Exported", ExistingDestination::MakeUnique);
    EXPECT_FALSE(r.ok());
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0].what, "Unfiled/Statement.pdf");
    EXPECT_EQ(r.written, (QStringList{out_ + "/Exported/note.txt", out_ + "/Exported/Letter.pdf"}));
}

TEST_F(Export, DestinationsInsideTheDatabaseAreRefused)
{
    const auto before = folderSnapshot(doc_.dbPath());
    Exporter exporter(doc_);
    const QString inside = doc_.dbPath() + "/Bank";
    const ExportSelection s = select({"Unfiled/note.txt"});
    for (const ExportOutcome& r : {exporter.exportInto(s, inside),
                                   exporter.exportAsFolder(s, inside + "/Exported", ExistingDestination::Replace),
                                   exporter.exportFile(*item("Unfiled/note.txt"), inside)}) {
        ASSERT_EQ(r.failures.size(), 1);
        EXPECT_TRUE(r.failures[0].why.contains("is inside the database")) << r.failures[0].why.toStdString();
        EXPECT_TRUE(r.written.isEmpty());
    }
    EXPECT_EQ(folderSnapshot(doc_.dbPath()), before);
}

TEST_F(Export, SmartFolderReportsBecomeCsvFiles)
{
    ExportSelection s = select({"Unfiled/note.txt"});
    // Any folder stands in for the smart folders here; only smart folders take reports.
    IndexItem* bank = doc_.tree().itemForPath("Bank");
    bank->setValue("SmartFolder", true);
    s.items << bank << bank;
    s.reportChosen = true;
    int made = 0;
    s.makeReport = [&](const IndexItem&) -> std::optional<Report> {
        if (++made == 2)
            return std::nullopt;
        return Report{};
    };
    const ExportOutcome r = Exporter(doc_).exportAsFolder(s, out_ + "/Reports", ExistingDestination::MakeUnique);
    bank->removeValue("SmartFolder");
    EXPECT_EQ(r.written, (QStringList{out_ + "/Reports/note.txt", out_ + "/Reports/Bank.csv"}));
    ASSERT_EQ(r.failures.size(), 1);
    EXPECT_EQ(r.failures[0], (ExportFailure{"Bank", exportmsg::NoReport}));
}

TEST_F(Export, MailHandOffsKeepEachFileApart)
{
    const HandOffFiles first = prepareHandOff(doc_, select({"Unfiled/Statement.pdf", "Bank", "Unfiled/Letter"}));
    ASSERT_TRUE(first.failures.isEmpty()) << describeFailures(first.failures).toStdString();
    ASSERT_EQ(first.attachments.size(), 4);
    EXPECT_EQ(QFileInfo(first.attachments[0]).fileName(), "Statement.pdf");
    EXPECT_EQ(QFileInfo(first.attachments[1]).fileName(), "Statement.pdf");
    EXPECT_NE(first.attachments[0], first.attachments[1]);
    EXPECT_EQ(QFileInfo(first.attachments[3]).fileName(), "Letter.pdf");
    for (const QString& a : first.attachments) {
        EXPECT_TRUE(a.startsWith(doc_.tempDir() + "/")) << a.toStdString();
        EXPECT_EQ(modeOf(a), 0400u);
    }
    // The package's own files are never handed over.
    EXPECT_EQ(readAll(doc_.dbPath() + "/Unfiled/Statement.pdf"), Pdf);

    const HandOffFiles second = prepareHandOff(doc_, select({"Unfiled/Statement.pdf"}));
    ASSERT_EQ(second.attachments.size(), 1);
    EXPECT_NE(second.folder, first.folder);
    for (const QString& a : first.attachments)
        EXPECT_TRUE(QFileInfo::exists(a)) << "an earlier mail lost " << a.toStdString();
    doc_.closeDatabase();
    EXPECT_FALSE(QFileInfo::exists(first.folder));
}

namespace {
class ExportEncrypted : public Fixtures {};
} // namespace

// Two files of one name from a read-only encrypted database: both deciphered, each apart.
TEST_F(ExportEncrypted, TwoStatementsFromAReadOnlyEncryptedDatabase)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    {
        ui_.passwords = {QStringLiteral("pässwörd")};
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        ASSERT_TRUE(doc.recordImport("Statement.pdf", Pdf + "unfiled", "Unfiled", -1, {}, {}).ok());
        ASSERT_TRUE(doc.recordImport("Statement.pdf", Pdf + "notes", "Notes", -1, {}, {}).ok());
        doc.closeDatabase();
    }
    ASSERT_FALSE(QFileInfo::exists(pkg + "/Unfiled/Statement.pdf")) << "stored plain";
    fs::ScopedFault readOnly([pkg](fs::Op op, const QString& p) { return op == fs::Op::Write && p == pkg; });
    ui_.passwords = {QStringLiteral("pässwörd")};
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    ASSERT_FALSE(doc.dbWriteable());
    ExportSelection s;
    s.items = {doc.tree().itemForPath("Unfiled/Statement.pdf"), doc.tree().itemForPath("Notes/Statement.pdf")};
    ASSERT_TRUE(s.items[0] && s.items[1]);
    const HandOffFiles files = prepareHandOff(doc, s);
    ASSERT_TRUE(files.failures.isEmpty()) << describeFailures(files.failures).toStdString();
    ASSERT_EQ(files.attachments.size(), 2);
    EXPECT_NE(files.attachments[0], files.attachments[1]);
    EXPECT_EQ(readAll(files.attachments[0]), Pdf + "unfiled");
    EXPECT_EQ(readAll(files.attachments[1]), Pdf + "notes");

    // Exported from the same database: plain copies outside, none left inside the package.
    const QString out = QFileInfo(pkg).absolutePath() + "/out";
    ASSERT_TRUE(QDir().mkpath(out));
    const ExportOutcome r = Exporter(doc).exportInto(s, out);
    ASSERT_TRUE(r.ok()) << describeFailures(r.failures).toStdString();
    EXPECT_EQ(readAll(out + "/Statement2.pdf"), Pdf + "notes");
    doc.closeDatabase();
    EXPECT_FALSE(QFileInfo::exists(files.attachments[0]));
}
