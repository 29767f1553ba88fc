#include "exportcommands.h"

#include "browser/browserpane.h"

#include "export/exportplan.h"
#include "export/messages.h"
#include "find/documentmatch.h"
#include "platform/desktop.h"
#include "platform/platform.h"
#include "reports/reportcriteria.h"
#include "reports/reportcsv.h"
#include "smartfolders/smartfolders.h"
#include "store/documentui.h"
#include "store/indexitem.h"
#include "store/mydocument.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace folivo::gui {

namespace {

inline constexpr PromptId ExportReportQuestion{"export-report-or-folder"};
inline constexpr PromptId MailReportQuestion{"mail-report-or-contents"};
inline constexpr PromptId FolderChoice{"folder"};
inline constexpr PromptId ReportChoice{"report"};
inline constexpr PromptId ExportReplace{"export-replace"};
inline constexpr PromptId ReplaceChoice{"replace"};
inline constexpr PromptId CancelChoice{"cancel"};
inline constexpr PromptId ExportFailedAlert{"export-failed"};
inline constexpr PromptId MailFailures{"mail-failures"};
inline constexpr PromptId MailOthersChoice{"mail-others"};
inline constexpr PromptId NoMailProgramAlert{"no-mail-program"};

bool hasReport(const IndexItem& item)
{
    return item.isSmartFolder() && reportCriteriaOf(item).hasCompleteLine();
}

// Loads a smart folder to its end so that its members (its files, or its report's lines)
// are all there.
bool loadFolder(MyDocument& doc, const IndexItem& folder)
{
    IndexItem* item = doc.tree().itemForPath(folder.path());
    if (!item || !item->isSmartFolder())
        return item != nullptr;
    DocumentMatchContext context(doc);
    return doc.smartFolders().loadToCompletion(*item, context);
}

} // namespace

void ExportCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow exportRow;
    exportRow.command = MenuCommand::Export;
    exportRow.menu = MenuId::File;
    exportRow.section = 45;
    exportRow.text = tr("&Export…");
    exportRow.shortcut = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    exportRow.icon = QStringLiteral("document-export");
    exportRow.run = [this] { exportSelection(); };
    registry.add(std::move(exportRow));

    CommandRow mail;
    mail.command = MenuCommand::Send;
    mail.menu = MenuId::File;
    mail.section = 45;
    mail.text = tr("Send with &Mail…");
    mail.icon = QStringLiteral("mail-send|mail-message-new");
    mail.run = [this] { sendWithMail(); };
    registry.add(std::move(mail));
}

QList<const IndexItem*> ExportCommands::selectedItems() const
{
    QList<const IndexItem*> items;
    for (const QString& path : window_.browser().selectedPaths())
        if (const IndexItem* item = window_.document().tree().itemForPath(path))
            items << item;
    return items;
}

std::optional<bool> ExportCommands::askAboutReports(const QList<const IndexItem*>& items, int command)
{
    qsizetype count = 0;
    for (const IndexItem* item : items)
        count += hasReport(*item) ? 1 : 0;
    if (count == 0)
        return false;
    const auto which = command == 0 ? HandOffCommand::Export : HandOffCommand::Mail;
    const ReportQuestion q = reportQuestion(which, count);
    const Prompt prompt(command == 0 ? ExportReportQuestion : MailReportQuestion, QString(), q.text,
                        {{FolderChoice, q.defaultButton}, {ReportChoice, q.otherButton}});
    const int answer = window_.document().ui().ask(prompt);
    return answer == prompt.buttonFor(ReportChoice);
}

void ExportCommands::reportFailures(const QString& text)
{
    window_.document().ui().alert(ExportFailedAlert, exportmsg::ExportFailed,
                                  exportmsg::ExportFailedInfo + QStringLiteral("\n\n") + text);
}

