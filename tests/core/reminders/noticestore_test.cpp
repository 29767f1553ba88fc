// The schedule of desktop notifications: a database's entries follow its reminders exactly,
// unchanged input writes nothing, and a clicked request is acted on only when it is ours and
// points at a database that is there.

#include "reminders/noticestore.h"
#include "reminders/reminder.h"
#include "reminders/reminders.h"
#include "store/indexitem.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace folivo {
namespace {

ReminderNotice notice(const QString& db, const QString& folder, QDateTime when)
{
    const qsizetype slash = folder.lastIndexOf(u'/');
    return {db + u'/' + folder, QFileInfo(db).completeBaseName(), slash < 0 ? QString() : folder.left(slash),
            folder.mid(slash + 1), when, db, folder};
}

QStringList identifiers(const std::vector<ReminderNotice>& list, qsizetype cut = 0)
{
    QStringList out;
    for (const ReminderNotice& n : list)
        out << n.identifier.mid(cut);
    return out;
}

QStringList identifiers(const std::vector<StoredNotice>& list)
{
    QStringList out;
    for (const StoredNotice& e : list)
        out << e.notice.identifier;
    return out;
}

class NoticeStoreTest : public ::testing::Test {
protected:
    test::Scratch scratch_;
    QString file_ = scratch_.file("data/folivo/reminders.json");
    NoticeStore store_{file_};
    QString a_ = scratch_.file("A.fvdb");
    QString b_ = scratch_.file("B.fvdb");
    QDateTime june5_{QDate(2024, 6, 5), QTime(0, 0)};
    QDateTime june7_{QDate(2024, 6, 7), QTime(0, 0)};
};

TEST_F(NoticeStoreTest, ReconcileMakesTheDatabasesEntriesExactlyTheWantedOnes)
{
    // Each step is what a database's reminders want after a change; the other database's
    // entry must survive all of them.
    ASSERT_TRUE(store_.reconcile(b_, {notice(b_, "Rent", june5_)}));
    const struct {
        const char* what;
        std::vector<ReminderNotice> wanted;
        QStringList added, removed, inStore;
    } steps[] = {
        {"first schedule",
         {notice(a_, "Bank/Visa", june5_), notice(a_, "Tax", june7_)},
         {a_ + "/Bank/Visa", a_ + "/Tax"},
         {},
         {a_ + "/Bank/Visa", b_ + "/Rent", a_ + "/Tax"}},
        {"rename Visa to Card",
         {notice(a_, "Bank/Card", june5_), notice(a_, "Tax", june7_)},
         {a_ + "/Bank/Card"},
         {a_ + "/Bank/Visa"},
         {a_ + "/Bank/Card", b_ + "/Rent", a_ + "/Tax"}},
        {"move Card into Tax",
         {notice(a_, "Tax/Card", june5_), notice(a_, "Tax", june7_)},
         {a_ + "/Tax/Card"},
         {a_ + "/Bank/Card"},
         {a_ + "/Tax/Card", b_ + "/Rent", a_ + "/Tax"}},
        {"ticked: a new date replaces the entry",
         {notice(a_, "Tax/Card", june7_), notice(a_, "Tax", june7_)},
         {a_ + "/Tax/Card"},
         {},
         {b_ + "/Rent", a_ + "/Tax", a_ + "/Tax/Card"}},
        {"delete Tax", {}, {}, {a_ + "/Tax", a_ + "/Tax/Card"}, {b_ + "/Rent"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        Result<NoticeChanges> changes = store_.reconcile(a_, step.wanted);
        ASSERT_TRUE(changes);
        EXPECT_EQ(identifiers(changes->added), step.added);
        QStringList removed(changes->removed.begin(), changes->removed.end());
        removed.sort();
        EXPECT_EQ(removed, step.removed);
        EXPECT_EQ(identifiers(store_.entries()), step.inStore);
    }
}

TEST_F(NoticeStoreTest, UnchangedInputWritesNothingAndKeepsTheShownState)
{
    const std::vector<ReminderNotice> wanted{notice(a_, "Tax", june5_), notice(a_, "Bank", june7_)};
    ASSERT_TRUE(store_.reconcile(a_, wanted));
    EXPECT_EQ(store_.writes(), 1);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(file_).constData(), &before), 0);
    EXPECT_EQ(before.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(file_).absolutePath()).constData(), &before), 0);
    EXPECT_EQ(before.st_mode & 0777, 0700u);

    ASSERT_TRUE(store_.markShown(a_ + "/Tax"));
    const int afterShown = store_.writes();
    EXPECT_FALSE(store_.markShown(a_ + "/Tax").value()) << "marking it again changes nothing";

    // A save every minute asks again with the same wanted set, in any order.
    for (int i = 0; i < 3; ++i) {
        Result<NoticeChanges> changes = store_.reconcile(a_, {wanted[1], wanted[0]});
        ASSERT_TRUE(changes);
        EXPECT_TRUE(changes->empty());
    }
    EXPECT_EQ(store_.writes(), afterShown) << "the file is not rewritten";
    EXPECT_TRUE(store_.find(a_ + "/Tax")->shown) << "an unchanged entry keeps its state";
    EXPECT_EQ(identifiers(store_.due(june7_)), QStringList({a_ + "/Bank"})) << "a shown entry is not due again";
    EXPECT_EQ(identifiers(store_.future(june5_)), QStringList({a_ + "/Bank"}));

    // Another object over the same file (the command line) sees the same entries.
    EXPECT_EQ(NoticeStore(file_).entries(), store_.entries());
    ASSERT_TRUE(store_.forget(a_ + "/Bank"));
    EXPECT_EQ(identifiers(store_.entries()), QStringList({a_ + "/Tax"}));
}

