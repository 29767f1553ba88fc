#pragma once
// "Export…" and "Send with Mail…" in a database window: plain copies of the selection
// written where the person says, or handed to the person's mail program as attachments
// (the file manager shows them when no mail program can be started, for web mail).

#include "commandmodule.h"

#include <QString>
#include <functional>

namespace folivo {
class IndexItem;
}

namespace folivo::gui {

class ExportCommands : public CommandModule {
    Q_OBJECT
public:
    explicit ExportCommands(WindowContext& window) : CommandModule(window) {}
    QString name() const override { return QStringLiteral("export"); }
    void registerCommands(CommandRegistry& registry) override;

    void exportSelection();
    void sendWithMail();

    // Where the export goes, the save dialog by default; tests replace it. Empty: cancelled.
    // A name the dialog returns that exists was confirmed there as one to replace.
    std::function<QString(const QString& proposedPath, bool csv)> chooseDestination;

private:
    QList<const IndexItem*> selectedItems() const;
    // Asks the report question when a selected smart folder has a report; none: cancelled.
    std::optional<bool> askAboutReports(const QList<const IndexItem*>& items, int command);
    void reportFailures(const QString& text);
};

} // namespace folivo::gui
