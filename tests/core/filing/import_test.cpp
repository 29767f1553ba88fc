// The import pipeline and the import folder on real packages: what goes where with which
// dates, what is skipped, the import log, the "Last Import" smart folder, and a drop box
// that never loses or duplicates a file.

#include "filing/importfolder.h"
#include "filing/importpipeline.h"
#include "filing/messages.h"
#include "prefs/ktprefs.h"
#include "store/bookmark.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/minipdf.h"
#include "support/packagefixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <unistd.h>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(", ").toStdString() << ']';
}

using namespace folivo;
using namespace folivo::test;

namespace {

const QDate Today(2024, 5, 15);

class Import : public Fixtures {
protected:
    void SetUp() override
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch_.file("config")));
        prefs_ = std::make_unique<KTPrefs>(QStringLiteral("org.folivo.FolivoImportTest"));
    }
    std::unique_ptr<MyDocument> create(const QString& name = "Import.fvdb")
    {
        auto doc = std::make_unique<MyDocument>(ui_);
        EXPECT_TRUE(doc->createDatabase(scratch_.file(name)).ok());
        doc->setApplicationPreferences(prefs_.get());
        return doc;
    }
    std::unique_ptr<MyDocument> openEncrypted()
    {
        auto doc = std::make_unique<MyDocument>(ui_);
        ui_.passwords = {QStringLiteral("pässwörd")};
        EXPECT_TRUE(doc->openDatabase(copyOf("Encrypted.fvdb")).ok());
        doc->setApplicationPreferences(prefs_.get());
        return doc;
    }
    static IndexItem* folder(MyDocument& doc, const QString& path)
    {
        if (IndexItem* existing = doc.tree().itemForPath(path))
            return existing;
        const qsizetype slash = path.lastIndexOf('/');
        IndexItem* parent = slash < 0 ? nullptr : folder(doc, path.left(slash));
        EXPECT_EQ(doc.recordNewCategory(path, parent, -1).status, OperationResult::Status::Done) << path.toStdString();
        return doc.tree().itemForPath(path);
    }
    QString write(const QString& rel, const QByteArray& data)
    {
        const QString path = scratch_.file("in/" + rel);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(writeAll(path, data));
        return path;
    }
    ImportOutcome run(MyDocument& doc, const QStringList& paths, const QString& selection = {}, int index = -1,
                      const QString& parent = {})
    {
        ImportPipeline pipeline(doc, prefs_.get());
        ImportRequest request;
        request.paths = paths;
        request.parentIndex = index;
        request.parentPath = parent;
        request.ignoreUserSelection = !parent.isEmpty();
        ImportContext context;
        context.browserSelection = selection;
        context.today = Today;
        return pipeline.doImport(request, context);
    }
    static QByteArray content(MyDocument& doc, const QString& path, const QString& inner = {})
    {
        QByteArray out;
        EXPECT_TRUE(doc.readItemContent(path, inner, [&](const char* p, qsizetype n) {
            out.append(p, n);
            return true;
        })) << path.toStdString();
        return out;
    }
    static QStringList children(MyDocument& doc, const QString& path)
    {
        QStringList out;
        for (const auto& c : doc.tree().childrenOf(path.isEmpty() ? nullptr : doc.tree().itemForPath(path)))
            out << c->name();
        return out;
    }
    static QString datesOf(MyDocument& doc, const QString& path)
    {
        const IndexItem* item = doc.tree().itemForPath(path);
        if (!item)
            return "missing";
        const auto day = [&](const QString& key) {
            const plist::Value* v = item->value(key);
            return v && v->isDate() ? fromPlistDate(v->date()).toLocalTime().date().toString(Qt::ISODate) : QString("-");
        };
        return day(keys::StartDate) + " " + day(keys::EndDate);
    }

    std::unique_ptr<KTPrefs> prefs_;
};

// ---- Files from disk, filed by name and by text ------------------------------------

class ImportBothKinds : public Import, public ::testing::WithParamInterface<bool> {};

