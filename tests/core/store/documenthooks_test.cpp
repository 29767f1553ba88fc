// The two ways a subsystem follows an open database: it hears the end of every recorded
// operation, and it keeps a part of its own that the document reads after the open and
// writes at the save.

#include "store/documenthooks.h"
#include "store/mydocument.h"
#include "support/packagefixtures.h"
#include "util/fs.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

using namespace folivo;
using folivo::test::Fixtures;
using Status = OperationResult::Status;

namespace {

struct Heard {
    OperationCode code;
    Status status;
    bool itemThere; // whether the result's path was in the tree when the observer was told
};

class RecordingObserver : public OperationObserver {
public:
    explicit RecordingObserver(MyDocument& doc) : doc_(doc) {}
    void operationFinished(const DBOperation& op, const OperationResult& result) override
    {
        heard.push_back({op.code(), result.status,
                         !result.resultPath.isEmpty() && doc_.tree().itemForPath(result.resultPath)});
    }
    std::vector<Heard> heard;

private:
    MyDocument& doc_;
};

class TestPart : public DocumentPart {
public:
    QString partName() const override { return QStringLiteral("test part"); }
    void read(MyDocument& doc) override
    {
        ++reads;
        treeAtRead = doc.tree().itemForPath(QStringLiteral("Bank/Visa")) != nullptr;
        openAtRead = doc.dbOpen();
    }
    bool changed(const MyDocument&) const override { return dirty; }
    bool write(MyDocument&) override
    {
        ++writes;
        if (!writeSucceeds)
            return false;
        dirty = false;
        return true;
    }
    bool essential() const override { return isEssential; }
    void clear() override { ++clears; }

