// The recorded operations on real packages: what they leave on disk, in the tree and in
// the attributes files, what they refuse, and that a failing disk never costs a file.

#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QTimeZone>

#include <cstdio>
#include <sys/stat.h>

using namespace folivo;
using namespace folivo::test;

namespace {

using Status = OperationResult::Status;

// Every visible file of a package (hidden index files left out) by the hash of its bytes,
// with how often each content occurs: what the person would lose if a file vanished.
QMap<QByteArray, int> visibleContent(const QString& pkg)
{
    QMap<QByteArray, int> out;
    QDirIterator it(pkg, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        const QString rel = QDir(pkg).relativeFilePath(f);
        bool hidden = false;
        for (const QString& part : rel.split('/'))
            hidden = hidden || part.startsWith('.');
        if (hidden)
            continue;
        out[QCryptographicHash::hash(readAll(f), QCryptographicHash::Sha256)] += 1;
    }
    return out;
}

// True when every content of `before` is still there at least as often in `after`,
// except the contents listed in `gone`.
::testing::AssertionResult nothingLost(const QMap<QByteArray, int>& before, const QMap<QByteArray, int>& after,
                                       const QSet<QByteArray>& gone = {})
{
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (gone.contains(it.key()))
            continue;
        if (after.value(it.key()) < it.value())
            return ::testing::AssertionFailure() << "a file with content " << it.key().toHex().left(12).constData()
                                                 << " is gone";
    }
    return ::testing::AssertionSuccess();
}

QDateTime localDate(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0), QTimeZone::systemTimeZone());
}

class Operations : public Fixtures {
protected:
    std::unique_ptr<MyDocument> open(const QString& pkg, const QString& password = {})
    {
        auto doc = std::make_unique<MyDocument>(ui_);
        if (!password.isEmpty())
            ui_.passwords = {password};
        const OpenResult r = doc->openDatabase(pkg);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return doc;
    }

    // Each item's path and keys, in order.
    static QList<QPair<QString, plist::Dict>> snapshot(const IndexTree& tree)
    {
        QList<QPair<QString, plist::Dict>> out;
        std::function<void(const ItemList&)> walk = [&](const ItemList& items) {
            for (const auto& i : items) {
                out.append({i->path(), i->keys()});
                if (!i->isSmartFolder())
                    walk(i->children());
            }
        };
        walk(tree.categoriesArray());
        return out;
    }

    // Closes the document without saving and opens the package again, which rebuilds the
    // tree from the attributes files because the change marker is there: the rebuilt tree
    // must be the tree the operations left.
    void expectRebuildAgrees(std::unique_ptr<MyDocument>& doc, const QString& password = {})
    {
        const QString pkg = doc->dbPath();
        ASSERT_TRUE(QFile::exists(pkg + "/.changed"));
        const auto before = snapshot(doc->tree());
        doc.reset();
        doc = open(pkg, password);
        ASSERT_TRUE(doc->rebuiltAtOpen());
        const auto after = snapshot(doc->tree());
        QStringList a, b;
        for (const auto& p : before)
            a << p.first;
        for (const auto& p : after)
            b << p.first;
        ASSERT_EQ(a.join('\n').toStdString(), b.join('\n').toStdString());
        for (int i = 0; i < before.size(); ++i)
            EXPECT_TRUE(before[i].second == after[i].second) << before[i].first.toStdString();
        EXPECT_TRUE(doc->indexProblems().empty()) << doc->indexProblems().front().path.toStdString();
    }

    QStringList childNames(MyDocument& doc, const QString& folder)
    {
        QStringList out;
        for (const auto& c : doc.tree().childrenOf(doc.tree().itemForPath(folder)))
            out << c->name();
        return out;
    }
};

ino_t inodeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

