// Reminders: the next due date of every kind of recurrence, the fields' rules, and the lists
// of an open database as folders are ticked, renamed, moved and deleted.

#include "reminders/reminder.h"
#include "reminders/reminders.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace folivo {
namespace {

ReminderDefinition every(int when, const QString& day, qint64 month = 0)
{
    ReminderDefinition d;
    d.when = when;
    d.day = day;
    d.month = std::int64_t(month);
    return d;
}

TEST(NextReminderDate, EveryKindOfRecurrence)
{
    const struct {
        int when;
        const char* day;
        qint64 month;
        QDate today;
        std::optional<QDate> due;
    } cases[] = {
        {0, "5", 0, {2024, 3, 1}, std::nullopt},
        {1, "5", 0, {2024, 3, 1}, QDate(2024, 3, 5)},
        {1, "5", 0, {2024, 3, 5}, QDate(2024, 4, 5)},   // monthly on its day moves on
        {1, "5", 0, {2024, 12, 31}, QDate(2025, 1, 5)},
        {1, "31", 0, {2024, 4, 2}, QDate(2024, 5, 1)},  // April 31 is May 1
        {2, "10", 0, {2024, 3, 5}, QDate(2024, 3, 10)}, // odd months
        {2, "10", 0, {2024, 3, 10}, QDate(2024, 5, 10)},
        {2, "10", 0, {2024, 11, 20}, QDate(2025, 1, 10)},
        {2, "10", 0, {2024, 12, 1}, QDate(2025, 1, 10)},
        {3, "10", 0, {2024, 1, 20}, QDate(2024, 2, 10)}, // even months
        {3, "10", 0, {2024, 12, 20}, QDate(2025, 2, 10)},
        {3, "10", 0, {2024, 2, 1}, QDate(2024, 2, 10)},
        {4, "1", 0, {2024, 2, 15}, QDate(2024, 4, 1)}, // quarterly
        {4, "15", 0, {2024, 10, 1}, QDate(2024, 10, 15)},
        {4, "15", 0, {2024, 11, 1}, QDate(2025, 1, 15)},
        {5, "1", 5, {2024, 6, 1}, QDate(2024, 6, 1)}, // yearly on its day is due today
        {5, "1", 5, {2024, 6, 2}, QDate(2025, 6, 1)},
        {5, "15", 3, {2024, 6, 2}, QDate(2025, 4, 15)},
        {5, "15", 11, {2024, 1, 2}, QDate(2024, 12, 15)},
        {9, "15", 11, {2024, 1, 2}, QDate(2024, 12, 15)}, // above 5 counts as yearly
        {5, "15", 12, {2024, 1, 2}, std::nullopt},        // no such month: no date
        {5, "15", -1, {2024, 1, 2}, std::nullopt},
        {5, "15", std::numeric_limits<qint64>::max(), {2024, 1, 2}, std::nullopt},
        {1, "", 0, {2024, 3, 1}, QDate(2024, 4, 1)},       // no number: the 1st, never day 0
        {1, "abc", 0, {2024, 3, 10}, QDate(2024, 4, 1)},
        {1, "0", 0, {2024, 3, 10}, QDate(2024, 4, 1)},     // clamped to 1-31
        {1, "99", 0, {2024, 3, 10}, QDate(2024, 3, 31)},
        {1, " 7th", 0, {2024, 3, 10}, QDate(2024, 4, 7)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nextReminderDate(every(c.when, c.day, c.month), c.today), c.due)
            << "when " << c.when << " day '" << c.day << "' month " << c.month << " on "
            << c.today.toString(Qt::ISODate).toStdString();
    }
}

TEST(NextReminderDate, TickingNeverLeavesAReminderDueOnTheSameDay)
{
    EXPECT_EQ(advancedReminderDate(every(5, "1", 5), QDate(2024, 6, 1)), QDate(2025, 6, 1));
    EXPECT_EQ(advancedReminderDate(every(1, "5", 0), QDate(2024, 3, 5)), QDate(2024, 4, 5));
    EXPECT_EQ(advancedReminderDate(every(1, "5", 0), QDate(2024, 3, 9)), QDate(2024, 4, 5))
        << "ticked late it goes to the next one";
    EXPECT_EQ(advancedReminderDate(every(0, "5", 0), QDate(2024, 3, 9)), std::nullopt);
}

TEST(ReminderFields, DayAndMonthTextsAndTheRowText)
{
    for (const char* ok : {"1", "31", "15th", "", "x", " 3"})
        EXPECT_TRUE(reminderDayTextAcceptable(ok)) << ok;
    for (const char* bad : {"0", "32", "-1", "999999999999999999999"})
        EXPECT_FALSE(reminderDayTextAcceptable(bad)) << bad;
    EXPECT_EQ(reminderDayChoices().size(), 31);

    EXPECT_EQ(completeReminderMonth("ju")->text, "June");
    EXPECT_EQ(completeReminderMonth("ju")->selectionStart, 2);
    EXPECT_EQ(completeReminderMonth("")->text, "January");
    EXPECT_FALSE(completeReminderMonth("Xy"));
    EXPECT_EQ(reminderMonthIndexOf("Jul"), 6);
    EXPECT_EQ(reminderMonthIndexOf("jul"), 12) << "the index is looked up case-sensitively";

    ReminderDefinition d = every(1, "5");
    EXPECT_EQ(reminderRowText(QDate(2024, 3, 5), "Bank/Visa", d, false), "3/05/2024 - Bank/Visa: Download");
    d.textType = 1;
    EXPECT_EQ(reminderWhat(d), "Scan In");
    d.textType = 2;
    d.text = "Pay the rent";
    EXPECT_EQ(reminderWhat(d), "Pay the rent");
    EXPECT_EQ(reminderPrompt(5), "On the following day of the year:");
    EXPECT_EQ(reminderPrompt(0), "");
}

TEST(ReminderFields, TheStoredDefinitionKeepsWhatItDoesNotKnow)
{
    plist::Dict stored{{"when", std::int64_t(5)},
                       {"day", "3"},
                       {"month", plist::Value(plist::UnsignedInt{std::numeric_limits<std::uint64_t>::max()})},
                       {"textType", std::int64_t(2)},
                       {"text", "Tax papers"},
                       {"colour", "red"}};
    const ReminderDefinition d = ReminderDefinition::from(stored);
    EXPECT_EQ(d.when, 5);
    EXPECT_FALSE(d.monthIndex());
    EXPECT_EQ(d.toDict(), stored) << "an unreadable month and unknown keys are written back unchanged";
}

class RemindersOfADatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        for (const char* f : {"Bank", "Tax"})
            ASSERT_EQ(doc_.recordNewCategory(f, nullptr, -1).status, OperationResult::Status::Done);
        ASSERT_EQ(doc_.recordNewCategory("Bank/Visa", folder("Bank"), -1).status, OperationResult::Status::Done);
        doc_.reminders().clock = [this] { return now_; };
    }
    IndexItem* folder(const QString& path) { return doc_.tree().itemForPath(path); }
    QStringList paths(const std::vector<IndexItem*>& list)
    {
        QStringList out;
        for (const IndexItem* i : list)
            out << i->path();
        return out;
    }
    std::optional<QDate> due(const QString& path) { return Reminders::dueDateOf(*folder(path)); }

    test::Scratch scratch_;
    QString db_ = scratch_.file("Reminders.fvdb");
    test::FakeUi ui_;
    MyDocument doc_{ui_};
    QDateTime now_{QDate(2024, 6, 1), QTime(9, 30)};
};