void ExportCommands::exportSelection()
{
    MyDocument& doc = window_.document();
    const QList<const IndexItem*> items = selectedItems();
    if (items.isEmpty())
        return;
    const std::optional<bool> reportChosen = askAboutReports(items, 0);
    if (!reportChosen)
        return;
    const IndexItem& first = *items.front();
    const bool single = items.size() == 1;
    const bool singleReport = single && *reportChosen && hasReport(first);
    QString proposed = single ? first.name() : exportedFolderName(QDate::currentDate(),
                                                                  DocumentMatchContext::europeanDatesOf(doc));
    if (singleReport)
        proposed += QStringLiteral(".csv");
    const QString home = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString proposedPath = QDir(home.isEmpty() ? QDir::homePath() : home).filePath(proposed);
    const QString chosen =
        chooseDestination ? chooseDestination(proposedPath, singleReport)
                          : QFileDialog::getSaveFileName(window_.window(), tr("Export"), proposedPath,
                                                         singleReport ? tr("Comma-separated values (*.csv)") : QString());
    if (chosen.isEmpty())
        return;
    const QString destination = QFileInfo(chosen).absoluteFilePath();
    if (const auto package = packageHolding(destination, {doc.dbPath()})) {
        reportFailures(exportmsg::InsidePackage.arg(destination, *package));
        return;
    }

    ExportSelection selection;
    selection.reportChosen = *reportChosen;
    selection.makeReport = [&doc](const IndexItem& folder) -> std::optional<Report> {
        if (!loadFolder(doc, folder))
            return std::nullopt;
        return produceReportLinesAndHeaders(reportCriteriaOf(folder), doc.smartFolders().members(folder),
                                            documentReportSources(doc, QDateTime::currentDateTime()));
    };
    Exporter exporter(doc);
    ExportOutcome outcome;
    if (singleReport) {
        ExportSelection one = selection;
        one.items = {&first};
        // The report alone, at the very name chosen.
        const std::optional<Report> report = selection.makeReport(first);
        if (!report) {
            outcome.failures.append({first.path(), exportmsg::NoReport});
        } else if (const Result<void> written = exportReportToFile(*report, destination); !written.ok()) {
            outcome.failures.append({first.path(), exportmsg::CannotWriteReport.arg(written.error().detail)});
        }
    } else if (single && !first.hasChildren()) {
        const QString final = exporter.finalFileDestination(first, destination);
        // The dialog asked about the name it was given, not about the one with ".pdf".
        if (final != destination && (QFileInfo(final).exists() || QFileInfo(final).isSymLink())) {
            const Prompt replace(ExportReplace, exportmsg::ReplaceTitle,
                                 exportmsg::ReplaceQuestion.arg(QFileInfo(final).fileName()),
                                 {{CancelChoice, exportmsg::CancelButton}, {ReplaceChoice, exportmsg::ReplaceButton}});
            if (doc.ui().ask(replace) != replace.buttonFor(ReplaceChoice))
                return;
        }
        outcome = exporter.exportFile(first, final);
    } else {
        if (single) {
            // One folder: its contents, in a folder of the chosen name.
            if (!loadFolder(doc, first)) {
                reportFailures(exportmsg::FailureLine.arg(first.path(), exportmsg::NoReport));
                return;
            }
            for (const auto& child : first.children())
                selection.items << child.get();
        } else {
            for (const IndexItem* item : items)
                if (item->isSmartFolder() && !(selection.reportChosen && hasReport(*item)))
                    loadFolder(doc, *item);
            selection.items = items;
        }
        outcome = exporter.exportAsFolder(selection, destination, ExistingDestination::Replace);
    }
    if (!outcome.ok())
        reportFailures(describeFailures(outcome.failures));
}

void ExportCommands::sendWithMail()
{
    MyDocument& doc = window_.document();
    const QList<const IndexItem*> items = selectedItems();
    if (items.isEmpty() || !window_.platform())
        return;
    const std::optional<bool> reportChosen = askAboutReports(items, 1);
    if (!reportChosen)
        return;
    ExportSelection selection;
    selection.items = items;
    selection.reportChosen = *reportChosen;
    for (const IndexItem* item : items)
        if (item->isSmartFolder())
            loadFolder(doc, *item);
    selection.makeReport = [&doc](const IndexItem& folder) -> std::optional<Report> {
        return produceReportLinesAndHeaders(reportCriteriaOf(folder), doc.smartFolders().members(folder),
                                            documentReportSources(doc, QDateTime::currentDateTime()));
    };
    const HandOffFiles files = prepareHandOff(doc, selection);
    if (!files.failures.isEmpty()) {
        if (files.attachments.isEmpty()) {
            reportFailures(describeFailures(files.failures));
            return;
        }
        const Prompt goOn(MailFailures, exportmsg::MailFailuresTitle,
                          exportmsg::MailFailuresQuestion.arg(describeFailures(files.failures)),
                          {{MailOthersChoice, exportmsg::MailAnywayButton}, {CancelChoice, exportmsg::CancelButton}});
        if (doc.ui().ask(goOn) != goOn.buttonFor(MailOthersChoice))
            return;
    }
    if (files.attachments.isEmpty())
        return;
    platform::MailMessage message;
    message.attachments = files.attachments;
    platform::Desktop& desktop = window_.platform()->desktop();
    if (desktop.composeMail(message))
        return;
    doc.ui().alert(NoMailProgramAlert, exportmsg::NoMailProgramTitle, exportmsg::NoMailProgram);
    for (const QString& file : files.attachments)
        desktop.reveal(file);
}

} // namespace folivo::gui
