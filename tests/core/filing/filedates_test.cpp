// The shown file's two dates and its folder's filing tools: checking typed dates, storing
// them (a new ending date re-files the file), the folder's strings and switch, and the
// preview of the dates its phrases find.

#include "filing/filedates.h"
#include "filing/filingrules.h"
#include "store/dboperation.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "support/fakeui.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::test;

namespace {

const QDate Today(2024, 5, 15);
using Status = OperationResult::Status;

QString iso(const std::optional<QDate>& d)
{
    return d ? d->toString(Qt::ISODate) : QStringLiteral("-");
}

class FileDates : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc_.createDatabase(db_).ok());
        ASSERT_EQ(doc_.recordNewCategory("Bank", nullptr, -1).status, Status::Done);
        ASSERT_EQ(doc_.recordNewCategory("Bank/Visa", doc_.tree().itemForPath("Bank"), -1).status, Status::Done);
        const OperationResult r = doc_.recordImport("Statement.txt", QByteArray("Balance"), "Bank/Visa", -1,
                                                    day(2024, 3, 1), day(2024, 3, 31));
        ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
        file_ = r.resultPath;
    }
    static QDateTime day(int y, int m, int d) { return QDateTime(QDate(y, m, d), QTime(0, 0)); }
    IndexItem* item(const QString& path) { return doc_.tree().itemForPath(path); }
    // What the attributes files say, as the next open after a crash would read them.
    void rebuild() { doc_.rebuildIndex(); }

    Scratch scratch_;
    QString db_ = scratch_.file("Dates.fvdb");
    FakeUi ui_;
    MyDocument doc_{ui_};
    QString file_;
};

TEST_F(FileDates, TypedDatesAreCheckedAndCompleted)
{
    IndexItem* quarterly = item("Bank/Visa");
    quarterly->setValue(keys::Reminder, plist::Dict{{"when", std::int64_t(4)}});
    struct Case {
        const char* what;
        QString from, to;
        const IndexItem* reminder;
        bool ok;
        QString warning;
        QString fromShown, toShown; // what the fields show afterwards
        bool endChanged, startChanged;
    };
    // The file had 3/1/2024 to 3/31/2024.
    const std::vector<Case> cases = {
        {"start after end keeps the old dates", "4/2/2024", "4/1/2024", nullptr, false,
         "Starting date must be on or before ending date.", "3/01/2024", "3/31/2024", false, false},
        {"an invalid date keeps the old dates", "soon", "4/1/2024", nullptr, false, "\"soon\" is an invalid date.",
         "3/01/2024", "3/31/2024", false, false},
        {"only an ending date starts a month earlier", "", "4/30/2024", nullptr, true, "", "3/31/2024", "4/30/2024",
         true, true},
        {"only an ending date, quarterly reminder", "", "6/15/2024", quarterly, true, "", "3/16/2024", "6/15/2024",
         true, true},
        {"only a starting date ends the same day", "3/5/2024", "", nullptr, true, "", "3/05/2024", "3/05/2024", true,
         true},
        {"a quarter in the first field fills both", "2024q2", "", nullptr, true, "", "4/01/2024", "6/30/2024", true,
         true},
        {"a quarter in the second field fills both", "3/1/2024", "q1", nullptr, true, "", "1/01/2024", "3/31/2024",
         false, true},
        {"only the start changes", "3/2/2024", "3/31/2024", nullptr, true, "", "3/02/2024", "3/31/2024", false, true},
        {"nothing changes", "3/1/2024", "3/31/2024", nullptr, true, "", "3/01/2024", "3/31/2024", false, false},
        {"both emptied", "", "", nullptr, true, "", "", "", true, true},
    };
    for (const Case& c : cases) {
        const DateFieldsEdit e =
            editDateFields(c.from, c.to, QDate(2024, 3, 1), QDate(2024, 3, 31), c.reminder, false, Today);
        EXPECT_EQ(e.ok, c.ok) << c.what;
        EXPECT_EQ(e.warning, c.warning) << c.what;
        EXPECT_EQ(e.fromText, c.fromShown) << c.what;
        EXPECT_EQ(e.toText, c.toShown) << c.what;
        EXPECT_EQ(e.change.endChanged, c.endChanged) << c.what;
        EXPECT_EQ(e.change.startChanged, c.startChanged) << c.what;
    }
}

TEST_F(FileDates, NewEndingDateRefilesTheFileAndSurvivesARebuild)
{
    const OperationResult r = storeFileDates(doc_, file_, std::nullopt, QDate(2024, 7, 10));
    ASSERT_EQ(r.status, Status::Done) << r.message.toStdString();
    EXPECT_EQ(r.resultPath, "Bank/Visa/2024/July/Statement.txt");
    EXPECT_EQ(item(file_), nullptr);
    // The old month folder went with its last file.
    EXPECT_EQ(item("Bank/Visa/2024/March"), nullptr);
    rebuild();
    const IndexItem* moved = item("Bank/Visa/2024/July/Statement.txt");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(iso(itemStartDate(*moved)), "2024-06-11");
    EXPECT_EQ(iso(itemEndDate(*moved)), "2024-07-10");
}