TEST_F(Operations, NewFolderRenameMoveAndDeleteKeepDiskTreeAndAttributesTogether)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);

    // A new folder at -1 goes to the end of its parent; a too large index is the end too.
    OperationResult r = doc->recordNewCategory("Bank/Taxes", doc->tree().itemForPath("Bank"), -1);
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_EQ(childNames(*doc, "Bank").last(), "Taxes");
    EXPECT_TRUE(QFileInfo(pkg + "/Bank/Taxes").isDir());
    EXPECT_EQ(QFileInfo(pkg + "/Bank/Taxes").permissions() & QFile::WriteOwner, 0);
    r = doc->recordNewCategory("Bank/Zeta", doc->tree().itemForPath("Bank"), 999);
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_EQ(childNames(*doc, "Bank").last(), "Zeta");

    // Renaming a folder renames its directory once and gives every descendant a new path
    // and a new attributes file.
    r = doc->recordRename("Bank/Visa", "Bank/Credit Card");
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/Visa"));
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/.+Visa"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Credit Card/2023/March/Statement.pdf"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Credit Card/2023/March/.+Statement.pdf"));
    EXPECT_TRUE(doc->tree().itemForPath("Bank/Credit Card/2024/January/Statement.pdf"));
    EXPECT_FALSE(doc->tree().itemForPath("Bank/Visa/2024/January/Statement.pdf"));

    // Moving the last file out of a month folder removes the month, and the year with it
    // when that was its only month. (The statement has an ending date, so it lands in the
    // new folder's own year and month.)
    r = doc->recordMovePath("Bank/Credit Card/2024/January/Statement.pdf", doc->tree().itemForPath("Bank/Taxes"), 0);
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_EQ(r.resultPath, "Bank/Taxes/2024/January/Statement.pdf");
    EXPECT_FALSE(doc->tree().itemForPath("Bank/Credit Card/2024"));
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/Credit Card/2024"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Taxes/2024/January/Statement.pdf"));

    // Deleting the last item of a month takes the month folder, on disk too.
    r = doc->recordDelete("Bank/Credit Card/2023/December/Statement.pdf");
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_FALSE(doc->tree().itemForPath("Bank/Credit Card/2023/December"));
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/Credit Card/2023/December"));
    EXPECT_TRUE(doc->tree().itemForPath("Bank/Credit Card/2023"));

    // Deleting takes the item, its files and its attributes file.
    r = doc->recordDelete("Bank/Welcome Letter.pdf");
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/Welcome Letter.pdf"));
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/.+Welcome Letter.pdf"));
    QDir bank(pkg + "/Bank");
    EXPECT_TRUE(bank.entryList(QStringList{".deleting-*"}, QDir::AllEntries | QDir::Hidden).isEmpty());

    expectRebuildAgrees(doc);
}

TEST_F(Operations, ReorderWithinAFolderIsAPureMoveThatKeepsTheItem)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    IndexItem* bank = doc->tree().itemForPath("Bank");
    for (const char* name : {"A", "B", "C"})
        ASSERT_TRUE(doc->recordNewCategory(QStringLiteral("Bank/") + name, bank, -1).ok());
    // Bank: Welcome Letter.pdf, Visa, A, B, C
    struct Observer : TreeObserver {
        int removed = 0;
        void itemWillBeRemoved(const IndexItem&) override { ++removed; }
    } observer;
    doc->tree().addObserver(&observer);

    struct Case {
        const char* item;
        int index;
        QStringList after;
    };
    const Case cases[] = {
        {"Bank/Visa", 4, {"Welcome Letter.pdf", "A", "B", "Visa", "C"}}, // down from 1 to 4 lands at 3
        {"Bank/Visa", 1, {"Welcome Letter.pdf", "Visa", "A", "B", "C"}}, // up from 3 to 1 lands at 1
        {"Bank/C", 4, {"Welcome Letter.pdf", "Visa", "A", "B", "C"}},    // its own place: nothing
        {"Bank/A", 99, {"Welcome Letter.pdf", "Visa", "B", "C", "A"}},   // past the end: the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        const IndexItem* before = doc->tree().itemForPath(c.item);
        const OperationResult r = doc->recordMovePath(c.item, bank, c.index);
        ASSERT_TRUE(r.ok()) << r.message.toStdString();
        EXPECT_EQ(childNames(*doc, "Bank"), c.after);
        EXPECT_EQ(doc->tree().itemForPath(c.item), before); // the same item, still cached
    }
    EXPECT_EQ(observer.removed, 0);
    doc->tree().removeObserver(&observer);
    expectRebuildAgrees(doc);
}

TEST_F(Operations, MoveWithAnEndDateGoesIntoTheMonthFolderExceptInUnfiled)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    ASSERT_TRUE(doc->recordNewCategory("Taxes", nullptr, -1).ok());
    // The March statement carries an ending date in March 2023.
    const IndexItem* statement = doc->tree().itemForPath("Bank/Visa/2023/March/Statement.pdf");
    ASSERT_TRUE(statement && statement->has(keys::EndDate));
    OperationResult r = doc->recordMovePath(statement->path(), doc->tree().itemForPath("Taxes"), 0);
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_EQ(r.resultPath, "Taxes/2023/March/Statement.pdf");
    EXPECT_TRUE(QFile::exists(pkg + "/Taxes/2023/March/Statement.pdf"));
    // A lone file in its month folder: the month folder is selected, collapsed.
    EXPECT_EQ(r.select, QStringList{"Taxes/2023/March"});
    EXPECT_EQ(r.collapse, "Taxes/2023/March");
    // The old month keeps its other file.
    EXPECT_TRUE(doc->tree().itemForPath("Bank/Visa/2023/March/Receipt.pdf"));

    // A move the disk refuses leaves no empty year and month folders behind.
    ASSERT_TRUE(doc->recordNewCategory("Archive", nullptr, -1).ok());
    {
        fs::ScopedFault noRenames([](fs::Op op, const QString& p) { return op == fs::Op::Rename && p.endsWith("Statement.pdf"); });
        r = doc->recordMovePath("Taxes/2023/March/Statement.pdf", doc->tree().itemForPath("Archive"), 0);
        EXPECT_EQ(r.status, Status::DiskError);
    }
    EXPECT_FALSE(doc->tree().itemForPath("Archive/2023"));
    EXPECT_FALSE(QFile::exists(pkg + "/Archive/2023"));
    EXPECT_TRUE(QFile::exists(pkg + "/Taxes/2023/March/Statement.pdf"));
    // Nor does one whose month folder cannot be made.
    {
        fs::ScopedFault noMonth([](fs::Op op, const QString& p) { return op == fs::Op::MakeDir && p.endsWith("/March"); });
        r = doc->recordMovePath("Taxes/2023/March/Statement.pdf", doc->tree().itemForPath("Archive"), 0);
        EXPECT_NE(r.status, Status::Done);
    }
    EXPECT_FALSE(doc->tree().itemForPath("Archive/2023"));
    EXPECT_FALSE(QFile::exists(pkg + "/Archive/2023"));

    r = doc->recordMovePath("Taxes/2023/March/Statement.pdf", doc->tree().itemForPath("Unfiled"), -1);
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_EQ(r.resultPath, "Unfiled/Statement.pdf");
    EXPECT_FALSE(doc->tree().itemForPath("Taxes/2023"));
    expectRebuildAgrees(doc);
}

