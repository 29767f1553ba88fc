// Reports in the window: selecting a smart folder with a report loads it and shows its table
// in place of the viewer, the page's controls store the definition and remake the table, and
// "Export Report…" writes the columns in the order shown; an export whose load was stopped
// writes nothing and says so.

#include "gui/guitest.h"

#include "content/contentarea.h"
#include "mainwindow.h"
#include "reports/reportcommands.h"
#include "reports/reportpage.h"
#include "reports/reportview.h"
#include "smartfolders/smartfoldercommands.h"
#include "widgets/busymode.h"

#include "attributes/customattributes.h"
#include "reports/messages.h"
#include "reports/reportcriteria.h"
#include "smartfolders/smartfolders.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace folivo;
using namespace folivo::gui;
using folivo::test::ModalResponder;

namespace {

void settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
}

// Turns of the event loop, waiting too, until `done` or two seconds passed.
bool settleUntil(const std::function<bool()>& done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 2000)
        QTest::qWait(10);
    settle();
    return done();
}

class ReportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(window_->createDatabase(scratch_.file("Home.fvdb")).ok());
        window_->show();
        doc().customAttributes().setNames(doc(), {"Amount", "Fees"});
        file("bill march.txt", QDate(2024, 3, 31), "12.5", "2");
        file("bill january.txt", QDate(2024, 1, 31), "20", nullptr);
        file("letter.txt", QDate(2024, 2, 1), "99", nullptr);
        FindCondition c;
        c.tag = findbits::Name | findbits::Contains;
        c.name = "bill";
        FindCriteria criteria;
        criteria.conditions = {c};
        criteria.type = 3;
        criteria.smartFolderName = "Bills";
        ASSERT_TRUE(doc().smartFolders().createConditionFolder(criteria));
        ReportCriteria report;
        report.values[0] = {"Amount", ReportOperator::None, {}};
        report.values[1] = {"Amount", ReportOperator::Subtract, "Fees"};
        ASSERT_TRUE(storeReportCriteria(doc(), "Bills", report));
        doc().smartFolders().invalidateAll();
        settle();
    }
    void TearDown() override
    {
        BusyMode::controlHeld = savedControl_;
        window_->close();
    }
    MyDocument& doc() { return window_->document(); }
    ReportCommands& reports() { return *ReportCommands::ofWidget(window_.get()); }
    void file(const char* name, QDate end, const char* amount, const char* fees)
    {
        const QDateTime at(end, QTime(0, 0));
        const OperationResult r = doc().recordImport(name, QByteArray("text"), "Unfiled", -1, at, at);
        ASSERT_TRUE(r.ok());
        ASSERT_TRUE(setCustomAttribute(doc(), r.resultPath, "Amount", amount));
        if (fees)
            ASSERT_TRUE(setCustomAttribute(doc(), r.resultPath, "Fees", fees));
    }
    QStringList column(int c)
    {
        QStringList out;
        QAbstractItemModel* m = reports().view()->table()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, c).data().toString();
        return out;
    }
    // Selects `path`; a smart folder with a report waits for the report.
    void select(const QString& path)
    {
        window_->selectItems({path});
        const IndexItem* item = doc().tree().itemForPath(path);
        if (item && item->isSmartFolder())
            settleUntil([this] { return reports().displayingReport(); });
        settle();
    }

    test::Scratch scratch_;
    std::unique_ptr<MainWindow> window_;
    bool (*savedControl_)() = BusyMode::controlHeld;
};

