#pragma once
// Auto-filing: which folder a file goes to and which starting and ending dates it gets.
// The rules read the tree and the file's name and text; what the window has selected (the
// browser's folder, the reminder list's folder) comes in as arguments, so the rules hold
// no window state and can be tried from the command line.

#include "filing/ktdate.h"

#include <QDate>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>

namespace folivo {

class IndexItem;
class IndexTree;
class KTPrefs;
using ItemList = std::vector<std::unique_ptr<IndexItem>>;

namespace filingkeys {
// Keys written on folders by the filing tools.
inline const QString CategoryMatch = QStringLiteral("categoryMatch");
inline const QString StartingDateMatch = QStringLiteral("startingDateMatch");
inline const QString EndingDateMatch = QStringLiteral("endingDateMatch");
inline const QString EuropeanDates = QStringLiteral("EuropeanDates");
} // namespace filingkeys

namespace filingrule {
inline const QString SelectedReminder = QStringLiteral("Selected Reminder");
inline const QString BrowserSelection = QStringLiteral("Browser Selection");
inline const QString FilenameMatch = QStringLiteral("Filename Match");
inline const QString TextMatch = QStringLiteral("Text Match");
} // namespace filingrule

// The application preferences the rules read.
struct FilingPreferences {
    QStringList priorities{filingrule::SelectedReminder, filingrule::BrowserSelection, filingrule::FilenameMatch,
                           filingrule::TextMatch};
    int matchType = 0; // 0 equals, 1 begins with, 2 contains, 3 contains as a whole word
    bool ignoreCase = false;
    bool ignoreDateAtBeginning = false;
    bool europeanDates = false;
    static FilingPreferences from(const KTPrefs* prefs);
};

// Whether the folder's name holds `text`: at `location` (-1: anywhere), the name `length`
// characters long (-1: any), and as a whole word. Only plain folders match.
bool folderMatches(const IndexItem& item, QStringView text, qsizetype location, qsizetype length, bool wholeWord,
                   bool ignoreCase);
// The first folder whose name matches `text` by the match type: each level is tested before
// any folder below it, an earlier sibling's branch before a later one's; date folders and
// their contents are never searched.
IndexItem* matchCategory(QStringView text, const ItemList& items, int matchType, bool ignoreCase);
// The folder whose "categoryMatch" occurs earliest in `text` (case matters); on equal
// positions a later sibling wins over an earlier one and a folder over its own children.
IndexItem* findCategoryMatchIn(QStringView text, const ItemList& items, qsizetype* location = nullptr);

// The same answer as findCategoryMatchIn, for many files against one tree: the match
// strings are gathered once and the text is read once, instead of once per folder.
// Valid while no folder's "categoryMatch" changes and no folder that has one goes away.
class CategoryMatchIndex {
public:
    explicit CategoryMatchIndex(const ItemList& items);
    IndexItem* find(QStringView text, qsizetype* location = nullptr) const;
    bool empty() const { return strings_.empty(); }

private:
    std::vector<std::pair<QString, IndexItem*>> strings_; // in visiting order
    // By length, a view of each string (into strings_, whose text never moves) → its first index.
    QMap<qsizetype, QHash<QStringView, int>> byLength_;
    QList<qsizetype> lengths_;                            // ascending
};

// A date found after `phrase` in `text` (case matters), starting at one of the 200 positions
// that follow the phrase. `end` is the index just past the date.
struct DateFound {
    QDate date;
    qsizetype end = 0;
};
std::optional<DateFound> dateMatchFoundIn(QStringView text, QStringView phrase, bool european,
                                          QDate today = QDate::currentDate());

// A quarter: "q2", "2q", "2024q2", "2q24", "1q2024"… A quarter without a year is the last
// one of that number that has reached its last month.
struct DateSpan {
    QDate start;
    QDate end;
};
std::optional<DateSpan> parseQuarterYearFromString(QStringView text, QDate today = QDate::currentDate());

// The starting date assumed for an ending date: one month earlier plus one day, or as many
// months as the reminder of `reminderFolder` repeats over (two, three or twelve).
QDate defaultStartDateForEndDate(QDate end, const IndexItem* reminderFolder);
QDate defaultEndDateForStartDate(QDate start);

// One file to file.
struct FilingInput {
    QString fileName;                  // the last component of the file's name
    IndexItem* target = nullptr;       // the folder the caller chose, or "Unfiled"
    bool ignoreUserSelection = false;  // keep `target`: no rule chooses
    IndexItem* selectedReminder = nullptr; // the folder selected in the reminder list, if any
    // Match strings gathered once for many files (optional).
    const CategoryMatchIndex* matchIndex = nullptr;
    // The file's text; asked for at most once, and only when a rule needs it.
    std::function<std::optional<QString>()> text;
    QDate today = QDate::currentDate();
};

struct FilingDecision {
    IndexItem* folder = nullptr;
    std::optional<QDate> start;
    std::optional<QDate> end;
    QString rule;              // the rule that chose the folder; empty when none did
    bool datedName = false;    // the name carried a pair of dates or a quarter
    bool datesFromText = false;
    bool reminderChosen = false; // "Selected Reminder" chose: the reminder is checked when stored
};

FilingDecision fileOne(const IndexTree& tree, const FilingInput& input, const FilingPreferences& prefs);

// The dates typed into a pair of date fields, checked.
struct DateCheck {
    bool ok = false;
    QString warning;                // empty: the warning line stays hidden
    std::optional<QDate> start;     // parsed dates
    std::optional<QDate> end;
    std::optional<QString> fromText; // what the fields should show now (nullopt: leave as typed)
    std::optional<QString> toText;
};
// `to` absent: a single date field. A quarter typed into either field fills both.
DateCheck checkDatesFrom(const QString& from, const std::optional<QString>& to, bool warnAboutMissingDates,
                         bool european, QDate today = QDate::currentDate());

} // namespace folivo