TEST_F(Operations, DuplicateSharesTheBytesAndCopiesTheAttributes)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    const QString src = "Bank/Visa/2023/March/Statement.pdf";
    OperationResult r1 = doc->recordDuplicate(src, pkg::Unfiled);
    OperationResult r2 = doc->recordDuplicate(src, pkg::Unfiled);
    ASSERT_EQ(r1.status, Status::Done) << r1.message.toStdString();
    ASSERT_EQ(r2.status, Status::Done);
    EXPECT_EQ(r1.resultPath, "Unfiled/Statement copy.pdf");
    EXPECT_EQ(r2.resultPath, "Unfiled/Statement copy2.pdf");
    EXPECT_EQ(r1.editName, r1.resultPath);
    EXPECT_EQ(inodeOf(pkg + "/" + src), inodeOf(pkg + "/Unfiled/Statement copy.pdf"));
    EXPECT_EQ(inodeOf(pkg + "/" + src), inodeOf(pkg + "/Unfiled/Statement copy2.pdf"));
    // Changing the copy's keys leaves the source alone.
    IndexItem* copy = doc->tree().itemForPath(r1.resultPath);
    copy->setValue(keys::Notes, QStringLiteral("copy only"));
    EXPECT_FALSE(doc->tree().itemForPath(src)->has(keys::Notes)
                 && doc->tree().itemForPath(src)->value(keys::Notes)->string() == "copy only");

    // Where no link can be made, the bytes are copied instead of failing.
    {
        fs::ScopedFault noLinks([](fs::Op op, const QString&) { return op == fs::Op::Link; });
        const OperationResult r3 = doc->recordDuplicate(src, pkg::Unfiled);
        ASSERT_EQ(r3.status, Status::Done) << r3.message.toStdString();
        EXPECT_NE(inodeOf(pkg + "/" + src), inodeOf(pkg + "/" + r3.resultPath));
        EXPECT_EQ(readAll(pkg + "/" + src), readAll(pkg + "/" + r3.resultPath));
    }
    doc->writeAttributesFileForItem(copy);
    expectRebuildAgrees(doc);
}