TEST_F(ReportWindow, SelectingTheFolderLoadsItAndShowsTheReport)
{
    ASSERT_TRUE(doc().smartFolders().needsLoading(*doc().tree().itemForPath("Bills")));
    select("Bills");
    EXPECT_FALSE(doc().smartFolders().needsLoading(*doc().tree().itemForPath("Bills")));
    ASSERT_TRUE(reports().displayingReport());
    EXPECT_EQ(window_->content().currentPage(), ReportView::PageName);
    EXPECT_EQ(window_->content().pathLineText(), "Bills.csv");
    EXPECT_EQ(reports().view()->title()->text(), "Bills Report");
    EXPECT_EQ(column(1), (QStringList{"20.00", "12.50"}));
    EXPECT_EQ(column(2), (QStringList{"", "10.50"}));
    EXPECT_TRUE(reports().view()->table()->isColumnHidden(3)) << "a line not in use";
    EXPECT_TRUE(window_->commandState(MenuCommand::ExportReport).enabled);

    // The controls store the definition and remake the table.
    ReportPage* page = reports().page();
    page->precisionMenu()->setCurrentIndex(0);
    settle();
    EXPECT_EQ(column(1), (QStringList{"20", "12"}));
    EXPECT_EQ(reportCriteriaOf(*doc().tree().itemForPath("Bills")).precision, 0);
    // No complete line: no report.
    page->attribute1(0)->setCurrentIndex(0);
    page->attribute1(1)->setCurrentIndex(0);
    settle();
    EXPECT_FALSE(reports().displayingReport());
    EXPECT_EQ(window_->content().pathLineText(), reportmsg::NoReport);
    EXPECT_FALSE(window_->commandState(MenuCommand::ExportReport).enabled);

    select("Unfiled");
    EXPECT_NE(window_->content().currentPage(), ReportView::PageName);
}

TEST_F(ReportWindow, ExportWritesTheColumnsAsShown)
{
    select("Bills");
    ASSERT_TRUE(reports().displayingReport());
    QHeaderView* header = reports().view()->table()->horizontalHeader();
    header->moveSection(header->visualIndex(2), 0);
    const QString target = scratch_.file("bills.csv");
    QString proposed;
    reports().chooseExportFile = [&](const QString& p) {
        proposed = p;
        return target;
    };
    ASSERT_TRUE(window_->runCommand(MenuCommand::ExportReport));
    settle();
    EXPECT_TRUE(proposed.endsWith("/Bills.csv")) << proposed.toStdString();
    const QList<QByteArray> rows = test::readAll(target).split('\n');
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows[0], "\"Amount - Fees\",\"Date\",\"Amount\"\r");
    EXPECT_TRUE(rows[1].startsWith("\"\",\"2024-01-31 00:00:00 ")) << rows[1].constData();
    EXPECT_TRUE(rows[2].endsWith(",\"12.50\"\r")) << rows[2].constData();
}

TEST_F(ReportWindow, AStoppedLoadFailsTheExport)
{
    select("Bills");
    ASSERT_TRUE(reports().displayingReport());
    // A change makes the folder stale; the export loads it again first and is stopped.
    file("bill april.txt", QDate(2024, 4, 30), "1", nullptr);
    ASSERT_TRUE(doc().smartFolders().needsLoading(*doc().tree().itemForPath("Bills")));
    SmartFolderCommands::ofWidget(window_.get())->sliceSize = 1;
    BusyMode::controlHeld = [] { return true; };
    ModalResponder responder([](QMessageBox* box) { box->accept(); });
    const QString target = scratch_.file("stopped.csv");
    const Result<void> r = reports().exportReportToFile(target);
    BusyMode::controlHeld = savedControl_;
    settle();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().code, ErrorCode::Cancelled);
    EXPECT_FALSE(QFile::exists(target));
    ASSERT_EQ(responder.seen().size(), 1);
    EXPECT_TRUE(responder.seen()[0].text.contains(
        QString(reportmsg::LoadStopped.arg("Bills")).toHtmlEscaped()))
        << responder.seen()[0].text.toStdString();

    // Not stopped, the same export writes the new file too.
    ASSERT_TRUE(reports().exportReportToFile(target).ok());
    EXPECT_TRUE(test::readAll(target).contains("\"2024-04-30 00:00:00 "));
}

} // namespace
