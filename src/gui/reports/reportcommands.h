#pragma once
// Reports in a database window: the report page of a selected smart folder, its table in
// place of the viewer, and "Export Report…". A report is made over its folder loaded to the
// end (in slices under busy mode, with Stop); an export whose load was stopped writes
// nothing and says so.

#include "commandmodule.h"

#include "util/result.h"

#include <QString>
#include <functional>

namespace folivo::gui {

class AttributesArea;
class ReportPage;
class ReportView;

class ReportCommands : public CommandModule {
    Q_OBJECT
public:
    ReportCommands(WindowContext& window, AttributesArea* area);
    ~ReportCommands() override;
    QString name() const override { return QStringLiteral("reports"); }
    void registerCommands(CommandRegistry& registry) override;
    void fillMenuContext(MenuContext& c) const override;
    void databaseOpened() override;
    void windowClosing() override;
    void selectionChanged(const QStringList& paths) override;

    static ReportCommands* ofWidget(const QWidget* window);

    // Makes the report of the shown smart folder again, loading the folder first when it
    // needs it; true when a report is shown afterwards.
    bool produceReport();
    // "Export Report…": asks where, then writes.
    void exportReport();
    // Writes the report of the shown folder to `path` (absolute), its folder loaded to the
    // end first; the person is told of a failure.
    Result<void> exportReportToFile(const QString& path);

    bool displayingReport() const { return displaying_; }
    ReportPage* page() const { return page_; }
    ReportView* view() const { return view_; }

    // Where the export goes; tests replace it. Empty: cancelled.
    std::function<QString(const QString& proposedPath)> chooseExportFile;

private:
    void showNoReport();
    void scheduleProduce();
    bool ensureLoaded(const QString& folderPath);

    AttributesArea* area_;
    ReportPage* page_;
    ReportView* view_;
    QString folder_;
    bool displaying_ = false;
    int generation_ = 0;
};

} // namespace folivo::gui
