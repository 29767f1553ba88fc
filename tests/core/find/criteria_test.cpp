// Find criteria as stored: the kinds a tag stands for, the tag's low 16 bits, round trips that
// keep what this version does not know, condition dates, and the smart folder name check.

#include "find/criteria.h"
#include "find/messages.h"
#include "find/smartfoldername.h"
#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/packagepath.h"
#include "store/tree.h"

#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::findbits;
using plist::Array;
using plist::Dict;
using plist::Value;

TEST(FindCriteria, KindsFollowTheTagBits)
{
    const struct {
        std::int64_t stored;
        int tag;
        ConditionKind kind;
    } cases[] = {
        {LegacyNameContains, 9, ConditionKind::Text},
        {LegacyNameContainsIgnoringCase, 521, ConditionKind::Text},
        {LegacyDateInRange, 10, ConditionKind::SingleDate},
        {Custom | Name, Custom | Name, ConditionKind::CustomAttribute},
        {Tags | IgnoreCase, Tags | IgnoreCase, ConditionKind::Text},
        {Path | Is, Path | Is, ConditionKind::Text},
        {Notes | Contains, Notes | Contains, ConditionKind::Text},
        {Between | ItemDates, Between | ItemDates, ConditionKind::DateRange},
        {Between | Notes, Between | Notes, ConditionKind::Text},
        {FileDate | Is, FileDate | Is, ConditionKind::SingleDate},
        // The contents bit read as a signed 16-bit number, and its positive form.
        {-32760, Contents | Contains, ConditionKind::Text},
        {Contents | Contains, Contents | Contains, ConditionKind::Text},
        {std::int64_t(0x10000) | Name, Name, ConditionKind::Text},
    };
    for (const auto& c : cases) {
        const FindCondition cond = FindCondition::fromValue(Dict{{findkeys::Tag, c.stored}});
        EXPECT_EQ(cond.tag, c.tag) << c.stored;
        EXPECT_EQ(cond.kind(), c.kind) << c.stored;
    }
}

TEST(FindCriteria, RoundTripKeepsEverything)
{
    const Dict stored{
        {findkeys::Conditions,
         Array{Dict{{findkeys::Tag, std::int64_t(-32760)}, {findkeys::Name, "invoice"}, {"Future", Array{1, 2}}},
               Dict{{findkeys::Tag, std::int64_t(Custom)},
                    {findkeys::CustomAttribute, "Amount"},
                    {findkeys::CustomMatch, "12"},
                    {findkeys::CustomMatchType, std::int64_t(3)}},
               Dict{{findkeys::Tag, std::int64_t(Between | ItemDates)},
                    {findkeys::FromDate, "1/01/2024"},
                    {findkeys::ToDate, "12/31/2024"}},
               Dict{{findkeys::Tag, std::int64_t(FileDate | Is)}, {findkeys::Date, 42}}, // not a string
               Value("a bookmark")}},
        {findkeys::All, std::int64_t(1)},
        {findkeys::Expand, false},
        {findkeys::Type, std::int64_t(7)}, // a type this version does not run
        {findkeys::SmartFolderName, ""},
        {"WindowFrame", "{{1, 2}, {3, 4}}"},
    };
    const FindCriteria f = FindCriteria::fromValue(stored);
    ASSERT_EQ(f.conditions.size(), 5u);
    EXPECT_TRUE(f.all);
    EXPECT_EQ(f.type, 7);
    EXPECT_EQ(f.conditions[0].name, QString("invoice"));
    EXPECT_EQ(f.conditions[1].customMatchType, 3);
    EXPECT_EQ(f.conditions[2].fromDate, QString("1/01/2024"));
    EXPECT_FALSE(f.conditions[3].date.has_value());
    EXPECT_TRUE(f.anyContentsCondition());
    // Unchanged, the record goes back as it came, down to the types of its numbers.
    EXPECT_EQ(Value(f.toDict()), Value(stored));
    // And through the archive form the preferences and smart folders keep.
    const QByteArray archived = plist::encodeKeyedArchive(Value(f.toDict()));
    const auto back = plist::decodeKeyedArchive(archived);
    ASSERT_TRUE(back);
    EXPECT_EQ(Value(FindCriteria::fromValue(*back).toDict()), Value(stored));

    // Changed fields are written; the rest stays.
    FindCriteria g = f;
    g.all = false;
    g.conditions[0].tag = Name | Contains;
    g.conditions[0].name = "receipt";
    const Dict out = g.toDict();
    EXPECT_EQ(*out.find(findkeys::All), Value(false));
    EXPECT_EQ(*out.find("WindowFrame"), Value("{{1, 2}, {3, 4}}"));
    const Dict& first = out.find(findkeys::Conditions)->array()[0].dict();
    EXPECT_EQ(*first.find(findkeys::Tag), Value(std::int64_t(Name | Contains)));
    EXPECT_EQ(*first.find(findkeys::Name), Value("receipt"));
    EXPECT_EQ(*first.find("Future"), Value(Array{1, 2}));
}