TEST_P(ImportBothKinds, RealFilesAreFiledByNameAndByText)
{
    auto doc = GetParam() ? openEncrypted() : create();
    folder(*doc, "Bank/Visa");
    IndexItem* statements = folder(*doc, "Bank/Checking");
    statements->setValue("categoryMatch", QStringLiteral("First Town Bank"));
    statements->setValue("startingDateMatch", QStringLiteral("Opening Date:"));
    statements->setValue("endingDateMatch", QStringLiteral("Statement Date:"));
    IndexItem* power = folder(*doc, "Utilities/Power");
    power->setValue("categoryMatch", QStringLiteral("Mega Power Co"));
    power->setValue("endingDateMatch", QStringLiteral("Bill date"));
    power->setValue("EuropeanDates", true);

    const QStringList files = {
        write("Visa+q2.pdf", makeTextPdf({"Card statement"})),
        write("scan 0001.pdf", makeTextPdf({"First Town Bank", "Opening Date: 03/01/2024", "Statement Date: 03/31/2024"})),
        // A PDF under another name is still read as one.
        write("scan 0002.txt", makeTextPdf({"Mega Power Co", "Bill date 30.4.2024"})),
        write("letter.rtf", QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Helvetica;}}\\f0 First Town Bank\\par "
                                       "Opening Date: 1/1/2024\\par Statement Date: 1/31/2024}")),
        write("notes.txt", QByteArray("Mega Power Co\nBill date 31.1.2024\n")),
        write("photo.jpg", QByteArray("\xff\xd8\xff\xe0 not text at all \x00\x01", 24)),
    };
    const ImportOutcome out = run(*doc, files);
    ASSERT_TRUE(out.ran);
    EXPECT_FALSE(out.failed);
    EXPECT_FALSE(out.skipped);

    const QList<std::tuple<QString, QString>> expected = {
        {"Bank/Visa/2023/June/Visa+q2.pdf", "2023-04-01 2023-06-30"},
        {"Bank/Checking/2024/March/scan 0001.pdf", "2024-03-01 2024-03-31"},
        {"Utilities/Power/2024/April/scan 0002.txt.pdf", "2024-03-31 2024-04-30"},
        {"Bank/Checking/2024/January/letter.rtf", "2024-01-01 2024-01-31"},
        {"Utilities/Power/2024/January/notes.txt", "2024-01-01 2024-01-31"},
        {"Unfiled/photo.jpg", "- -"},
    };
    for (const auto& [path, dates] : expected)
        EXPECT_EQ(datesOf(*doc, path).toStdString(), dates.toStdString()) << path.toStdString();
    EXPECT_EQ(out.itemsToSelect.size(), 6);
    EXPECT_EQ(content(*doc, "Bank/Checking/2024/March/scan 0001.pdf"), readAll(files[1]));
    if (GetParam()) {
        // Reading the text for filing left no plain copy in the package.
        QDirIterator it(doc->dbPath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString f = it.next();
            EXPECT_FALSE(readAll(f).contains("First Town Bank")) << f.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndEncrypted, ImportBothKinds, ::testing::Bool());

// ---- Folders, skipped entries, indexes ---------------------------------------------

TEST_F(Import, FolderPlans)
{
    write("Trip/a.txt", "a");
    write("Trip/Receipts/b.txt", "b");
    write("Trip/.hidden", "h");
    write("Trip/Icon\r", "i");
    write("Trip/Old.fvdb/.index", "x");
    struct Case {
        const char* what;
        QString selection;
        PromptId answer; // the answer chosen in "Folder Import Options"; none: not asked
        QStringList stored;
        bool skipped;
    };
    const QList<Case> cases = {
        {"no selection: a hierarchy at the top, not asked", {}, {},
         {"Trip", "Trip/a.txt", "Trip/Receipts", "Trip/Receipts/b.txt"}, true},
        {"into Unfiled: loose files, not asked", "Unfiled", {}, {"Unfiled/a.txt", "Unfiled/b.txt"}, true},
        {"into a folder, as a hierarchy", "Home", importmsg::ImportAsHierarchyAnswer,
         {"Home/Trip", "Home/Trip/a.txt", "Home/Trip/Receipts", "Home/Trip/Receipts/b.txt"}, true},
        {"into a folder, files only", "Home", importmsg::ImportFilesOnlyAnswer, {"Home/a.txt", "Home/b.txt"}, true},
        {"cancelled: nothing, no warning", "Home", importmsg::CancelAnswer, {}, false},
    };
    for (const Case& c : cases) {
        Scratch dbs;
        ui_.asked.clear();
        ui_.answers.clear();
        MyDocument doc(ui_);
        ASSERT_TRUE(doc.createDatabase(dbs.file("Plan.fvdb")).ok());
        folder(doc, "Home");
        if (!c.answer.isNull())
            ui_.answers.insert(importmsg::FolderOptionsPrompt, c.answer);
        const ImportOutcome out = run(doc, {scratch_.file("in/Trip")}, c.selection);
        QStringList stored;
        for (const ImportedEntry& e : out.entries)
            if (!e.storedPath.isEmpty())
                stored << e.storedPath;
        EXPECT_EQ(stored, c.stored) << c.what;
        EXPECT_EQ(out.itemsToSelect, c.stored) << c.what;
        EXPECT_EQ(out.skipped, c.skipped) << c.what;
        const bool asked = std::any_of(ui_.asked.begin(), ui_.asked.end(),
                                       [](const Prompt& p) { return p.title == "Folder Import Options"; });
        EXPECT_EQ(asked, !c.answer.isNull()) << c.what;
        for (const QString& p : c.stored)
            EXPECT_TRUE(QFileInfo::exists(doc.dbPath() + "/" + p)) << p.toStdString();
    }
}

TEST_F(Import, DroppedFilesTakeTheNextIndexesAndDatabasesAreSkipped)
{
    auto doc = create();
    IndexItem* home = folder(*doc, "Home");
    for (const char* n : {"0", "1", "2", "3", "4", "5"})
        folder(*doc, QString("Home/") + n);
    const QStringList files = {write("x.txt", "x"), write("y.txt", "y"), write("z.txt", "z")};
    (void)home;
    const ImportOutcome out = run(*doc, files, {}, 4, "Home");
    EXPECT_EQ(children(*doc, "Home"), QStringList({"0", "1", "2", "3", "4", "x.txt", "y.txt", "z.txt", "5"}));
    EXPECT_FALSE(out.skipped);

    // Dropped before the folder's first row: they come first, not last.
    {
        ImportPipeline pipeline(*doc, prefs_.get());
        ImportRequest request;
        request.paths = {write("a.txt", "a"), write("b.txt", "b")};
        request.parentPath = "Home";
        request.parentIndex = -1;
        request.dropPosition = true;
        request.ignoreUserSelection = true;
        pipeline.doImport(request);
    }
    EXPECT_EQ(children(*doc, "Home").mid(0, 3), QStringList({"a.txt", "b.txt", "0"}));

    QDir().mkpath(scratch_.file("in/Other.fvdb"));
    const ImportOutcome skipped = run(*doc, {scratch_.file("in/Other.fvdb"), write("w.txt", "w")});
    EXPECT_TRUE(skipped.skipped);
    EXPECT_TRUE(doc->tree().itemForPath("Unfiled/w.txt"));
    EXPECT_FALSE(doc->tree().itemForPath("Unfiled/Other.fvdb"));
}

TEST_F(Import, LinkedFoldersAndTheDatabaseItselfAreNeverWalked)
{
    auto doc = create();
    write("Loop/a.txt", "a");
    ASSERT_EQ(::symlink("..", QFile::encodeName(scratch_.file("in/Loop/up")).constData()), 0);
    ASSERT_EQ(::symlink(".", QFile::encodeName(scratch_.file("in/Loop/self")).constData()), 0);
    const ImportOutcome out = run(*doc, {scratch_.file("in/Loop")});
    EXPECT_TRUE(out.skipped);
    EXPECT_EQ(children(*doc, "Loop"), QStringList({"a.txt"}));

    // Something inside the package is already in it; importing it would copy a folder into itself.
    const QString unfiledAbs = doc->dbPath() + "/Unfiled";
    const ImportOutcome inside = run(*doc, {unfiledAbs});
    EXPECT_TRUE(inside.skipped);
    EXPECT_TRUE(inside.itemsToSelect.isEmpty());
}

TEST_F(Import, AFolderGivenByALinkIsImportedButLinksInsideItAreNot)
{
    auto doc = create();
    write("Real/a.txt", "a");
    write("Other/o.txt", "o");
    const auto link = [&](const QString& to, const QString& at) {
        ASSERT_EQ(::symlink(QFile::encodeName(to).constData(), QFile::encodeName(at).constData()), 0) << at.toStdString();
    };
    link(scratch_.file("in/Real"), scratch_.file("in/Papers"));
    link(scratch_.file("in/Other"), scratch_.file("in/Real/Elsewhere"));
    const ImportOutcome out = run(*doc, {scratch_.file("in/Papers")});
    // Under the name that was given, with what the link leads to.
    EXPECT_EQ(children(*doc, "Papers"), QStringList({"a.txt"}));
    EXPECT_EQ(content(*doc, "Papers/a.txt"), QByteArray("a"));
    EXPECT_TRUE(out.skipped); // the link found inside
    EXPECT_FALSE(doc->tree().itemForPath("Papers/Elsewhere"));

    // A link that leads into the database is still something already in it.
    run(*doc, {write("c.txt", "c")});
    link(doc->dbPath() + "/Unfiled", scratch_.file("in/IntoUnfiled"));
    link(doc->dbPath() + "/Unfiled/c.txt", scratch_.file("in/stored.txt"));
    const ImportOutcome inside = run(*doc, {scratch_.file("in/IntoUnfiled"), scratch_.file("in/stored.txt")});
    EXPECT_TRUE(inside.skipped);
    EXPECT_TRUE(inside.itemsToSelect.isEmpty());
    EXPECT_EQ(children(*doc, "Unfiled"), QStringList({"c.txt"}));
}

TEST_F(Import, TheClipboardGoesWhereThePersonLooksWithoutRulesOrDates)
{
    auto doc = create();
    folder(*doc, "Clipboard"); // what the name alone would file it under
    IndexItem* statements = folder(*doc, "Statements");
    statements->setValue("categoryMatch", QStringLiteral("First Town Bank"));
    statements->setValue("endingDateMatch", QStringLiteral("Statement Date:"));
    folder(*doc, "Bank")->setValue("endingDateMatch", QStringLiteral("Statement Date:"));
    // A PDF on the clipboard has text the rules could read, dates included.
    const QByteArray pdf = makeTextPdf({"First Town Bank", "Statement Date: 04/30/2024"});
    const QStringList textFirst = {"Text Match", "Filename Match", "Browser Selection", "Selected Reminder"};
    struct Case {
        const char* what;
        QString selection;
        QStringList priorities;
        QString stored;
    };
    const QList<Case> cases = {
        {"a folder selected", "Bank", {}, "Bank/Clipboard.pdf"},
        {"nothing selected", {}, {}, "Unfiled/Clipboard.pdf"},
        {"text matching first", {}, textFirst, "Unfiled/Clipboard2.pdf"},
    };
    for (const Case& c : cases) {
        if (!c.priorities.isEmpty())
            prefs_->setObject(plist::Array(c.priorities.begin(), c.priorities.end()), "autofilePriorities");
        ImportPipeline pipeline(*doc, prefs_.get());
        ImportRequest request;
        request.data = pdf;
        request.dataName = "Clipboard.pdf";
        ImportContext context;
        context.browserSelection = c.selection;
        context.today = Today;
        const ImportOutcome out = pipeline.doImport(request, context);
        EXPECT_EQ(out.itemsToSelect, QStringList({c.stored})) << c.what;
        EXPECT_EQ(datesOf(*doc, c.stored), "- -") << c.what;
        EXPECT_EQ(content(*doc, c.stored), pdf) << c.what;
    }
}

TEST_F(Import, EachImportAndEachFolderOfAHierarchyIsAStepOfTheHistory)
{
    prefs_->setBool(true, "ImportLog");
    auto doc = create();
    write("Trip/a.txt", "a");
    write("Trip/Sub/b.txt", "b");
    const ImportOutcome out = run(*doc, {scratch_.file("in/Trip"), write("c.txt", "c")});
    ASSERT_FALSE(out.logPath.isEmpty());
    QStringList steps;
    for (const History::Entry& e : doc->history().entries()) {
        QStringList members;
        for (const History::Member& m : e.members)
            members << m.currentPath();
        steps << (e.isGroup() ? "group " : "") + members.join(",");
    }
    // One step each, in the order they came in; the import log is none of them.
    EXPECT_EQ(steps, QStringList({"Trip", "Trip/a.txt", "Trip/Sub", "Trip/Sub/b.txt", "Unfiled/c.txt"}));
    EXPECT_EQ(doc->history().historyIndex(), 5);
}

TEST_F(Import, AFolderNamedLastImportGetsAnotherNameWhileTheSmartFolderIsKept)
{
    prefs_->setBool(true, "MaintainLastImport");
    auto doc = create();
    write("Last Import/a.txt", "a");
    run(*doc, {scratch_.file("in/Last Import")});
    EXPECT_TRUE(doc->tree().itemForPath("Last Import2"));
    EXPECT_TRUE(doc->tree().itemForPath("Last Import2/a.txt"));
    const IndexItem* smart = doc->tree().itemForPath("Last Import");
    ASSERT_TRUE(smart);
    EXPECT_TRUE(smart->isSmartFolder());
}

TEST_F(Import, TheSelectedReminderTakesOneImportAndIsCheckedOff)
{
    auto doc = create();
    folder(*doc, "Visa");
    folder(*doc, "Water")->setValue(keys::Reminder, plist::Dict{{"when", std::int64_t(1)}});
    ImportPipeline pipeline(*doc, prefs_.get());
    ImportContext context;
    context.selectedReminder = "Water";
    context.today = Today;
    ImportRequest request;
    request.paths = {write("Visa+4-30-24.txt", "bill")};
    pipeline.doImport(request, context);
    EXPECT_TRUE(doc->tree().itemForPath("Water/2024/April/Visa+4-30-24.txt"));
    EXPECT_TRUE(doc->tree().itemForPath("Water")->value(keys::ReminderChecked)->boolValue());
    // Answered: the next file goes by its name again.
    request.paths = {write("Visa+5-31-24.txt", "bill 2")};
    pipeline.doImport(request, context);
    EXPECT_TRUE(doc->tree().itemForPath("Visa/2024/May/Visa+5-31-24.txt"));
}

TEST_F(Import, FilesDroppedBeforeTheDatabaseOpenedAreImportedOnce)
{
    auto doc = create();
    const QString a = write("a.txt", "a");
    prefs_->setObject(plist::Array{a, QString()}, "droppedFilesToImport");
    const ImportOutcome out = importDroppedFiles(*doc, prefs_.get());
    EXPECT_EQ(out.itemsToSelect, QStringList({"Unfiled/a.txt"}));
    EXPECT_EQ(prefs_->objectForKey("droppedFilesToImport"), nullptr);
    EXPECT_TRUE(importDroppedFiles(*doc, prefs_.get()).itemsToSelect.isEmpty());
}

// ---- Import log and "Last Import" -----------------------------------------------------

TEST_F(Import, TheImportLogIsStoredButNotSelected)
{
    prefs_->setBool(true, "ImportLog");
    for (bool encrypted : {false, true}) {
        auto doc = encrypted ? openEncrypted() : create(QString("Log%1.fvdb").arg(int(encrypted)));
        folder(*doc, "Import Logs");
        const QString file = write("bill.txt", "bill");
        const ImportOutcome out = run(*doc, {file});
        ASSERT_FALSE(out.logPath.isEmpty());
        EXPECT_TRUE(out.logPath.startsWith("Import Logs/"));
        EXPECT_EQ(out.itemsToSelect, QStringList({"Unfiled/bill.txt"}));
        const QString log = QString::fromUtf8(content(*doc, out.logPath));
        EXPECT_TRUE(log.startsWith(QFileInfo(doc->dbPath()).fileName() + " import at ")) << log.toStdString();
        EXPECT_TRUE(log.contains(file + " -> Unfiled/bill.txt\n")) << log.toStdString();
        if (encrypted) {
            EXPECT_FALSE(QFile::exists(doc->dbPath() + "/" + out.logPath));
            EXPECT_TRUE(QFile::exists(doc->dbPath() + "/" + out.logPath + ".fvdbe"));
        }
        // Nothing of the log is left in the temporary folder either.
        EXPECT_TRUE(QDir(doc->tempDir()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
    }
}

TEST_F(Import, LastImportHoldsTheFilesOfTheLastImportOnly)
{
    prefs_->setBool(true, "MaintainLastImport");
    auto doc = create();
    run(*doc, {write("a.txt", "a"), write("b.txt", "b")});
    run(*doc, {write("c.txt", "c")});
    const IndexItem* smart = doc->tree().itemForPath("Last Import");
    ASSERT_TRUE(smart);
    EXPECT_TRUE(smart->value(keys::SystemLastImportFolder)->boolValue());
    EXPECT_EQ(smart->value(keys::SmartFolderType)->intValue(), 2);
    const plist::Dict& criteria = smart->value(keys::SmartFolder)->dict();
    EXPECT_EQ(criteria.find("Type")->intValue(), 3);
    EXPECT_EQ(criteria.find("SmartFolderName")->string(), "Last Import");
    QStringList refs;
    for (const plist::Value& c : criteria.find("Conditions")->array())
        refs << storedPathFromBookmarkData(c.dict().find("BookMarkData")->data()).value_or("?");
    EXPECT_EQ(refs, QStringList({"Unfiled/c.txt"}));
    // It survives a reopen through its attributes file.
    const QString path = doc->dbPath();
    doc->saveChanges(false);
    doc.reset();
    MyDocument again(ui_);
    ASSERT_TRUE(again.openDatabase(path, {true}).ok());
    ASSERT_TRUE(again.tree().itemForPath("Last Import"));
    EXPECT_TRUE(again.tree().itemForPath("Last Import")->isSmartFolder());
}

TEST_F(Import, AUserFolderNamedLastImportIsLeftAloneWithAnAlert)
{
    prefs_->setBool(true, "MaintainLastImport");
    auto doc = create();
    folder(*doc, "Last Import");
    run(*doc, {write("a.txt", "a")});
    EXPECT_FALSE(doc->tree().itemForPath("Last Import")->isSmartFolder());
    EXPECT_TRUE(std::any_of(ui_.asked.begin(), ui_.asked.end(),
                            [](const Prompt& p) { return p.title == "\"Last Import\" Folder Exists"; }));
}

// ---- The import folder ---------------------------------------------------------------

class ImportFolder : public Import {
protected:
    QString box() const { return scratch_.file("box"); }
    std::unique_ptr<MyDocument> withBox()
    {
        QDir().mkpath(box());
        auto doc = create();
        doc->settings().importFolderEnabled = true;
        doc->settings().importFolderPath = box();
        return doc;
    }
    DrainOutcome drain(MyDocument& doc, std::function<void()> between = {})
    {
        DrainOptions options;
        options.wait = [&](int) {
            if (between)
                between();
        };
        ImportContext context;
        context.today = Today;
        return importFromImportFolder(doc, prefs_.get(), context, options);
    }
    void put(const QString& name, const QByteArray& data) { ASSERT_TRUE(writeAll(box() + "/" + name, data)); }
};

TEST_F(ImportFolder, FilesAreImportedOnceAndDeletedOnlyAfterTheyAreStored)
{
    auto doc = withBox();
    folder(*doc, "Visa");
    put("Visa+q1.txt", "statement");
    put(".DS_Store", "hidden");
    QDir().mkpath(box() + "/Sub");
    put("Sub/inner.txt", "inner");
    const DrainOutcome first = drain(*doc);
    EXPECT_EQ(first.deleted, QStringList({box() + "/Visa+q1.txt"}));
    EXPECT_TRUE(doc->tree().itemForPath("Visa/2024/March/Visa+q1.txt"));
    EXPECT_EQ(first.refused, QStringList({box() + "/Sub"}));
    EXPECT_TRUE(first.skipWarning);
    EXPECT_TRUE(QFile::exists(box() + "/Sub/inner.txt"));
    EXPECT_TRUE(QFile::exists(box() + "/.DS_Store"));
    // A second activation finds nothing new.
    const DrainOutcome second = drain(*doc);
    EXPECT_TRUE(second.deleted.isEmpty());
    EXPECT_EQ(children(*doc, "Visa/2024/March"), QStringList({"Visa+q1.txt"}));
}

TEST_F(ImportFolder, ASourceIsKeptWhenItsStoredCopyIsNotConfirmed)
{
    auto doc = withBox();
    put("full-disk.txt", "one");
    put("changed.txt", "two");
    const QString pkg = doc->dbPath();
    {
        fs::ScopedFault fault([&](fs::Op op, const QString& abs) {
            if (!abs.startsWith(pkg + "/Unfiled/"))
                return false;
            if (abs.endsWith("full-disk.txt") && (op == fs::Op::Copy || op == fs::Op::Write)) {
                fs::injectErrno(ENOSPC);
                return true;
            }
            // The source changes while it is being copied in.
            if (abs.endsWith("changed.txt") && op == fs::Op::Copy) {
                QFile f(box() + "/changed.txt");
                if (f.open(QIODevice::Append))
                    f.write(" and more");
            }
            return false;
        });
        const DrainOutcome out = drain(*doc);
        EXPECT_TRUE(out.deleted.isEmpty());
        EXPECT_EQ(out.unconfirmed, QStringList({box() + "/changed.txt"}));
    }
    EXPECT_EQ(readAll(box() + "/full-disk.txt"), QByteArray("one"));
    EXPECT_EQ(readAll(box() + "/changed.txt"), QByteArray("two and more"));
    // The next time both are taken whole.
    const DrainOutcome again = drain(*doc);
    EXPECT_EQ(again.deleted.size(), 2);
    EXPECT_EQ(content(*doc, "Unfiled/full-disk.txt"), QByteArray("one"));
}

TEST_F(ImportFolder, OnlyTheFoldersOwnFilesAreConfirmedAndDeleted)
{
    prefs_->setBool(true, "ImportLog");
    auto doc = withBox();
    // A folder set with a slash at its end is the same folder.
    doc->settings().importFolderPath = box() + "/";
    put("bill.txt", "bill");
    const DrainOutcome out = drain(*doc);
    ASSERT_FALSE(out.import.logPath.isEmpty());
    // The log is stored by the same import, but it is no file of the folder to confirm.
    EXPECT_TRUE(out.unconfirmed.isEmpty()) << out.unconfirmed.join(", ").toStdString();
    EXPECT_EQ(out.deleted, QStringList({box() + "/bill.txt"}));
    EXPECT_FALSE(QFile::exists(box() + "/bill.txt"));
    // Nothing comes in twice.
    EXPECT_FALSE(drain(*doc).ran);
    EXPECT_EQ(children(*doc, "Unfiled").filter("bill"), QStringList({"bill.txt"}));
}

TEST_F(ImportFolder, AFileStillBeingWrittenWaits)
{
    auto doc = withBox();
    put("growing.pdf", "%PDF-1.4 part one");
    put("download.pdf.part", "%PDF");
    const DrainOutcome busy = drain(*doc, [&] {
        QFile f(box() + "/growing.pdf");
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(" part two");
    });
    EXPECT_EQ(busy.waiting.size(), 2);
    EXPECT_TRUE(busy.deleted.isEmpty());
    EXPECT_FALSE(doc->tree().itemForPath("Unfiled/growing.pdf"));
    // Once it stops changing it is taken, whole.
    const DrainOutcome later = drain(*doc);
    EXPECT_EQ(later.deleted, QStringList({box() + "/growing.pdf"}));
    EXPECT_EQ(content(*doc, "Unfiled/growing.pdf"), QByteArray("%PDF-1.4 part one part two"));
    EXPECT_TRUE(QFile::exists(box() + "/download.pdf.part"));
}

TEST_F(ImportFolder, FilesThatCannotBeDeletedAreNotImportedAgain)
{
    auto doc = withBox();
    put("bill.txt", "bill");
    {
        fs::ScopedFault fault([&](fs::Op op, const QString& abs) { return op == fs::Op::Remove && abs.startsWith(box()); });
        const DrainOutcome out = drain(*doc);
        EXPECT_EQ(out.kept, QStringList({box() + "/bill.txt"}));
    }
    const DrainOutcome again = drain(*doc);
    EXPECT_TRUE(again.import.entries.isEmpty());
    EXPECT_EQ(children(*doc, "Unfiled"), QStringList({"bill.txt"}));
    // A new file of the same name is new content: it is taken.
    put("bill.txt", "second bill");
    const DrainOutcome changed = drain(*doc);
    EXPECT_EQ(changed.deleted.size(), 1);
    EXPECT_EQ(children(*doc, "Unfiled"), QStringList({"bill.txt", "bill2.txt"}));
}

TEST_F(ImportFolder, AFolderWhereNothingCanBeDeletedIsNotEmptied)
{
    auto doc = withBox();
    put("bill.txt", "bill");
    fs::ScopedFault fault([&](fs::Op op, const QString& abs) { return op == fs::Op::Write && abs == box(); });
    for (int i = 0; i < 2; ++i) {
        const DrainOutcome out = drain(*doc);
        EXPECT_TRUE(out.notWritable);
    }
    EXPECT_TRUE(children(*doc, "Unfiled").isEmpty());
    EXPECT_TRUE(QFile::exists(box() + "/bill.txt"));
}

TEST_F(ImportFolder, AMissingFolderIsReportedEveryTime)
{
    auto doc = withBox();
    QDir(box()).removeRecursively();
    ui_.answers.insert(importfoldermsg::NotFoundPrompt, importfoldermsg::SpecifyNewAnswer);
    for (int i = 0; i < 2; ++i) {
        const DrainOutcome out = drain(*doc);
        EXPECT_TRUE(out.notFound);
        EXPECT_TRUE(out.specifyNew);
    }
    EXPECT_EQ(std::count_if(ui_.asked.begin(), ui_.asked.end(),
                            [](const Prompt& p) { return p.title == "Import Folder Not Found"; }),
              2);
}

TEST_F(ImportFolder, ACopyOfThePackageAsksBeforeTakingTheFiles)
{
    auto doc = withBox();
    doc->settings().importFolderSetFor = "/somewhere/else/Original.fvdb";
    put("bill.txt", "bill");
    ui_.answers.insert(importfoldermsg::MovedPrompt, importfoldermsg::DontImportAnswer);
    EXPECT_TRUE(drain(*doc).declined);
    EXPECT_TRUE(QFile::exists(box() + "/bill.txt"));
    ui_.answers.insert(importfoldermsg::MovedPrompt, importfoldermsg::ImportAnswer);
    EXPECT_EQ(drain(*doc).deleted.size(), 1);
    EXPECT_EQ(doc->settings().importFolderSetFor, doc->dbPath());
}

// A window comes forward many times a session; what a round said about a setting that has
// not changed is not said again, and a round with nothing to import imports nothing.
TEST_F(ImportFolder, ASessionDoesNotRepeatWhatItWasToldOrWarned)
{
    const auto asked = [&](const QString& title) {
        return std::count_if(ui_.asked.begin(), ui_.asked.end(), [&](const Prompt& p) { return p.title == title; });
    };
    auto doc = withBox();
    ImportFolderMemory memory;
    const auto round = [&] {
        DrainOptions options;
        options.wait = [](int) {};
        options.memory = &memory;
        return importFromImportFolder(*doc, prefs_.get(), {}, options);
    };

    // A missing folder: said once, and again for another setting or once it was back.
    QDir(box()).removeRecursively();
    EXPECT_TRUE(round().notFound);
    EXPECT_TRUE(round().notFound);
    EXPECT_EQ(asked("Import Folder Not Found"), 1);
    doc->settings().importFolderPath = box() + "-other";
    round();
    EXPECT_EQ(asked("Import Folder Not Found"), 2);
    doc->settings().importFolderPath = box();
    QDir().mkpath(box());
    round();
    QDir(box()).removeRecursively();
    round();
    EXPECT_EQ(asked("Import Folder Not Found"), 3);

    // A sub-folder: one warning while it stays; taken out and put back, warned again. A
    // round that finds only it imports nothing: no empty log, "Last Import" kept.
    prefs_->setBool(true, "ImportLog");
    prefs_->setBool(true, "MaintainLastImport");
    folder(*doc, "Import Logs");
    QDir().mkpath(box() + "/Sub");
    put("bill.txt", "bill");
    const DrainOutcome first = round();
    EXPECT_TRUE(first.skipWarning);
    EXPECT_EQ(first.refused, QStringList({box() + "/Sub"}));
    EXPECT_EQ(first.deleted, QStringList({box() + "/bill.txt"}));
    const DrainOutcome second = round();
    EXPECT_FALSE(second.skipWarning);
    EXPECT_FALSE(second.import.ran);
    EXPECT_EQ(children(*doc, "Import Logs").size(), 1);
    const plist::Value* smart = doc->tree().itemForPath("Last Import")->value(keys::SmartFolder);
    ASSERT_TRUE(smart && smart->isDict());
    EXPECT_EQ(smart->dict().find("Conditions")->array().size(), 1u) << "the bill is still the last import";
    QDir(box() + "/Sub").removeRecursively();
    EXPECT_FALSE(round().skipWarning);
    QDir().mkpath(box() + "/Sub");
    EXPECT_TRUE(round().skipWarning);
    // Without a memory (the command line) each round warns.
    DrainOptions fresh;
    fresh.wait = [](int) {};
    EXPECT_TRUE(importFromImportFolder(*doc, prefs_.get(), {}, fresh).skipWarning);

    // "Don't Import" in a copy holds for the session, and only for this package.
    doc->settings().importFolderSetFor = "/somewhere/else/Original.fvdb";
    put("second.txt", "second");
    ui_.answers.insert(importfoldermsg::MovedPrompt, importfoldermsg::DontImportAnswer);
    EXPECT_TRUE(round().declined);
    EXPECT_TRUE(round().declined);
    EXPECT_EQ(asked("Import Into This Copy?"), 1);
    EXPECT_TRUE(QFile::exists(box() + "/second.txt"));
    ImportFolderMemory nextSession;
    DrainOptions later;
    later.wait = [](int) {};
    later.memory = &nextSession;
    importFromImportFolder(*doc, prefs_.get(), {}, later);
    EXPECT_EQ(asked("Import Into This Copy?"), 2);
}

// Which activations of the window start a round, as the window reports them.
TEST(ImportFolderRoundsTest, OnlyThePersonsActivationsStartARound)
{
    struct Case {
        const char* name;
        QStringList steps; // "open", "open-active", "close", "own", "away", "act", "done"
        QList<bool> due;   // the answer of each "act" and "open-active", in order
    };
    const QList<Case> cases = {
        {"before the database opens", {"act", "open", "act"}, {false, true}},
        {"the first after the open, even back from the password sheet", {"own", "open", "act"}, {true}},
        {"open while in front", {"open-active", "done", "own", "act"}, {true, false}},
        {"back from its own dialog", {"open", "act", "done", "own", "act", "own", "act"}, {true, false, false}},
        {"back from elsewhere", {"open", "act", "done", "away", "act"}, {true, true}},
        {"one round at a time", {"open", "act", "away", "act", "own", "act", "done", "act"}, {true, false, false, true}},
        {"its own dialog closing after the round", {"open", "act", "own", "done", "act"}, {true, false}},
        {"closed", {"open", "act", "done", "close", "away", "act"}, {true, false}},
    };
    for (const Case& c : cases) {
        ImportFolderRounds rounds;
        QList<bool> due;
        for (const QString& step : c.steps) {
            if (step == "open")
                rounds.databaseOpened(false);
            else if (step == "open-active")
                due << rounds.databaseOpened(true);
            else if (step == "close")
                rounds.databaseClosed();
            else if (step == "own")
                rounds.deactivated(true);
            else if (step == "away")
                rounds.deactivated(false);
            else if (step == "act")
                due << rounds.activated();
            else if (step == "done")
                rounds.roundFinished();
        }
        EXPECT_EQ(due, c.due) << c.name;
    }
}

TEST_F(ImportFolder, EncryptedDatabasesDeleteOnlyVerifiedSources)
{
    auto doc = openEncrypted();
    QDir().mkpath(box());
    doc->settings().importFolderEnabled = true;
    doc->settings().importFolderPath = box();
    put("secret.txt", "the secret");
    const DrainOutcome out = drain(*doc);
    EXPECT_EQ(out.deleted.size(), 1);
    EXPECT_EQ(content(*doc, "Unfiled/secret.txt"), QByteArray("the secret"));
    EXPECT_FALSE(QFile::exists(doc->dbPath() + "/Unfiled/secret.txt"));
}

// Whatever step of a drain the disk refuses, every file of the box is still in the box
// unchanged or readable in the database after it is opened again — in a plain and in an
// encrypted database.
TEST_F(ImportFolder, EachFailingStepOfADrainLosesNoFile)
{
    const QMap<QString, QByteArray> files = {{"Visa+2024q1.txt", "visa statement"},
                                             {"scan.pdf", makeTextPdf({"First Town Bank"})},
                                             {"notes.rtf", "{\\rtf1 notes}"}};
    int failures = 0;
    for (bool encrypted : {false, true}) {
        for (int n = 1;; ++n) {
            Scratch run;
            const QString pkg = run.file("Drain.fvdb");
            const QString dropBox = run.file("box");
            QDir().mkpath(dropBox);
            for (auto it = files.begin(); it != files.end(); ++it)
                ASSERT_TRUE(writeAll(dropBox + "/" + it.key(), it.value()));
            std::unique_ptr<MyDocument> doc;
            if (encrypted) {
                ASSERT_TRUE(fs::copyTree(fixtures_->file("Encrypted.fvdb"), pkg));
                doc = std::make_unique<MyDocument>(ui_);
                ui_.passwords = {QStringLiteral("pässwörd")};
                ASSERT_TRUE(doc->openDatabase(pkg).ok());
            } else {
                doc = std::make_unique<MyDocument>(ui_);
                ASSERT_TRUE(doc->createDatabase(pkg).ok());
                folder(*doc, "Visa");
            }
            doc->settings().importFolderEnabled = true;
            doc->settings().importFolderPath = dropBox;
            int calls = 0;
            bool fired = false;
            {
                fs::ScopedFault fault([&](fs::Op op, const QString&) {
                    if (op == fs::Op::Sync || ++calls != n)
                        return false;
                    fired = true;
                    fs::injectErrno(n % 2 ? ENOSPC : EIO);
                    return true;
                });
                DrainOptions options;
                options.wait = [](int) {};
                importFromImportFolder(*doc, prefs_.get(), {}, options);
                doc->saveChanges(false);
            }
            doc.reset();
            MyDocument again(ui_);
            ui_.passwords = {QStringLiteral("pässwörd")};
            ASSERT_TRUE(again.openDatabase(pkg).ok());
            QList<QByteArray> stored;
            for (IndexItem* item : again.tree().flatArray()) {
                if (!item->isFile())
                    continue;
                QByteArray bytes;
                if (again.readItemContent(item->path(), {}, [&](const char* p, qsizetype k) {
                        bytes.append(p, k);
                        return true;
                    }))
                    stored << bytes;
            }
            for (auto it = files.begin(); it != files.end(); ++it) {
                const bool inBox = QFile::exists(dropBox + "/" + it.key());
                if (inBox)
                    EXPECT_EQ(readAll(dropBox + "/" + it.key()), it.value()) << it.key().toStdString() << " step " << n;
                else
                    EXPECT_TRUE(stored.contains(it.value())) << it.key().toStdString() << " lost at step " << n
                                                             << (encrypted ? " (encrypted)" : "");
            }
            if (!fired)
                break;
            ++failures;
            ASSERT_LT(n, 300) << "the drain never ends";
        }
    }
    EXPECT_GT(failures, 20);
}

TEST(ImportFolderChoice, DangerousOrBusyFoldersAreRefused)
{
    Scratch s;
    QDir().mkpath(s.file("db.fvdb/Inside"));
    QDir().mkpath(s.file("empty"));
    QDir().mkpath(s.file("full"));
    writeAll(s.file("full/x"), "x");
    const QString db = s.file("db.fvdb");
    struct Case {
        QString path;
        ImportFolderProblem problem;
    };
    const QList<Case> cases = {
        {s.file("empty"), ImportFolderProblem::None},
        {s.file("full"), ImportFolderProblem::NotEmpty},
        {s.file("missing"), ImportFolderProblem::Missing},
        {s.file("full/x"), ImportFolderProblem::NotAFolder},
        {"", ImportFolderProblem::NotSet},
        {"/", ImportFolderProblem::RootFolder},
        {QDir::homePath(), ImportFolderProblem::HomeFolder},
        {db, ImportFolderProblem::InsidePackage},
        {s.file("db.fvdb/Inside"), ImportFolderProblem::InsidePackage},
        {s.path(), ImportFolderProblem::HoldsPackage},
    };
    for (const Case& c : cases)
        EXPECT_EQ(int(validateImportFolder(c.path, db, true)), int(c.problem)) << c.path.toStdString();
}

} // namespace

TEST_F(Import, AStopKeepsWhatWasStoredAndLogsIt)
{
    prefs_->setBool(true, "ImportLog");
    auto doc = create();
    folder(*doc, "Import Logs");
    const QStringList files = {write("a.txt", "a"), write("b.txt", "b"), write("c.txt", "c")};
    ImportPipeline pipeline(*doc, prefs_.get());
    int asked = 0;
    // Asked before each file: the second answer stops the import after one file.
    pipeline.shouldStop = [&asked] { return ++asked >= 2; };
    ImportRequest request;
    request.paths = files;
    const ImportOutcome out = pipeline.doImport(request);
    EXPECT_TRUE(out.stopped);
    EXPECT_TRUE(pipeline.stopped());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(out.itemsToSelect, QStringList({"Unfiled/a.txt"}));
    EXPECT_FALSE(doc->tree().itemForPath("Unfiled/b.txt"));
    // What was stored before the stop is in the log like any import's.
    ASSERT_FALSE(out.logPath.isEmpty());
    EXPECT_TRUE(QString::fromUtf8(content(*doc, out.logPath)).contains(files[0] + " -> Unfiled/a.txt\n"));
}