TEST_F(Operations, RefusalsChangeNothing)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    // A file the tree does not know about, in the way of a rename.
    ASSERT_TRUE(writeAll(pkg + "/Bank/Stray.pdf", "keep me"));
    const auto before = visibleContent(pkg);
    QFile::remove(pkg + "/.changed");

    struct Case {
        const char* what;
        std::function<OperationResult()> run;
    };
    IndexTree& t = doc->tree();
    const Case cases[] = {
        {"rename over an untracked file", [&] { return doc->recordRename("Bank/Welcome Letter.pdf", "Bank/Stray.pdf"); }},
        {"rename over an item", [&] { return doc->recordRename("Bank/Welcome Letter.pdf", "Bank/Visa"); }},
        {"rename to another folder", [&] { return doc->recordRename("Bank/Welcome Letter.pdf", "Unfiled/W.pdf"); }},
        {"rename with a slash", [&] { return doc->recordRename("Bank/Visa", "Bank/a/b"); }},
        {"rename to a hidden name", [&] { return doc->recordRename("Bank/Visa", "Bank/.Visa"); }},
        {"rename Unfiled", [&] { return doc->recordRename("Unfiled", "Inbox"); }},
        {"rename a date folder", [&] { return doc->recordRename("Bank/Visa/2023", "Bank/Visa/1999"); }},
        {"move into itself", [&] { return doc->recordMovePath("Bank", t.itemForPath("Bank"), 0); }},
        {"move into a descendant", [&] { return doc->recordMovePath("Bank", t.itemForPath("Bank/Visa/2023"), 0); }},
        {"move into a file", [&] { return doc->recordMovePath("Unfiled/Note.txt", t.itemForPath("Bank/Welcome Letter.pdf"), 0); }},
        {"move into a smart folder", [&] { return doc->recordMovePath("Unfiled/Note.txt", t.itemForPath("Last Import"), 0); }},
        {"move Unfiled", [&] { return doc->recordMovePath("Unfiled", t.itemForPath("Bank"), 0); }},
        {"new folder inside a file", [&] { return doc->recordNewCategory("Bank/Welcome Letter.pdf/X", t.itemForPath("Bank/Welcome Letter.pdf"), -1); }},
        {"new folder inside a smart folder", [&] { return doc->recordNewCategory("Last Import/X", t.itemForPath("Last Import"), -1); }},
        {"new folder over a file on disk", [&] { return doc->recordNewCategory("Bank/Stray.pdf", t.itemForPath("Bank"), -1); }},
        {"new folder over an item", [&] { return doc->recordNewCategory("Bank/Visa", t.itemForPath("Bank"), -1); }},
        {"new folder outside the package", [&] { return doc->recordNewCategory("../Evil", nullptr, -1); }},
        {"new folder elsewhere than its parent", [&] { return doc->recordNewCategory("Unfiled/X", t.itemForPath("Bank"), -1); }},
        {"delete Unfiled", [&] { return doc->recordDelete("Unfiled"); }},
        {"delete what is not there", [&] { return doc->recordDelete("Bank/Stray.pdf"); }},
        {"duplicate a folder", [&] { return doc->recordDuplicate("Bank", pkg::Unfiled); }},
        {"copy from a database that is not open", [&] { return doc->recordCopyPath("Bank", pkg + "/../Other.fvdb", nullptr, 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OperationResult r = c.run();
        EXPECT_EQ(r.status, Status::Refused);
        EXPECT_FALSE(r.message.isEmpty());
    }
    EXPECT_EQ(readAll(pkg + "/Bank/Stray.pdf"), "keep me");
    EXPECT_TRUE(nothingLost(before, visibleContent(pkg)));
    EXPECT_FALSE(QFile::exists(pkg + "/.changed")); // nothing was changed
    EXPECT_FALSE(QFile::exists(pkg + "/../Evil"));
    EXPECT_TRUE(ui_.diskErrors.isEmpty());

    // A folder left on disk without an item is taken over by a new folder of that name.
    ASSERT_TRUE(QDir().mkpath(pkg + "/Bank/Found"));
    EXPECT_EQ(doc->recordNewCategory("Bank/Found", t.itemForPath("Bank"), -1).status, Status::Done);
}

TEST_F(Operations, RebuildAfterAnInterruptedFolderRenameKeepsTheChildren)
{
    // The state a crash leaves in the middle of renaming Bank/Visa to Bank/Card: the
    // directory and the folder's own record are renamed, but the folder still lists its
    // children under the old path and their records still name it.
    const QString pkg = copyOf("Household.fvdb");
    ASSERT_TRUE(QDir(pkg + "/Bank").rename("Visa", "Card"));
    auto visa = plist::readKeyedArchiveFile(pkg + "/Bank/.+Visa");
    ASSERT_TRUE(visa && visa->isDict());
    visa->dict().set(keys::Path, QStringLiteral("Bank/Card"));
    ASSERT_TRUE(writeAll(pkg + "/Bank/.+Card", plist::encodeKeyedArchive(*visa)));
    QFile::remove(pkg + "/Bank/.+Visa");
    auto bank = plist::readKeyedArchiveFile(pkg + "/.+Bank");
    ASSERT_TRUE(bank && bank->isDict());
    plist::Array children;
    for (const auto& c : bank->dict().find(keys::ChildrenPaths)->array())
        children.push_back(c.string() == "Bank/Visa" ? QStringLiteral("Bank/Card") : c.string());
    bank->dict().set(keys::ChildrenPaths, children);
    ASSERT_TRUE(writeAll(pkg + "/.+Bank", plist::encodeKeyedArchive(*bank)));
    ASSERT_TRUE(writeAll(pkg + "/.changed", ""));

    auto doc = open(pkg);
    ASSERT_TRUE(doc->rebuiltAtOpen());
    for (const char* p : {"Bank/Card/2023/March/Statement.pdf", "Bank/Card/2023/December/Statement.pdf",
                          "Bank/Card/2024/January/Statement.pdf"}) {
        const IndexItem* item = doc->tree().itemForPath(p);
        ASSERT_TRUE(item) << p;
        EXPECT_EQ(item->path(), p);
    }
}

TEST_F(Operations, WhatAnInterruptedDeleteLeftHiddenGoesAtTheNextOpen)
{
    const QString pkg = copyOf("Household.fvdb");
    ASSERT_TRUE(writeAll(pkg + "/Bank/.deleting-4242-1", "already deleted"));
    ASSERT_TRUE(writeAll(pkg + "/Bank/.keep-me", "someone else's hidden file"));
    auto doc = open(pkg);
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/.deleting-4242-1"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/.keep-me"));
    EXPECT_TRUE(ui_.asked.isEmpty());
}

