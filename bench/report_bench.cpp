// How fast a report is made over a large smart folder: N members (default 10,000) of a
// condition folder, each with an amount and fees and an ending date spread over three years,
// in a tree of M items (default 100,000).
//
//   report_bench [--members N] [--items M] [--repeat R] [--dir D] [--keep]
//
// Measured, each as the best and the median of R runs (default 5), with the folder loaded:
// - the report's lines and titles (the members read from the folder, two columns: the
//   amount, and the amount less the fees) — target under 200 ms;
// - the same with the CSV written to a file beside it — also under 200 ms.
// The exit status is 0 whether or not the targets are met; 1 when the report held a number
// of lines other than the one expected.

#include "find/documentmatch.h"
#include "reports/report.h"
#include "reports/reportcsv.h"
#include "smartfolders/smartfolders.h"
#include "store/dboperation.h"
#include "store/documentui.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "util/fs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <ctime>

using namespace folivo;
using plist::Array;
using plist::Dict;

namespace {

constexpr const char* kBenchName = "report_bench";
#include "benchcommon.inc"

void usage()
{
    std::fprintf(stderr, "usage: report_bench [--members N] [--items M] [--repeat R] [--dir D] [--keep]\n");
    std::exit(2);
}

struct Timing {
    double best = 0, median = 0;
};

Timing timed(int repeat, const std::function<void()>& f)
{
    std::vector<double> t;
    for (int i = 0; i < repeat; ++i) {
        const auto t0 = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::sort(t.begin(), t.end());
    return {t.front(), t[t.size() / 2]};
}

void print(const char* title, const Timing& t, double target)
{
    std::printf("  %-44s best %9.3f ms  median %9.3f ms  %s\n", title, t.best, t.median, verdict(t.median < target));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int members = 10000, items = 100000, repeat = 5;
    QString dir;
    bool keep = false;
    ArgReader args(argc, argv, usage);
    while (args.next()) {
        const std::string a = args.arg();
        if (a == "--members")
            members = int(args.number(1, 1000000));
        else if (a == "--items")
            items = int(args.number(1, 10000000));
        else if (a == "--repeat")
            repeat = int(args.number(1, 100));
        else if (a == "--dir")
            dir = QString::fromLocal8Bit(args.value());
        else if (a == "--keep")
            keep = true;
        else
            usage();
    }
    items = std::max(items, members);
    makeWorkDir(dir, keep);

    SilentUi ui;
    MyDocument doc(ui);
    if (!doc.createDatabase(g_workDir + QStringLiteral("/Reports.fvdb")).ok())
        die(QStringLiteral("cannot create the database"));
    IndexTree& tree = doc.tree();
    // Folders of 100 items; every (items / members)-th one a bill. The items live in the tree
    // only, which is all a report over dated files reads.
    const QDate today = QDate::currentDate();
    const int every = items / members;
    IndexItem* folder = nullptr;
    int bills = 0, inWindow = 0;
    for (int n = 0; n < items; ++n) {
        if (n % 100 == 0)
            folder = tree.insert(nullptr, std::make_unique<IndexItem>(Dict{{keys::Path, QString("Folder %1").arg(n / 100)}}, true));
        const bool bill = n % every == 0 && bills < members;
        const QDate end = today.addDays(-(n % 1095));
        Dict keys{{keys::Path, QString("%1/%2 %3.pdf").arg(folder->path(), bill ? "Bill" : "Letter").arg(n)},
                  {keys::EndDate, toPlistDate(QDateTime(end, QTime(0, 0)))}};
        if (bill) {
            keys.set(keys::CustomAttributes,
                     Array{Dict{{"Attribute", "Amount"}, {"Value", QString("%1.%2").arg(n % 1000).arg(n % 100)}},
                           Dict{{"Attribute", "Fees"}, {"Value", QString::number(n % 7)}}});
            ++bills;
            ++inWindow;
        }
        tree.insert(folder, std::make_unique<IndexItem>(std::move(keys), false));
    }
    std::printf("report_bench: %zu items, %d members\n", tree.size(), bills);

    FindCondition c;
    c.tag = findbits::Name | findbits::Contains;
    c.name = "Bill";
    FindCriteria criteria;
    criteria.conditions = {c};
    criteria.type = 3;
    criteria.smartFolderName = "Bills";
    IndexItem* smart = doc.smartFolders().createConditionFolder(criteria);
    if (!smart)
        die(QStringLiteral("cannot make the smart folder"));
    DocumentMatchContext context(doc);
    const auto l0 = Clock::now();
    if (!doc.smartFolders().loadToCompletion(*smart, context))
        die(QStringLiteral("the folder did not load"));
    std::printf("  loading the folder (once)                     %9.3f ms\n",
                std::chrono::duration<double, std::milli>(Clock::now() - l0).count());

    ReportCriteria definition;
    definition.values[0] = {"Amount", ReportOperator::None, {}};
    definition.values[1] = {"Amount", ReportOperator::Subtract, "Fees"};
    const ReportSources sources = documentReportSources(doc, QDateTime::currentDateTime());
    int lines = 0;
    const Timing produce = timed(repeat, [&] {
        const Report r = produceReportLinesAndHeaders(definition, doc.smartFolders().members(*smart), sources);
        lines = int(r.lines.size());
    });
    print("report of the folder", produce, 200);
    const QString csv = g_workDir + QStringLiteral("/Bills.csv");
    qint64 bytes = 0;
    const Timing exported = timed(repeat, [&] {
        const Report r = produceReportLinesAndHeaders(definition, doc.smartFolders().members(*smart), sources);
        if (!exportReportToFile(r, csv).ok())
            die(QStringLiteral("cannot write the CSV"));
        bytes = QFileInfo(csv).size();
    });
    print("report written as CSV", exported, 200);
    std::printf("  %d lines, %lld bytes of CSV\n", lines, qlonglong(bytes));
    const bool ok = lines == inWindow;
    if (!ok)
        std::printf("  held %d lines, expected %d\n", lines, inWindow);
    cleanUp();
    return ok ? 0 : 1;
}
