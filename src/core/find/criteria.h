#pragma once
// The find criteria: which items of the tree are wanted, as a list of conditions joined by
// all or any. One record drives the Find dialog, is the last search kept in the preference
// "find" and defines a condition smart folder, so it must read what the macOS edition wrote
// and write back everything it read, keys this version does not know included.

#include "plist/value.h"

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

namespace folivo {

// The bits of a condition's "Tag": each entry of a row's condition menu carries a set of them.
namespace findbits {
constexpr int Name = 0x0001;       // subject: the item's name without its extension
constexpr int ItemDates = 0x0002;  // subject: the item's "StartDate" to "EndDate"
constexpr int FileDate = 0x0004;   // subject: the stored file's modification day
constexpr int Contains = 0x0008;   // relation: contains (a date inside the item's range)
constexpr int BeginsWith = 0x0010; // relation: begins with
constexpr int EndsWith = 0x0020;   // relation: ends with
constexpr int OnOrBefore = 0x0040;
constexpr int OnOrAfter = 0x0080;
constexpr int Between = 0x0100;    // relation: between "FromDate" and "ToDate"
constexpr int IgnoreCase = 0x0200;
constexpr int Is = 0x0400;         // relation: the whole text, or the same day
constexpr int Path = 0x0800;       // subject: the item's path inside the package
constexpr int Notes = 0x1000;      // subject: the item's notes
constexpr int Custom = 0x2000;     // a custom attribute condition
constexpr int Tags = 0x4000;       // subject: the item's tags
constexpr int Contents = 0x8000;   // subject: the stored file's text
constexpr int TextMask = Contents | Tags | Notes | Path | Name; // 0xD801

// The tags older versions kept the last find with.
constexpr int LegacyNameContains = 9;
constexpr int LegacyNameContainsIgnoringCase = 521;
constexpr int LegacyDateInRange = 10;
} // namespace findbits

namespace findkeys {
inline const QString Conditions = QStringLiteral("Conditions");
inline const QString All = QStringLiteral("All");
inline const QString Expand = QStringLiteral("Expand");
inline const QString Type = QStringLiteral("Type");
inline const QString SmartFolderName = QStringLiteral("SmartFolderName");
inline const QString Tag = QStringLiteral("Tag");
inline const QString Name = QStringLiteral("Name");
inline const QString Date = QStringLiteral("Date");
inline const QString FromDate = QStringLiteral("FromDate");
inline const QString ToDate = QStringLiteral("ToDate");
inline const QString CustomAttribute = QStringLiteral("CustomAttribute");
inline const QString CustomMatch = QStringLiteral("CustomMatch");
inline const QString CustomMatchType = QStringLiteral("CustomMatchType");
} // namespace findkeys

// What the Find button does.
enum class FindType { FindForward = 0, FindBackward = 1, SelectAll = 2, SmartFolder = 3 };

enum class ConditionKind { CustomAttribute, Text, DateRange, SingleDate };

// How a custom attribute's value is compared with the match text (the index of the row's
// match-type menu).
enum class CustomMatchType { Contains = 0, ContainsIgnoringCase = 1, EqualNumber = 2, GreaterNumber = 3, LessNumber = 4 };

// The kind a tag stands for. Only the low 16 bits count: the macOS edition may store the tag
// read as a signed 16-bit number, so the contents bit arrives as a negative number.
int conditionTag(std::int64_t storedTag);
ConditionKind conditionKindForTag(int tag);

struct FindCondition {
    int tag = 0; // the low 16 bits of the stored "Tag"
    // The fields of the condition's kind; a field that was missing from the stored record, or
    // held something other than a string, stays unset (and the stored value is kept as it was).
    std::optional<QString> name;
    std::optional<QString> date;
    std::optional<QString> fromDate;
    std::optional<QString> toDate;
    std::optional<QString> customAttribute;
    std::optional<QString> customMatch;
    std::optional<std::int64_t> customMatchType;

    ConditionKind kind() const { return conditionKindForTag(tag); }
    bool has(int bits) const { return (tag & bits) != 0; }

    // The record as it was read: its unknown keys (and any key of another kind) go back out.
    plist::Value stored;

    static FindCondition fromValue(const plist::Value& value);
    plist::Value toValue() const;
};

struct FindCriteria {
    std::vector<FindCondition> conditions;
    bool all = true;
    bool expand = false;
    std::int64_t type = 0; // FindType; another number read from a record is kept as it is
    QString smartFolderName;
    plist::Dict stored;

    bool anyContentsCondition() const;
    // A record that is not a dictionary reads as criteria without conditions (matching nothing).
    static FindCriteria fromValue(const plist::Value& value);
    plist::Dict toDict() const;
};

// Condition dates are written in the long-year display format: "M/dd/yyyy", or "dd/M/yyyy"
// with European dates.
QString conditionDateString(QDate day, bool european);
// Reads a condition's date with the one date parser; nothing when it is not a whole valid date.
std::optional<QDate> parseConditionDate(const QString& text, bool european, QDate today = QDate::currentDate());

} // namespace folivo