TEST_F(Operations, NothingOperationsStillMarkTheDatabaseChanged)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    for (int code : {5, 8}) {
        QFile::remove(pkg + "/.changed");
        DBOperation op;
        op.operation = code;
        EXPECT_EQ(doc->doDBOperation(op).status, Status::Nothing);
        EXPECT_TRUE(QFile::exists(pkg + "/.changed")) << code;
    }
}

TEST_F(Operations, RecordsRoundTripThroughTheirDictionaryForm)
{
    DBOperation op;
    op.operation = int(OperationCode::Import);
    op.parentPath = "Bank";
    op.index = 3;
    op.fileToImport = "/tmp/a.pdf";
    op.dataToImport = QByteArray("%PDF-1.4");
    op.endingDate = localDate(2023, 3, 31);
    const plist::Dict d = op.toValue();
    EXPECT_EQ(d.find("Operation")->intValue(), 3);
    EXPECT_EQ(d.find("parentIndex")->intValue(), 3);
    const auto back = DBOperation::fromValue(d);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->parentPath, "Bank");
    EXPECT_EQ(back->index, 3);
    EXPECT_EQ(back->dataToImport, op.dataToImport);
    EXPECT_EQ(back->endingDate, op.endingDate);
    EXPECT_FALSE(DBOperation::fromValue(plist::Value(QStringLiteral("not a record"))));
}

// ---- Storing imports ------------------------------------------------------------------

TEST_F(Operations, ImportStoresUnderASafeUniqueNameInTheRightFolder)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    ASSERT_TRUE(doc->recordNewCategory("Taxes", nullptr, -1).ok());
    const QString outside = scratch_.file("in");
    QDir().mkpath(outside);
    ASSERT_TRUE(writeAll(outside + "/scan.PDF", "%PDF-1.7 body"));
    ASSERT_TRUE(writeAll(outside + "/notes.txt", "plain"));
    ASSERT_TRUE(QFile::link(outside + "/notes.txt", outside + "/link.txt"));

    struct Case {
        const char* what;
        QString file;
        std::optional<QByteArray> data;
        QString parent;
        std::optional<QDateTime> end;
        QString expected;
    };
    const Case cases[] = {
        {"dated import lands in year and month", outside + "/notes.txt", {}, "Taxes", localDate(2023, 3, 15), "Taxes/2023/March/notes.txt"},
        {"the same name again is numbered", outside + "/notes.txt", {}, "Taxes", localDate(2023, 3, 15), "Taxes/2023/March/notes2.txt"},
        {"and again", outside + "/notes.txt", {}, "Taxes", localDate(2023, 3, 15), "Taxes/2023/March/notes3.txt"},
        {"Unfiled ignores the date", outside + "/notes.txt", {}, "Unfiled", localDate(2023, 3, 15), "Unfiled/notes.txt"},
        {"PDF content ends in .pdf", outside + "/scan.PDF", {}, "Taxes", {}, "Taxes/scan.pdf"},
        {"PDF data named Scan", "Scan", QByteArray("%PDF-1.4"), "Taxes", {}, "Taxes/Scan.pdf"},
        {"PDF data named a.txt", "a.txt", QByteArray("%PDF-1.4"), "Taxes", {}, "Taxes/a.txt.pdf"},
        {"a hostile data name stays inside", "../../etc/passwd", QByteArray("x"), "Taxes", {}, ""},
        {"a link is stored as its content", outside + "/link.txt", {}, "Taxes", {}, "Taxes/link.txt"},
        {"a smart folder target falls back", outside + "/notes.txt", {}, "Last Import", {}, "Unfiled/notes2.txt"},
        {"a missing target falls back to its folder", outside + "/notes.txt", {}, "Taxes/Nowhere", {}, "Taxes/notes.txt"},
        {"a date folder target falls back to its folder", outside + "/notes.txt", {}, "Bank/Visa/2023", {}, "Bank/Visa/notes.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const OperationResult r = doc->recordImport(c.file, c.data, c.parent, -1, std::nullopt, c.end);
        ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
        if (!QString(c.expected).isEmpty()) {
            EXPECT_EQ(r.resultPath, c.expected);
        }
        EXPECT_TRUE(r.resultPath.startsWith(c.parent == "Last Import" ? "Unfiled/" : "")) << r.resultPath.toStdString();
        const QFileInfo stored(pkg + "/" + r.resultPath);
        EXPECT_TRUE(stored.isFile() && !stored.isSymLink()) << r.resultPath.toStdString();
        EXPECT_TRUE(stored.canonicalFilePath().startsWith(QFileInfo(pkg).canonicalFilePath() + "/"));
        const IndexItem* item = doc->tree().itemForPath(r.resultPath);
        ASSERT_TRUE(item);
        EXPECT_EQ(item->has(keys::EndDate), c.end.has_value());
    }
    EXPECT_EQ(readAll(pkg + "/Taxes/link.txt"), "plain");
    // An undated import goes before the trailing run of date folders.
    EXPECT_EQ(childNames(*doc, "Taxes"), (QStringList{"scan.pdf", "Scan.pdf", "a.txt.pdf",
                                                       childNames(*doc, "Taxes")[3], "link.txt", "notes.txt", "2023"}));
    expectRebuildAgrees(doc);
}