TEST_F(FileDates, StartingDateOnlyRewritesTheAttributesFile)
{
    const OperationResult r = storeFileDates(doc_, file_, QDate(2024, 3, 10), QDate(2024, 3, 31));
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_EQ(r.resultPath, file_);
    rebuild();
    ASSERT_NE(item(file_), nullptr);
    EXPECT_EQ(iso(itemStartDate(*item(file_))), "2024-03-10");
}

// A new ending date in the same month leaves the file in its month folder: the new dates
// must still reach its attributes file, or a rebuild brings the old ones back.
TEST_F(FileDates, NewEndingDateInTheSameMonthSurvivesARebuild)
{
    const OperationResult r = storeFileDates(doc_, file_, QDate(2024, 3, 1), QDate(2024, 3, 20));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.resultPath, file_);
    rebuild();
    ASSERT_NE(item(file_), nullptr);
    EXPECT_EQ(iso(itemEndDate(*item(file_))), "2024-03-20");
}

TEST_F(FileDates, ClearedDatesTakeTheFileOutOfItsDateFolders)
{
    const OperationResult r = storeFileDates(doc_, file_, std::nullopt, std::nullopt);
    ASSERT_EQ(r.status, Status::Done);
    EXPECT_EQ(r.resultPath, "Bank/Visa/Statement.txt");
    EXPECT_FALSE(item(r.resultPath)->has(keys::EndDate));
    EXPECT_FALSE(item(r.resultPath)->has(keys::StartDate));
}

TEST_F(FileDates, ADatabaseOpenForReadingChangesNothing)
{
    doc_.closeDatabase();
    doc_.close();
    const auto before = packageListing(db_);
    MyDocument reader(ui_);
    OpenOptions options;
    options.forReading = true;
    ASSERT_TRUE(reader.openDatabase(db_, options).ok());
    EXPECT_EQ(storeFileDates(reader, file_, std::nullopt, QDate(2024, 9, 1)).status, Status::Refused);
    EXPECT_FALSE(setFolderFilingText(reader, "Bank/Visa", filingkeys::CategoryMatch, "VISA"));
    EXPECT_FALSE(setFolderEuropeanDates(reader, "Bank/Visa", true));
    EXPECT_EQ(iso(itemEndDate(*reader.tree().itemForPath(file_))), "2024-03-31");
    EXPECT_FALSE(reader.tree().itemForPath("Bank/Visa")->has(filingkeys::CategoryMatch));
    EXPECT_EQ(listingDifferences(before, packageListing(db_)), QString());
}

// The settings edited on a folder's own page belong to that folder: they are in its
// attributes file, so a rebuild keeps them.
TEST_F(FileDates, FolderSettingsAreWrittenToTheFolderItself)
{
    ASSERT_TRUE(setFolderFilingText(doc_, "Bank/Visa", filingkeys::CategoryMatch, "VISA CARD"));
    ASSERT_TRUE(setFolderFilingText(doc_, "Bank/Visa", filingkeys::StartingDateMatch, "Period from"));
    ASSERT_TRUE(setFolderFilingText(doc_, "Bank/Visa", filingkeys::EndingDateMatch, "to"));
    ASSERT_TRUE(setFolderEuropeanDates(doc_, "Bank/Visa", true));
    EXPECT_FALSE(setFolderFilingText(doc_, "Bank/Visa", filingkeys::CategoryMatch, "VISA CARD")) << "unchanged";
    rebuild();
    const IndexItem* visa = item("Bank/Visa");
    ASSERT_NE(visa, nullptr);
    EXPECT_EQ(visa->value(filingkeys::CategoryMatch)->string(), "VISA CARD");
    EXPECT_EQ(visa->value(filingkeys::StartingDateMatch)->string(), "Period from");
    EXPECT_EQ(visa->value(filingkeys::EndingDateMatch)->string(), "to");
    EXPECT_TRUE(visa->flag(filingkeys::EuropeanDates));
    EXPECT_TRUE(visa->value(filingkeys::EuropeanDates)->isBool());
    EXPECT_FALSE(item("Bank")->has(filingkeys::CategoryMatch));

    // An emptied field removes the key.
    ASSERT_TRUE(setFolderFilingText(doc_, "Bank/Visa", filingkeys::CategoryMatch, ""));
    ASSERT_TRUE(setFolderEuropeanDates(doc_, "Bank/Visa", false));
    rebuild();
    EXPECT_FALSE(item("Bank/Visa")->has(filingkeys::CategoryMatch));
    EXPECT_FALSE(item("Bank/Visa")->flag(filingkeys::EuropeanDates));
    EXPECT_FALSE(setFolderEuropeanDates(doc_, "Bank", false)) << "off is what a folder without the key has";
}