    int reads = 0, writes = 0, clears = 0;
    bool treeAtRead = false, openAtRead = false;
    bool dirty = false, writeSucceeds = true, isEssential = true;
};

class DocumentHooks : public Fixtures {};

TEST_F(DocumentHooks, EveryOperationIsHeardOnceWithItsResultWhateverItsKindOrEnd)
{
    const QString pkg = copyOf("Household.fvdb");
    MyDocument doc(ui_);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    RecordingObserver observer(doc);
    doc.addOperationObserver(&observer);
    doc.addOperationObserver(&observer); // subscribing twice is still one subscription
    IndexTree& t = doc.tree();
    QString imported;

    struct Case {
        const char* what;
        OperationCode code;
        Status expected;
        std::function<OperationResult()> run;
    };
    const Case cases[] = {
        {"new folder", OperationCode::NewFolder, Status::Done, [&] { return doc.recordNewCategory("Taxes", nullptr, -1); }},
        {"rename", OperationCode::Rename, Status::Done, [&] { return doc.recordRename("Taxes", "Levies"); }},
        {"import", OperationCode::Import, Status::Done,
         [&] {
             OperationResult r = doc.recordImport("Scan.txt", QByteArray("scanned"), "Levies", -1, std::nullopt, std::nullopt);
             imported = r.resultPath;
             return r;
         }},
        {"move", OperationCode::Move, Status::Done,
         [&] { return doc.recordMovePath("Bank/Welcome Letter.pdf", t.itemForPath("Levies"), 0); }},
        {"duplicate", OperationCode::Duplicate, Status::Done, [&] { return doc.recordDuplicate("Unfiled/Note.txt", "Unfiled"); }},
        {"copy", OperationCode::CopyFromDatabase, Status::Done,
         [&] { return doc.recordCopyPath("Bank/Visa", pkg, t.itemForPath("Levies"), 0); }},
        {"delete", OperationCode::Delete, Status::Done, [&] { return doc.recordDelete(imported); }},
        {"nothing", OperationCode::Nothing, Status::Nothing, [&] { return doc.doDBOperation(DBOperation{}); }},
        {"refused", OperationCode::Move, Status::Refused, [&] { return doc.recordMovePath("Bank", t.itemForPath("Bank"), 0); }},
        {"disk error", OperationCode::Rename, Status::DiskError,
         [&] {
             fs::ScopedFault fault([](fs::Op op, const QString&) { return op == fs::Op::Rename; });
             return doc.recordRename("Unfiled/Note.txt", "Unfiled/Memo.txt");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        observer.heard.clear();
        const OperationResult r = c.run();
        ASSERT_EQ(r.status, c.expected) << r.message.toStdString();
        ASSERT_EQ(observer.heard.size(), 1u);
        EXPECT_EQ(observer.heard[0].code, c.code);
        EXPECT_EQ(observer.heard[0].status, r.status);
        // Told once the tree holds the result.
        if (r.status == Status::Done && c.code != OperationCode::Delete) {
            EXPECT_TRUE(observer.heard[0].itemThere) << r.resultPath.toStdString();
        }
    }

    // A refusal before anything starts (a database opened only for reading) is heard too.
    doc.close();
    ASSERT_TRUE(doc.openDatabase(pkg, OpenOptions{false, true}).ok());
    observer.heard.clear();
    EXPECT_EQ(doc.recordDelete("Unfiled/Note.txt").status, Status::Refused);
    ASSERT_EQ(observer.heard.size(), 1u);
    EXPECT_EQ(observer.heard[0].code, OperationCode::Delete);

    // Once unsubscribed, nothing more.
    doc.removeOperationObserver(&observer);
    observer.heard.clear();
    (void)doc.recordDelete("Unfiled/Note.txt");
    EXPECT_TRUE(observer.heard.empty());
}

TEST_F(DocumentHooks, APartIsReadAfterTheTreeExistsAndClearedAtClose)
{
    const QString pkg = copyOf("Household.fvdb");
    TestPart part; // outlives the document, which clears its parts when it goes
    MyDocument doc(ui_);
    doc.addPart(&part);
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    EXPECT_EQ(part.reads, 1);
    EXPECT_TRUE(part.treeAtRead);
    EXPECT_TRUE(part.openAtRead);

    const int clearsBefore = part.clears;
    doc.close();
    EXPECT_EQ(part.clears, clearsBefore + 1);

    // A rebuild at open (".changed" left behind) reads the part from the rebuilt tree.
    ASSERT_TRUE(fs::createMarker(pkg + "/.changed", 0600));
    ASSERT_TRUE(doc.openDatabase(pkg).ok());
    ASSERT_TRUE(doc.rebuiltAtOpen());
    EXPECT_EQ(part.reads, 2);
    EXPECT_TRUE(part.treeAtRead);
}

TEST_F(DocumentHooks, APartIsWrittenOnlyWhenChangedAndAFailedEssentialWriteKeepsTheMarker)
{
    struct Case {
        const char* what;
        bool dirty, writeSucceeds, essential;
        int writes;        // writes by the first save
        bool markerAfter;  // ".changed" after the first save
    } const cases[] = {
        {"unchanged", false, true, true, 0, false},
        {"changed", true, true, true, 1, false},
        {"changed, write fails", true, false, true, 1, true},
        {"changed, write fails, not essential", true, false, false, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString pkg = copyOf("Household.fvdb");
        TestPart part;
        MyDocument doc(ui_);
        doc.addPart(&part);
        ASSERT_TRUE(doc.openDatabase(pkg).ok());
        ASSERT_TRUE(doc.changed());
        part.dirty = c.dirty;
        part.writeSucceeds = c.writeSucceeds;
        part.isEssential = c.essential;

        const SaveOutcome saved = doc.saveChanges(true);
        EXPECT_TRUE(saved.saved);
        EXPECT_EQ(part.writes, c.writes);
        EXPECT_EQ(QFile::exists(pkg + "/.changed"), c.markerAfter);
        // An incomplete save says so and runs again at the next tick.
        EXPECT_EQ(saved.error.isEmpty(), !c.markerAfter) << saved.error.toStdString();
        EXPECT_EQ(doc.noNeedToSaveNow(), !c.markerAfter);
        if (c.markerAfter) {
            part.writeSucceeds = true;
            (void)doc.saveChanges(true);
            EXPECT_EQ(part.writes, c.writes + 1);
            EXPECT_FALSE(QFile::exists(pkg + "/.changed"));
        }
        doc.close();
        QFile::remove(pkg + "/.changed");
        fs::deleteTree(pkg);
    }
}

} // namespace