TEST_F(RemindersOfADatabase, DueAndFutureInDateOrderAndTickingAdvances)
{
    Reminders& r = doc_.reminders();
    ASSERT_TRUE(r.setDefinition(*folder("Tax"), every(5, "1", 5)));       // June 1: due today
    ASSERT_TRUE(r.setDefinition(*folder("Bank/Visa"), every(1, "5")));    // June 5
    ASSERT_TRUE(r.setDefinition(*folder("Bank"), every(1, "3")));         // June 3
    EXPECT_FALSE(r.setDefinition(*folder("Bank"), every(1, "3"))) << "the same definition changes nothing";
    EXPECT_EQ(paths(r.all()), QStringList({"Tax", "Bank", "Bank/Visa"}));
    EXPECT_EQ(paths(r.current()), QStringList({"Tax"}));
    EXPECT_EQ(r.wantedNotices().size(), 2u) << "only future reminders are notified";
    EXPECT_FALSE(r.setChecked(*folder("Bank"), true)) << "a reminder that is not due cannot be ticked";

    ASSERT_TRUE(r.setChecked(*folder("Tax"), true));
    EXPECT_EQ(due("Tax"), QDate(2024, 6, 1)) << "it advances at the next update";
    EXPECT_TRUE(r.update());
    EXPECT_EQ(due("Tax"), QDate(2025, 6, 1)) << "a yearly reminder ticked on its day goes to next year";
    EXPECT_TRUE(r.current().empty());
    EXPECT_FALSE(Reminders::checkedOf(*folder("Tax")));

    now_ = QDateTime(QDate(2024, 6, 5), QTime(0, 0));
    r.update();
    EXPECT_EQ(paths(r.current()), QStringList({"Bank", "Bank/Visa"})) << "due at the start of the day";
    ASSERT_TRUE(r.setChecked(*folder("Bank/Visa"), true));
    r.update();
    EXPECT_EQ(due("Bank/Visa"), QDate(2024, 7, 5));

    // The attributes files hold it all: a rebuild finds the same reminders.
    doc_.rebuildIndex();
    EXPECT_EQ(paths(doc_.reminders().all()), QStringList({"Bank", "Bank/Visa", "Tax"}));
    EXPECT_EQ(due("Bank/Visa"), QDate(2024, 7, 5));

    ASSERT_TRUE(r.setDefinition(*folder("Bank"), every(0, "3")));
    EXPECT_FALSE(folder("Bank")->has(keys::ReminderDate));
    EXPECT_EQ(paths(r.all()), QStringList({"Bank/Visa", "Tax"}));
}

