// libFuzzer target over find criteria as a keyed archive keeps them (the preference "find",
// a smart folder's "SmartFolder"): the archive is decoded, read as criteria and tested against
// every item of a small tree with a fake context that has texts, modification days, notes,
// tags, custom attributes and dates.
//
// Besides "no crash, no undefined behaviour", criteria written back read back the same, and
// the answer for an item does not change when asked twice (the matcher keeps caches).

#include "find/criteria.h"
#include "find/matcher.h"
#include "plist/keyedarchive.h"

using folivo::plist::decodeKeyedArchive;
#include "store/dboperation.h"
#include "store/keys.h"
#include "store/tree.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace folivo;
using plist::Array;
using plist::Dict;
using plist::Value;

namespace {

void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

class FakeContext : public MatchContext {
public:
    std::optional<QString> fileText(const IndexItem& item) override
    {
        if (item.hasChildren())
            return std::nullopt;
        return QStringLiteral("Statement of account 12.5 EUR\ncaf\u00e9 ") + item.path();
    }
    std::optional<QDate> fileModificationDay(const IndexItem& item) override
    {
        if (item.path().contains('2'))
            return QDate(2024, 3, 31);
        return std::nullopt;
    }
    bool europeanDates() const override { return european; }
    QDate today() const override { return QDate(2024, 6, 15); }
    bool european = false;
};

Value day(int y, int m, int d)
{
    return Value(toPlistDate(QDateTime(QDate(y, m, d), QTime(0, 0))));
}

IndexTree& tree()
{
    static IndexTree* t = [] {
        auto* tree = new IndexTree;
        IndexItem* bank = tree->insert(nullptr, std::make_unique<IndexItem>(
                                                    Dict{{keys::Path, "Bank"}, {keys::Reminder, Dict{{"when", 4}}}}, true));
        tree->insert(bank, std::make_unique<IndexItem>(
                               Dict{{keys::Path, "Bank/Statement 2024.pdf"},
                                    {keys::StartDate, day(2024, 3, 1)},
                                    {keys::EndDate, day(2024, 3, 31)},
                                    {keys::Notes, QString::fromUtf8("Paid in Cafe\u0301")},
                                    {keys::Tags, Array{"Tax", 7, QString::fromUtf8("r\u00e9sum\u00e9")}},
                                    {keys::CustomAttributes,
                                     Array{Dict{{"Attribute", "Amount"}, {"Value", "12abc"}},
                                           Dict{{"Attribute", "Amount"}, {"Value", "1e400"}}, Value("odd"),
                                           Dict{{"Attribute", 3}, {"Value", "x"}}}}},
                               false));
        tree->insert(bank, std::make_unique<IndexItem>(Dict{{keys::Path, "Bank/.hidden"}, {keys::EndDate, day(2024, 1, 31)}},
                                                       false));
        tree->insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, "Unfiled"}, {keys::StartDate, "not a date"}}, true));
        return tree;
    }();
    return *t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<Value> archive = decodeKeyedArchive(QByteArrayView(data, qsizetype(size)));
    if (!archive)
        return 0;
    const FindCriteria criteria = FindCriteria::fromValue(*archive);
    const Dict written = criteria.toDict();
    require(FindCriteria::fromValue(written).toDict() == written, "written criteria read back the same");

    FakeContext context;
    context.european = size % 2 == 1;
    tree().forEach([&](IndexItem& item) {
        const bool first = matches(item, criteria, context);
        require(matches(item, criteria, context) == first, "the same answer twice");
    });
    for (const FindCondition& c : criteria.conditions)
        for (const auto& text : {c.name, c.customMatch, c.date})
            if (text)
                (void)leadingNumber(*text);
    return 0;
}
