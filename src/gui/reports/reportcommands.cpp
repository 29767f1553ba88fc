#include "reportcommands.h"

#include "attributes/attributesarea.h"
#include "content/contentarea.h"
#include "reportpage.h"
#include "reportview.h"
#include "smartfolders/smartfoldercommands.h"
#include "widgets/busymode.h"

#include "find/documentmatch.h"
#include "reports/messages.h"
#include "reports/reportcsv.h"
#include "smartfolders/smartfolders.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QDir>
#include <QFileDialog>
#include <QHash>
#include <QStandardPaths>
#include <QTimer>

namespace folivo::gui {

namespace {

inline constexpr PromptId ReportExportFailed{"report-export-failed"};

QHash<const QWidget*, ReportCommands*>& modulesByWidget()
{
    static QHash<const QWidget*, ReportCommands*> modules;
    return modules;
}

// While another step holds the window (a load started by opening the folder), the report
// waits this long before it looks again.
constexpr int kRetryMs = 50;

} // namespace

ReportCommands::ReportCommands(WindowContext& window, AttributesArea* area)
    : CommandModule(window), area_(area), page_(new ReportPage(window.document())), view_(new ReportView)
{
    modulesByWidget().insert(window.window(), this);
    if (area_)
        area_->setReportPage(page_);
    if (!window_.content().addPage(ReportView::PageName, view_))
        delete view_;
    view_ = static_cast<ReportView*>(window_.content().page(ReportView::PageName));
    connect(page_, &ReportPage::criteriaChanged, this, [this](const QString& path) {
        if (path == folder_)
            produceReport();
    });
}

ReportCommands::~ReportCommands()
{
    modulesByWidget().remove(window_.window());
}

ReportCommands* ReportCommands::ofWidget(const QWidget* window)
{
    return modulesByWidget().value(window, nullptr);
}

void ReportCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow r;
    r.command = MenuCommand::ExportReport;
    r.menu = MenuId::File;
    r.section = 45;
    r.text = tr("Export &Report…");
    r.icon = QStringLiteral("x-office-spreadsheet|document-export");
    r.run = [this] { exportReport(); };
    registry.add(std::move(r));
}

void ReportCommands::fillMenuContext(MenuContext& c) const
{
    c.displayingReport = c.displayingReport || displaying_;
}

void ReportCommands::databaseOpened()
{
    folder_.clear();
    showNoReport();
}

void ReportCommands::windowClosing()
{
    ++generation_;
    folder_.clear();
    displaying_ = false;
}

void ReportCommands::selectionChanged(const QStringList& paths)
{
    ++generation_;
    const IndexItem* item =
        paths.size() == 1 ? window_.document().tree().itemForPath(paths.front()) : nullptr;
    if (!item || !item->isSmartFolder()) {
        folder_.clear();
        page_->showFolder({}, false);
        page_->setWarningShown(false);
        if (displaying_) {
            displaying_ = false;
            view_->clear();
            if (window_.content().currentPage() == ReportView::PageName)
                window_.content().showPage(ContentArea::HintPage);
            window_.refreshActions();
        }
        return;
    }
    folder_ = item->path();
    page_->showFolder(folder_, window_.document().canChange());
    // After the turn that shows the selection: the folder's own load starts first.
    scheduleProduce();
}

void ReportCommands::scheduleProduce()
{
    const int generation = generation_;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation != generation_)
            return;
        const MyDocument& doc = window_.document();
        const IndexItem* folder = doc.tree().itemForPath(folder_);
        // A load that runs (the one opening the folder started) has not yet given the folder
        // its files: the report waits for its end.
        if (folder && page_->criteria().hasCompleteLine() &&
            (doc.smartFolders().loading() || window_.inTheMiddleOfAStep() || BusyMode::userInteractionDisabled())) {
            QTimer::singleShot(kRetryMs, this, [this, generation] {
                if (generation == generation_)
                    scheduleProduce();
            });
            return;
        }
        produceReport();
    });
}