TEST_F(RemindersOfADatabase, RenamesMovesAndDeletesLeaveNoStaleReminder)
{
    Reminders& r = doc_.reminders();
    ASSERT_TRUE(r.setDefinition(*folder("Bank/Visa"), every(1, "5")));
    ASSERT_TRUE(r.setDefinition(*folder("Tax"), every(1, "7")));
    ASSERT_EQ(doc_.recordRename("Bank/Visa", "Bank/Card").status, OperationResult::Status::Done);
    ASSERT_EQ(doc_.recordMovePath("Bank/Card", folder("Tax"), -1).status, OperationResult::Status::Done);
    QStringList notified;
    for (const ReminderNotice& n : r.wantedNotices())
        notified << n.identifier.mid(db_.size() + 1);
    EXPECT_EQ(notified, QStringList({"Tax/Card", "Tax"}));
    const ReminderNotice card = r.wantedNotices().front();
    EXPECT_EQ(card.title, "Reminders");
    EXPECT_EQ(card.subtitle, "Tax");
    EXPECT_EQ(card.body, "Card");
    EXPECT_EQ(card.when, QDateTime(QDate(2024, 6, 5), QTime(0, 0)));

    ASSERT_EQ(doc_.recordDelete("Tax").status, OperationResult::Status::Done);
    EXPECT_TRUE(r.all().empty()) << "the folder and the one inside it went";
    EXPECT_TRUE(r.wantedNotices().empty());
}

TEST_F(RemindersOfADatabase, ADatabaseOpenForReadingNeverAdvances)
{
    ASSERT_TRUE(doc_.reminders().setDefinition(*folder("Tax"), every(5, "1", 5)));
    ASSERT_TRUE(doc_.reminders().setChecked(*folder("Tax"), true));
    // Saved and closed on a day before it falls due, so that the save does not advance it.
    now_ = QDateTime(QDate(2024, 5, 1), QTime(12, 0));
    doc_.saveChanges(false);
    ASSERT_TRUE(Reminders::checkedOf(*folder("Tax")));
    doc_.closeDatabase();
    now_ = QDateTime(QDate(2024, 6, 1), QTime(9, 30));

    test::FakeUi ui;
    MyDocument reader(ui);
    reader.reminders().clock = [this] { return now_; };
    OpenOptions options;
    options.forReading = true;
    ASSERT_TRUE(reader.openDatabase(db_, options).ok());
    EXPECT_EQ(reader.reminders().current().size(), 1u) << "collected at open";
    EXPECT_FALSE(reader.reminders().update());
    IndexItem* tax = reader.tree().itemForPath("Tax");
    EXPECT_TRUE(Reminders::checkedOf(*tax));
    EXPECT_EQ(Reminders::dueDateOf(*tax), QDate(2024, 6, 1));
    EXPECT_FALSE(reader.reminders().setDefinition(*tax, every(1, "9")));
}

} // namespace
} // namespace folivo