TEST_F(FileDates, UseSelectionWithNothingSelectedKeepsTheString)
{
    ASSERT_TRUE(setFolderFilingText(doc_, "Bank/Visa", filingkeys::CategoryMatch, "VISA"));
    EXPECT_FALSE(useSelectionFor(doc_, "Bank/Visa", filingkeys::CategoryMatch, QString()));
    EXPECT_EQ(item("Bank/Visa")->value(filingkeys::CategoryMatch)->string(), "VISA");
    EXPECT_TRUE(useSelectionFor(doc_, "Bank/Visa", filingkeys::CategoryMatch, "Visa Platinum"));
    EXPECT_EQ(item("Bank/Visa")->value(filingkeys::CategoryMatch)->string(), "Visa Platinum");
}

TEST(PhrasePreview, WhatThePhrasesFindInTheShownText)
{
    const QString text = QStringLiteral("ACME Bank. Statement period: 3/1/2024 to 3/31/2024. Closing 4/2/2024.");
    IndexItem quarterly(plist::Dict{{keys::Path, "Q"}, {keys::Reminder, plist::Dict{{"when", std::int64_t(4)}}}}, true);
    struct Case {
        const char* what;
        bool textOrPdf;
        QString start, end;
        const IndexItem* reminder;
        std::optional<QDate> currentStart, currentEnd;
        QString startLabel, endLabel;
        bool startWarning, endWarning, apply;
    };
    const std::vector<Case> cases = {
        {"both found",
         true,
         "period:",
         "to",
         nullptr,
         {},
         {},
         "Date Found: 3/01/2024",
         "Date Found: 3/31/2024",
         false,
         false,
         true},
        // The ending phrase is looked for in what follows the starting date.
        {"ending date after the start",
         true,
         "period:",
         "Closing",
         nullptr,
         {},
         {},
         "Date Found: 3/01/2024",
         "Date Found: 4/02/2024",
         false,
         false,
         true},
        {"only an end found: the start is assumed",
         true,
         "",
         "to",
         nullptr,
         {},
         {},
         "Date Assumed: 3/01/2024",
         "Date Found: 3/31/2024",
         false,
         false,
         true},
        {"assumed by the folder's reminder",
         true,
         "nowhere",
         "to",
         &quarterly,
         {},
         {},
         "Date Assumed: 1/01/2024",
         "Date Found: 3/31/2024",
         false,
         false,
         true},
        {"only a start found: the end is the same day",
         true,
         "period:",
         "",
         nullptr,
         {},
         {},
         "Date Found: 3/01/2024",
         "Date Assumed: 3/01/2024",
         false,
         false,
         true},
        {"nothing found warns for each phrase", true, "nowhere", "never", nullptr, {}, {}, "", "", true, true, false},
        {"an empty phrase does not warn", true, "nowhere", "", nullptr, {}, {}, "", "", true, false, false},
        {"the file already has the dates", true, "period:", "to", nullptr, QDate(2024, 3, 1), QDate(2024, 3, 31),
         "Date Found: 3/01/2024", "Date Found: 3/31/2024", false, false, false},
        {"not text: nothing shows", false, "period:", "to", nullptr, {}, {}, "", "", false, false, false},
    };
    for (const Case& c : cases) {
        PhrasePreviewInput in;
        in.textOrPdf = c.textOrPdf;
        in.text = text;
        in.startPhrase = c.start;
        in.endPhrase = c.end;
        in.reminderFolder = c.reminder;
        in.currentStart = c.currentStart;
        in.currentEnd = c.currentEnd;
        in.today = Today;
        const PhrasePreview p = previewPhrases(in);
        EXPECT_EQ(p.startLabel, c.startLabel) << c.what;
        EXPECT_EQ(p.endLabel, c.endLabel) << c.what;
        EXPECT_EQ(p.startWarning, c.startWarning) << c.what;
        EXPECT_EQ(p.endWarning, c.endWarning) << c.what;
        EXPECT_EQ(p.applyShown, c.apply) << c.what;
    }

    PhrasePreviewInput in;
    in.textOrPdf = true;
    in.text = text;
    in.startPhrase = "period:";
    in.today = Today;
    const PhrasePreview cut = previewPhrases(in);
    EXPECT_EQ(cut.textAfterStart, " to 3/31/2024. Closing 4/2/2024.");
    // Day-first phrases and a day-first display.
    in.text = QStringLiteral("Period from 1/3/2024");
    in.startPhrase = "from";
    in.european = true;
    in.displayEuropean = true;
    const PhrasePreview dayFirst = previewPhrases(in);
    EXPECT_EQ(iso(dayFirst.start), "2024-03-01");
    EXPECT_EQ(dayFirst.startLabel, "Date Found: 01/3/2024");
}

} // namespace
