// How fast the matcher is over a large tree: name, tag and custom attribute searches over
// N synthetic items (default 100,000) held in memory, walked the way select all walks them.
//
//   find_bench [--items N] [--repeat R]
//
// Each search is timed as the best and the median of R runs (default 5) and given against
// an anchor measured in the same run: a plain loop over the same items that asks whether
// each one's path contains a word, ignoring case, which is the least any name search costs.
// Target: every search under 200 ms at 100,000 items. The exit status is 0 whether or not the
// target is met; 1 only when a search found a number of items other than the one expected.

#include "find/criteria.h"
#include "find/findwalk.h"
#include "find/matcher.h"
#include "find/selectall.h"
#include "store/dboperation.h"
#include "store/keys.h"
#include "store/tree.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace folivo;
using namespace folivo::findbits;
using plist::Array;
using plist::Dict;

namespace {

class BenchContext : public MatchContext {
public:
    std::optional<QString> fileText(const IndexItem&) override { return std::nullopt; }
    std::optional<QDate> fileModificationDay(const IndexItem&) override { return std::nullopt; }
    bool europeanDates() const override { return false; }
};

double ms(const std::function<void()>& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

struct Timing {
    double best = 0, median = 0;
};

Timing timed(int repeat, const std::function<void()>& f)
{
    std::vector<double> t;
    for (int i = 0; i < repeat; ++i)
        t.push_back(ms(f));
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

FindCondition text(int tag, const QString& needle)
{
    FindCondition c;
    c.tag = tag;
    c.name = needle;
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int items = 100000, repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == "--items")
            items = std::max(100, std::atoi(argv[i + 1]));
        else if (a == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
    }

    // 1,000 folders of files; every 10th file is an invoice with a tag and an amount, and
    // every 7th name carries an accented word stored decomposed.
    IndexTree tree;
    const int folders = std::max(1, items / 100);
    const int perFolder = items / folders - 1;
    const QString decomposed = QString::fromUtf8("Re\u0301sume\u0301");
    int invoices = 0, big = 0, resumes = 0, made = 0;
    for (int f = 0; f < folders; ++f) {
        IndexItem* folder = tree.insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, QString("Folder %1").arg(f)}}, true));
        ++made;
        for (int i = 0; i < perFolder; ++i) {
            const int n = f * perFolder + i;
            const bool invoice = n % 10 == 0;
            const bool resume = n % 7 == 0;
            QString name = QString(invoice ? "Invoice %1" : "Letter %1").arg(n);
            if (resume)
                name += ' ' + decomposed;
            Dict keys{{keys::Path, QString("Folder %1/%2.pdf").arg(f).arg(name)},
                      {keys::Tags, Array{invoice ? "Accounts" : "Post", QString("Year %1").arg(2000 + n % 25)}}};
            if (invoice) {
                const int amount = n % 1000;
                keys.set(keys::CustomAttributes,
                         Array{Dict{{"Attribute", "Client"}, {"Value", QString("Client %1").arg(n % 50)}},
                               Dict{{"Attribute", "Amount"}, {"Value", QString("%1.50 EUR").arg(amount)}}});
                big += amount >= 900; // "900.50" is above 900
            }
            invoices += invoice;
            resumes += resume;
            tree.insert(folder, std::make_unique<IndexItem>(std::move(keys), false));
            ++made;
        }
    }
    tree.rebuildCategoriesFlatArrayIfNeeded();
    const std::vector<IndexItem*> flat = tree.flatArray();
    std::printf("find_bench: %d items (%d folders)\n", made, folders);

    // The anchor: a bare case-insensitive substring test of every path.
    int anchorCount = 0;
    const Timing anchor = timed(repeat, [&] {
        anchorCount = 0;
        for (const IndexItem* item : flat)
            anchorCount += item->path().contains(QLatin1String("invoice"), Qt::CaseInsensitive);
    });
    std::printf("  %-34s best %7.1f ms  median %7.1f ms\n", "anchor (path contains, any case)", anchor.best, anchor.median);

    FindCondition amount;
    amount.tag = Custom;
    amount.customAttribute = "Amount";
    amount.customMatch = "900";
    amount.customMatchType = int(CustomMatchType::GreaterNumber);
    const struct {
        const char* title;
        FindCriteria criteria;
        int expected;
    } searches[] = {
        {"name contains (any case)", FindCriteria{{text(LegacyNameContainsIgnoringCase, "invoice")}, true}, invoices},
        {"name contains, composed needle", FindCriteria{{text(Name | Contains, QString::fromUtf8("R\u00e9sum\u00e9"))}, true}, resumes},
        {"tag contains", FindCriteria{{text(Tags, "Accounts")}, true}, invoices},
        {"attribute Amount > 900", FindCriteria{{amount}, true}, big},
        {"tag and attribute (all)", FindCriteria{{text(Tags, "Accounts"), amount}, true}, big},
    };
    bool broken = false, met = true;
    for (const auto& s : searches) {
        int count = 0;
        const Timing t = timed(repeat, [&] {
            BenchContext context;
            SelectAllScan scan(tree, s.criteria, context);
            while (scan.step(4096)) {
            }
            count = int(scan.found().size());
        });
        const bool ok = count == s.expected;
        broken = broken || !ok;
        met = met && t.median < 200.0;
        std::printf("  %-34s best %7.1f ms  median %7.1f ms  %5.1fx anchor  %s%s\n", s.title, t.best, t.median,
                    t.median / std::max(anchor.median, 0.001), t.median < 200.0 ? "PASS" : "FAIL",
                    ok ? "" : "  (wrong count)");
        if (!ok)
            std::printf("    found %d, expected %d\n", count, s.expected);
    }
    // Find next that meets nothing walks every item once, round from the selection, on
    // its own snapshot of the tree.
    {
        qsizetype tested = 0;
        const Timing t = timed(repeat, [&] {
            BenchContext context;
            FindWalk walk(tree, FindCriteria{{text(Name | Contains, "no such name")}, true}, context, QString(), false);
            while (walk.step(4096)) {
            }
            tested = walk.tested();
        });
        const bool ok = tested == qsizetype(flat.size());
        broken = broken || !ok;
        met = met && t.median < 200.0;
        std::printf("  %-34s best %7.1f ms  median %7.1f ms  %5.1fx anchor  %s%s\n", "find next, no match (a round)",
                    t.best, t.median, t.median / std::max(anchor.median, 0.001), t.median < 200.0 ? "PASS" : "FAIL",
                    ok ? "" : "  (wrong count)");
    }
    std::printf("target: every search under 200 ms: %s\n", met ? "PASS" : "FAIL");
    return broken ? 1 : 0;
}