bool ReportCommands::ensureLoaded(const QString& folderPath)
{
    MyDocument& doc = window_.document();
    IndexItem* folder = doc.tree().itemForPath(folderPath);
    if (!folder || !folder->isSmartFolder())
        return false;
    // While its load runs the folder holds what it had before.
    if (const SmartFolderLoad* running = doc.smartFolders().activeLoad(); running && running->folder() == folder)
        return false;
    if (!doc.smartFolders().needsLoading(*folder))
        return true;
    if (SmartFolderCommands* smart = SmartFolderCommands::of(window_))
        return smart->load(folderPath);
    DocumentMatchContext context(doc);
    return doc.smartFolders().loadToCompletion(*folder, context);
}

void ReportCommands::showNoReport()
{
    const bool was = displaying_;
    displaying_ = false;
    view_->clear();
    if (window_.content().currentPage() == ReportView::PageName)
        window_.content().showPage(ContentArea::HintPage);
    if (!folder_.isEmpty()) {
        window_.content().setPathLineText(reportmsg::NoReport);
        page_->setWarningShown(true);
    }
    if (was)
        window_.refreshActions();
}

bool ReportCommands::produceReport()
{
    MyDocument& doc = window_.document();
    const ReportCriteria criteria = page_->criteria();
    const IndexItem* folder = folder_.isEmpty() ? nullptr : doc.tree().itemForPath(folder_);
    if (!folder || !criteria.hasCompleteLine()) {
        showNoReport();
        return false;
    }
    const QString path = folder_;
    // A folder not loaded to its end would make a report of what it held before.
    if (!ensureLoaded(path) || path != folder_) {
        showNoReport();
        return false;
    }
    folder = doc.tree().itemForPath(path);
    if (!folder) {
        showNoReport();
        return false;
    }
    Report report = produceReportLinesAndHeaders(criteria, doc.smartFolders().members(*folder),
                                                 documentReportSources(doc, QDateTime::currentDateTime()));
    if (!report.available()) {
        showNoReport();
        return false;
    }
    page_->setWarningShown(false);
    view_->showReport(folder->path(), std::move(report), DocumentMatchContext::europeanDatesOf(doc));
    window_.content().showPage(ReportView::PageName);
    window_.content().setPathLineText(reportmsg::CsvName.arg(folder->path()));
    displaying_ = true;
    window_.refreshActions();
    return true;
}

void ReportCommands::exportReport()
{
    if (!displaying_ || folder_.isEmpty())
        return;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    const QString proposed = QDir(dir).filePath(reportmsg::CsvName.arg(folder_));
    const QString chosen = chooseExportFile
                               ? chooseExportFile(proposed)
                               : QFileDialog::getSaveFileName(window_.window(), reportmsg::ExportTitle, proposed,
                                                              tr("Comma-Separated Values (*.csv)"));
    if (chosen.isEmpty())
        return;
    (void)exportReportToFile(chosen);
}

Result<void> ReportCommands::exportReportToFile(const QString& path)
{
    MyDocument& doc = window_.document();
    const QString name = folder_;
    const auto fail = [&](const QString& text, ErrorCode code) -> Result<void> {
        doc.ui().ask(Prompt::message(ReportExportFailed, reportmsg::ExportTitle, text));
        return Error{code, QStringLiteral("Exporting report"), path, text};
    };
    const ReportCriteria criteria = page_->criteria();
    if (name.isEmpty() || !doc.tree().itemForPath(name) || !criteria.hasCompleteLine())
        return fail(reportmsg::NothingToExport.arg(name), ErrorCode::Refused);
    // Whatever happened since the report was shown, the file gets the folder as it is now.
    if (!ensureLoaded(name))
        return fail(reportmsg::LoadStopped.arg(name), ErrorCode::Cancelled);
    const IndexItem* folder = doc.tree().itemForPath(name);
    if (!folder)
        return fail(reportmsg::NothingToExport.arg(name), ErrorCode::NotFound);
    const Report report = produceReportLinesAndHeaders(criteria, doc.smartFolders().members(*folder),
                                                       documentReportSources(doc, QDateTime::currentDateTime()));
    const Result<void> written = folivo::exportReportToFile(report, path, view_->displayedOrder());
    if (!written.ok())
        return fail(reportmsg::ExportFailed.arg(path, written.error().detail), ErrorCode::DiskError);
    return {};
}

} // namespace folivo::gui