TEST_F(NoticeStoreTest, ADamagedFileIsAnEmptyStoreAndIsReplaced)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file_).absolutePath()));
    for (const QByteArray& junk : {QByteArray("{not json"), QByteArray("[]"), QByteArray(R"({"version":9})")}) {
        QFile f(file_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(junk);
        f.close();
        EXPECT_TRUE(store_.entries().empty()) << junk.constData();
    }
    ASSERT_TRUE(store_.reconcile(a_, {notice(a_, "Tax", june5_)}));
    EXPECT_EQ(store_.entries().size(), 1u);
}

TEST_F(NoticeStoreTest, OnlyOurOwnRequestsForAnExistingPackageAreActedOn)
{
    ASSERT_TRUE(QDir().mkpath(a_));
    const QString plainFolder = scratch_.file("Documents");
    ASSERT_TRUE(QDir().mkpath(plainFolder));
    ReminderNotice mismatched = notice(a_, "Tax", june5_);
    mismatched.identifier = a_ + "/Bank";
    ASSERT_TRUE(store_.reconcile(a_, {notice(a_, "Tax", june5_), mismatched}));
    ASSERT_TRUE(store_.reconcile(plainFolder, {notice(plainFolder, "Tax", june5_)}));
    ASSERT_TRUE(store_.reconcile(b_, {notice(b_, "Tax", june5_)}));

    const struct {
        QString identifier;
        bool acted;
        const char* why;
    } cases[] = {
        {a_ + "/Tax", true, "ours, and the package is there"},
        {a_ + "/Rent", false, "not in the store"},
        {"", false, "no identifier"},
        {a_ + "/Bank", false, "the entry's folder is not what its identifier says"},
        {plainFolder + "/Tax", false, "not a .fvdb package"},
        {b_ + "/Tax", false, "the package is gone"},
    };
    for (const auto& c : cases) {
        const std::optional<ReminderNotice> r = store_.request(c.identifier);
        EXPECT_EQ(r.has_value(), c.acted) << c.why;
        if (r) {
            EXPECT_EQ(r->folderPath, "Tax");
        }
    }
}

TEST(NoticeStoreOfADatabase, RenameMoveAndDeleteLeaveNoStaleEntry)
{
    test::Scratch scratch;
    test::FakeUi ui;
    MyDocument doc(ui);
    const QString db = scratch.file("Home.fvdb");
    ASSERT_TRUE(doc.createDatabase(db).ok());
    for (const char* f : {"Bank", "Tax"})
        ASSERT_EQ(doc.recordNewCategory(f, nullptr, -1).status, OperationResult::Status::Done);
    ASSERT_EQ(doc.recordNewCategory("Bank/Visa", doc.tree().itemForPath("Bank"), -1).status,
              OperationResult::Status::Done);
    const QDateTime now(QDate(2024, 6, 1), QTime(9, 0));
    doc.reminders().clock = [now] { return now; };
    ReminderDefinition monthly;
    monthly.when = 1;
    monthly.day = "5";
    ASSERT_TRUE(doc.reminders().setDefinition(*doc.tree().itemForPath("Bank/Visa"), monthly));
    ASSERT_TRUE(doc.reminders().setDefinition(*doc.tree().itemForPath("Tax"), monthly));

    NoticeStore store(scratch.file("reminders.json"));
    const auto inStore = [&] {
        QStringList out;
        for (const StoredNotice& e : store.entries())
            out << e.notice.folderPath;
        out.sort();
        return out;
    };
    ASSERT_TRUE(store.reconcile(db, doc.reminders().wantedNotices()));
    EXPECT_EQ(inStore(), QStringList({"Bank/Visa", "Tax"}));
    ASSERT_EQ(doc.recordRename("Bank/Visa", "Bank/Card").status, OperationResult::Status::Done);
    ASSERT_TRUE(store.reconcile(db, doc.reminders().wantedNotices()));
    EXPECT_EQ(inStore(), QStringList({"Bank/Card", "Tax"}));
    ASSERT_EQ(doc.recordMovePath("Bank/Card", doc.tree().itemForPath("Tax"), -1).status,
              OperationResult::Status::Done);
    ASSERT_TRUE(store.reconcile(db, doc.reminders().wantedNotices()));
    EXPECT_EQ(inStore(), QStringList({"Tax", "Tax/Card"}));
    ASSERT_EQ(doc.recordDelete("Tax").status, OperationResult::Status::Done);
    ASSERT_TRUE(store.reconcile(db, doc.reminders().wantedNotices()));
    EXPECT_TRUE(inStore().isEmpty());
}

} // namespace
} // namespace folivo