TEST(FindCriteria, OddRecordsReadAsNothing)
{
    for (const Value& v : {Value(), Value("find"), Value(Array{}), Value(Dict{{findkeys::Conditions, "x"}})}) {
        const FindCriteria f = FindCriteria::fromValue(v);
        EXPECT_TRUE(f.conditions.empty());
    }
    // A new record written from nothing carries every key of the record.
    const Dict fresh = FindCriteria{}.toDict();
    for (const QString& key : {findkeys::Conditions, findkeys::All, findkeys::Expand, findkeys::Type, findkeys::SmartFolderName})
        EXPECT_TRUE(fresh.contains(key)) << key.toStdString();
}

TEST(FindCriteria, ConditionDatesInTheLongYearFormat)
{
    const QDate d(2024, 3, 4);
    EXPECT_EQ(conditionDateString(d, false), "3/04/2024");
    EXPECT_EQ(conditionDateString(d, true), "04/3/2024");
    EXPECT_EQ(parseConditionDate("3/04/2024", false), d);
    EXPECT_EQ(parseConditionDate("04/3/2024", true), d);
    EXPECT_EQ(parseConditionDate("3/04/2024", true), QDate(2024, 4, 3));
    EXPECT_FALSE(parseConditionDate("", false));
    EXPECT_FALSE(parseConditionDate("2/30/2024", false));
    EXPECT_FALSE(parseConditionDate("3/04/2024 x", false));
}

TEST(SmartFolderName, Problems)
{
    IndexTree tree;
    tree.insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, "Taxes"}}, true));
    tree.insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, QString::fromUtf8("Caf\u00e9")}, {keys::SmartFolder, Dict{}}}, true));
    const QString longName(MaxNameBytes, QChar('a'));
    const struct {
        QString name;
        QString beingEdited;
        std::optional<QString> problem;
    } cases[] = {
        {"", "", findmsg::MissingSmartFolderName},
        {"a/b", "", findmsg::BadSmartFolderName},
        {".hidden", "", findmsg::BadSmartFolderName},
        {"Taxes", "", findmsg::NameInUse},
        {QString::fromUtf8("Cafe\u0301"), "", findmsg::NameInUse}, // the same name, decomposed
        {QString::fromUtf8("Caf\u00e9"), QString::fromUtf8("Caf\u00e9"), std::nullopt}, // its own name
        {"Taxes", "Other", findmsg::NameInUse},
        {"Last Import", "", findmsg::NameInUse}, // the system's folder, even before it exists
        {"a\tb", "", nameProblemMessage(NameProblem::ControlCharacter)},
        {longName + "a", "", nameProblemMessage(NameProblem::TooLong)},
        {longName, "", std::nullopt},
        {"Receipts 2024", "", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(smartFolderNameProblem(c.name, tree, c.beingEdited), c.problem) << c.name.toStdString();
}