TEST_F(Operations, FailedImportCopyIsReportedAndLeavesNoItem)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    const QString file = scratch_.file("big.txt");
    ASSERT_TRUE(writeAll(file, "content"));
    const std::size_t items = doc->tree().size();
    {
        fs::ScopedFault diskFull([](fs::Op op, const QString&) { return op == fs::Op::Copy; });
        const OperationResult r = doc->recordImport(file, std::nullopt, "Unfiled", -1, std::nullopt, std::nullopt);
        EXPECT_EQ(r.status, Status::Failed);
        EXPECT_EQ(r.message, msg::ImportFailed.arg(file));
    }
    EXPECT_TRUE(doc->importFailed());
    EXPECT_EQ(doc->tree().size(), items);
    EXPECT_FALSE(QFile::exists(pkg + "/Unfiled/big.txt"));
    ASSERT_FALSE(ui_.asked.isEmpty());
    EXPECT_EQ(ui_.asked.last().text, msg::ImportFailed.arg(file));

    // A file that is not there fails the same way.
    const OperationResult gone = doc->recordImport(scratch_.file("missing.pdf"), std::nullopt, "Unfiled", -1, {}, {});
    EXPECT_EQ(gone.status, Status::Failed);
}

TEST_F(Operations, ImportLogLinesAreKeptWhenThePreferenceIsOn)
{
    const QString pkg = copyOf("Household.fvdb");
    auto doc = open(pkg);
    KTPrefs prefs(QStringLiteral("org.folivo.test.oplog"), QStringLiteral("org.folivo.test.oplog"));
    prefs.setBool(true, QStringLiteral("ImportLog"));
    doc->setApplicationPreferences(&prefs);
    const QString file = scratch_.file("a.txt");
    ASSERT_TRUE(writeAll(file, "a"));
    ASSERT_TRUE(doc->recordImport(file, std::nullopt, "Unfiled", -1, {}, {}).ok());
    EXPECT_EQ(doc->importLog(), file + " -> Unfiled/a.txt\n");
}

// ---- Encrypted databases --------------------------------------------------------------

class EncryptedOperations : public Operations {
protected:
    const QString password = QStringLiteral("pässwörd");
    QByteArray content(MyDocument& doc, const QString& path, const QString& inner = {})
    {
        QByteArray out;
        QString error;
        EXPECT_TRUE(doc.readItemContent(path, inner, [&](const char* p, qsizetype n) {
            out.append(p, n);
            return true;
        }, &error)) << path.toStdString() << ": " << error.toStdString();
        return out;
    }
    // No plain copy of any file item in the package.
    void expectNoPlainFiles(MyDocument& doc)
    {
        for (IndexItem* item : doc.tree().flatArray()) {
            if (item->isFile()) {
                EXPECT_FALSE(QFile::exists(doc.dbPath() + "/" + item->path())) << item->path().toStdString();
            }
        }
    }
};

TEST_F(EncryptedOperations, EveryKindKeepsContentReadableAndStoredFormsOnly)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    auto doc = open(pkg, password);
    const QByteArray letter = content(*doc, "Bank/Letter.pdf");
    const QByteArray report = content(*doc, "Notes/Report.rtfd", "TXT.rtf");

    ASSERT_EQ(doc->recordRename("Bank/Letter.pdf", "Bank/Letter 2024.pdf").status, Status::Done);
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Letter 2024.pdf.fvdbe"));
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/Letter.pdf.fvdbe"));
    EXPECT_EQ(content(*doc, "Bank/Letter 2024.pdf"), letter);

    ASSERT_EQ(doc->recordNewCategory("Archive", nullptr, -1).status, Status::Done);
    ASSERT_EQ(doc->recordMovePath("Notes/Report.rtfd", doc->tree().itemForPath("Archive"), 0).status, Status::Done);
    EXPECT_EQ(content(*doc, "Archive/Report.rtfd", "TXT.rtf"), report);

    const OperationResult dup = doc->recordDuplicate("Bank/Letter 2024.pdf", pkg::Unfiled);
    ASSERT_EQ(dup.status, Status::Done) << dup.message.toStdString();
    EXPECT_EQ(content(*doc, dup.resultPath), letter);
    EXPECT_EQ(inodeOf(pkg + "/Bank/Letter 2024.pdf.fvdbe"), inodeOf(pkg + "/" + dup.resultPath + ".fvdbe"));

    const QString outside = scratch_.file("import.txt");
    ASSERT_TRUE(writeAll(outside, "secret household text"));
    const OperationResult imp = doc->recordImport(outside, std::nullopt, "Archive", -1, {}, {});
    ASSERT_EQ(imp.status, Status::Done) << imp.message.toStdString();
    EXPECT_EQ(content(*doc, imp.resultPath), "secret household text");
    const OperationResult data = doc->recordImport("Clipboard.txt", QByteArray("clipboard words"), "Archive", -1, {}, {});
    ASSERT_EQ(data.status, Status::Done);
    EXPECT_EQ(content(*doc, data.resultPath), "clipboard words");

    // Copy within the same encrypted database: the stored form is copied as it is.
    const OperationResult copy = doc->recordCopyPath("Archive/Report.rtfd", pkg, doc->tree().itemForPath("Unfiled"), -1);
    ASSERT_EQ(copy.status, Status::Done) << copy.message.toStdString();
    EXPECT_EQ(content(*doc, copy.resultPath, "TXT.rtf"), report);

    ASSERT_EQ(doc->recordDelete("Notes/Old.rtfd").status, Status::Done);
    EXPECT_FALSE(QFile::exists(pkg + "/Notes/Old.rtfd.fvdbze"));
    EXPECT_FALSE(QFile::exists(pkg + "/Notes/Old.rtfd.fvdbzre"));

    expectNoPlainFiles(*doc);
    // No plain text of the imports anywhere in the package.
    QDirIterator it(pkg, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray bytes = readAll(it.next());
        EXPECT_FALSE(bytes.contains("secret household text")) << it.filePath().toStdString();
        EXPECT_FALSE(bytes.contains("clipboard words")) << it.filePath().toStdString();
    }
    expectRebuildAgrees(doc, password);
}

TEST_F(EncryptedOperations, ARenameThatCannotMoveEveryFormIsUndone)
{
    const QString pkg = copyOf("Encrypted.fvdb");
    auto doc = open(pkg, password);
    // A leftover plain copy beside the stored form: two forms that must move together.
    ASSERT_TRUE(writeAll(pkg + "/Bank/Letter.pdf", "plain leftover"));
    {
        fs::ScopedFault failSecond([](fs::Op op, const QString& p) { return op == fs::Op::Rename && p.endsWith(".fvdbe"); });
        const OperationResult r = doc->recordRename("Bank/Letter.pdf", "Bank/New.pdf");
        EXPECT_EQ(r.status, Status::DiskError);
        EXPECT_EQ(r.step, "Renaming encrypted file to");
    }
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Letter.pdf"));
    EXPECT_TRUE(QFile::exists(pkg + "/Bank/Letter.pdf.fvdbe"));
    EXPECT_FALSE(QFile::exists(pkg + "/Bank/New.pdf"));
    EXPECT_TRUE(doc->tree().itemForPath("Bank/Letter.pdf"));
    EXPECT_EQ(ui_.diskErrors.size(), 1);
}

TEST_F(EncryptedOperations, CopyBetweenDatabasesReencipheresWithTheTargetKey)
{
    const QString secret = copyOf("Encrypted.fvdb");
    const QString plainPkg = copyOf("Household.fvdb");
    auto enc = open(secret, password);
    auto plain = open(plainPkg);
    const QByteArray letter = content(*enc, "Bank/Letter.pdf");
    const QByteArray report = content(*enc, "Notes/Report.rtfd", "TXT.rtf");

    // Encrypted to plain: the target holds plain files and nothing was deciphered in the source.
    OperationResult r = plain->recordCopyPath("Notes", secret, plain->tree().itemForPath("Bank"), -1);
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_EQ(readAll(plainPkg + "/Bank/Notes/Report.rtfd/TXT.rtf"), report);
    EXPECT_FALSE(QFile::exists(secret + "/Notes/Report.rtfd"));
    r = plain->recordCopyPath("Bank/Letter.pdf", secret, plain->tree().itemForPath("Unfiled"), -1);
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_EQ(readAll(plainPkg + "/Unfiled/Letter.pdf"), letter);

    // Plain to encrypted: stored forms only, readable with the target's key.
    r = enc->recordCopyPath("Unfiled/Note.txt", plainPkg, enc->tree().itemForPath("Unfiled"), 0);
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_FALSE(QFile::exists(secret + "/Unfiled/Note.txt"));
    EXPECT_EQ(content(*enc, "Unfiled/Note.txt"), readAll(plainPkg + "/Unfiled/Note.txt"));
    expectNoPlainFiles(*enc);

    // The source closes: a copy from it is refused.
    plain.reset();
    EXPECT_EQ(enc->recordCopyPath("Bank", plainPkg, nullptr, 0).status, Status::Refused);
    expectRebuildAgrees(enc, password);
}

// ---- Faults ----------------------------------------------------------------------------

// Fails the Nth change the file-system layer is asked for, for every N until the operation
// runs through without reaching N. Whatever fails, no file of the person's is lost, a
// step that did not happen is reported, and the package opens again.
TEST_F(Operations, EachFailingStepLosesNothingAndIsReported)
{
    struct Kind {
        const char* name;
        bool encrypted;
        std::function<OperationResult(MyDocument&, const QString& outside)> run;
        QString gone; // the item whose content may go (delete)
    };
    const Kind kinds[] = {
        {"new folder", false, [](MyDocument& d, const QString&) { return d.recordNewCategory("Bank/New", d.tree().itemForPath("Bank"), 0); }, {}},
        {"rename folder", false, [](MyDocument& d, const QString&) { return d.recordRename("Bank/Visa", "Bank/Card"); }, {}},
        {"move folder", false, [](MyDocument& d, const QString&) { return d.recordMovePath("Bank/Visa", d.tree().itemForPath("Unfiled"), 0); }, {}},
        {"move dated file", false, [](MyDocument& d, const QString&) { return d.recordMovePath("Bank/Visa/2024/January/Statement.pdf", d.tree().itemForPath("Bank"), 0); }, {}},
        {"delete folder", false, [](MyDocument& d, const QString&) { return d.recordDelete("Bank/Visa"); }, "Bank/Visa"},
        {"duplicate", false, [](MyDocument& d, const QString&) { return d.recordDuplicate("Bank/Welcome Letter.pdf", pkg::Unfiled); }, {}},
        {"import", false, [](MyDocument& d, const QString& f) { return d.recordImport(f, std::nullopt, "Bank", -1, {}, localDate(2025, 5, 5)); }, {}},
        {"encrypted rename", true, [](MyDocument& d, const QString&) { return d.recordRename("Notes/Report.rtfd", "Notes/R.rtfd"); }, {}},
        {"encrypted move", true, [](MyDocument& d, const QString&) { return d.recordMovePath("Bank/Visa", d.tree().itemForPath("Notes"), 0); }, {}},
        {"encrypted import", true, [](MyDocument& d, const QString& f) { return d.recordImport(f, std::nullopt, "Notes", -1, {}, {}); }, {}},
        {"encrypted duplicate", true, [](MyDocument& d, const QString&) { return d.recordDuplicate("Bank/Letter.pdf", pkg::Unfiled); }, {}},
        {"copy folder", false, [](MyDocument& d, const QString&) { return d.recordCopyPath("Bank/Visa", d.dbPath(), d.tree().itemForPath("Unfiled"), 0); }, {}},
        {"encrypted copy", true, [](MyDocument& d, const QString&) { return d.recordCopyPath("Notes", d.dbPath(), d.tree().itemForPath("Bank"), 0); }, {}},
    };
    const QString outside = scratch_.file("incoming.txt");
    ASSERT_TRUE(writeAll(outside, "incoming"));
    const int errnos[] = {ENOSPC, EIO, EACCES};
    int runs = 0;
    int faultsFired = 0;
    for (const Kind& kind : kinds) {
        const QString fixture = kind.encrypted ? "Encrypted.fvdb" : "Household.fvdb";
        const QString pw = kind.encrypted ? QStringLiteral("pässwörd") : QString();
        for (int n = 1;; ++n) {
            SCOPED_TRACE(QStringLiteral("%1, failing change %2").arg(kind.name).arg(n).toStdString());
            const QString pkg = scratch_.file(QStringLiteral("run%1.fvdb").arg(++runs));
            ASSERT_TRUE(fs::copyTree(fixtures_->file(fixture), pkg));
            auto doc = open(pkg, pw);
            QSet<QByteArray> gone;
            if (!kind.gone.isEmpty()) {
                const auto going = visibleContent(pkg + "/" + kind.gone);
                for (auto it = going.begin(); it != going.end(); ++it)
                    gone.insert(it.key());
            }
            const auto before = visibleContent(pkg);
            ui_.diskErrors.clear();
            ui_.asked.clear();
            int calls = 0;
            bool fired = false;
            OperationResult r;
            {
                fs::ScopedFault fault([&](fs::Op op, const QString&) {
                    if (op == fs::Op::Sync)
                        return false;
                    if (++calls != n)
                        return false;
                    fired = true;
                    fs::injectErrno(errnos[n % 3]);
                    return true;
                });
                r = kind.run(*doc, outside);
            }
            EXPECT_TRUE(nothingLost(before, visibleContent(pkg), gone));
            if (fired && !r.ok()) {
                // Not done: it says so.
                EXPECT_TRUE(!ui_.diskErrors.isEmpty() || !r.message.isEmpty());
                if (r.status == Status::DiskError) {
                    EXPECT_FALSE(r.detail.isEmpty());
                }
            }
            if (r.ok() && !r.resultPath.isEmpty()) {
                // Done: the item is in the tree and its file is there.
                EXPECT_TRUE(doc->tree().itemForPath(r.resultPath));
                EXPECT_TRUE(doc->pathOrEncryptedPath(r.resultPath).has_value() || doc->tree().itemForPath(r.resultPath)->hasChildren());
            }
            // The package opens again (rebuilding from the attributes files).
            doc.reset();
            auto again = open(pkg, pw);
            EXPECT_TRUE(again->dbOpen());
            if (!fired)
                break;
            ++faultsFired;
            ASSERT_LT(n, 400) << "the operation never ends";
        }
    }
    EXPECT_GT(faultsFired, 80); // every kind was failed at several steps
    std::printf("%d runs with a failing step\n", faultsFired);
}
