#include "tagscommands.h"

#include "attributesarea.h"
#include "autotagdialog.h"
#include "browser/browserpane.h"
#include "database/qtdocumentui.h"
#include "tagsmessages.h"
#include "widgets/busymode.h"

#include "attributes/tags.h"
#include "store/mydocument.h"

#include <QPointer>

namespace folivo::gui {

TagsCommands::TagsCommands(WindowContext& window, AttributesArea* area) : CommandModule(window), area_(area) {}

void TagsCommands::registerCommands(CommandRegistry& registry)
{
    const auto row = [&](MenuCommand command, const QString& text, std::function<void()> run, bool checkable = false) {
        CommandRow r;
        r.command = command;
        r.menu = MenuId::Edit;
        r.section = 60;
        r.submenu = tagmsg::AutoTaggingMenu;
        r.text = text;
        r.checkable = checkable;
        r.run = std::move(run);
        registry.add(std::move(r));
    };
    row(MenuCommand::SpecifyAutoTagging, tagmsg::SpecifyAutoTagging, [this] { specifyAutoTagging(); });
    row(MenuCommand::AutoTagImportedFiles, tagmsg::AutoTagImportedFiles, [this] { toggleAutoTagImported(); }, true);
    row(MenuCommand::AutoTagSelectedFiles, tagmsg::AutoTagSelectedFiles, [this] { autoTagSelectedFiles(); });
}

void TagsCommands::fillMenuContext(MenuContext& context) const
{
    MyDocument& doc = window_.document();
    if (!doc.dbOpen())
        return;
    const AutoTagSettings settings = autoTagSettingsOf(doc);
    context.autoTaggingSpecified = settings.specified();
    context.autoTagImported = settings.scanImported;
}

void TagsCommands::specifyAutoTagging()
{
    MyDocument& doc = window_.document();
    if (!doc.canChange())
        return;
    if (area_)
        area_->commitPending();
    QPointer<AutoTagDialog> dialog = new AutoTagDialog(autoTagSettingsOf(doc), window_.window());
    const int answer = dialog->exec();
    if (!dialog)
        return;
    if (answer == QDialog::Accepted && doc.dbOpen() && doc.canChange())
        setAutoTagSettings(doc, dialog->settings());
    delete dialog;
    window_.refreshActions();
}

void TagsCommands::toggleAutoTagImported()
{
    MyDocument& doc = window_.document();
    if (!doc.canChange())
        return;
    AutoTagSettings settings = autoTagSettingsOf(doc);
    settings.scanImported = !settings.scanImported;
    setAutoTagSettings(doc, settings);
    window_.refreshActions();
}

int TagsCommands::autoTagSelectedFiles()
{
    MyDocument& doc = window_.document();
    if (!doc.canChange() || window_.inTheMiddleOfAStep())
        return 0;
    if (area_)
        area_->commitPending();
    const AutoTagSettings settings = autoTagSettingsOf(doc);
    if (!settings.specified())
        return 0;
    std::vector<IndexItem*> selected;
    for (const QString& path : window_.browser().selectedPaths())
        if (IndexItem* item = doc.tree().itemForPath(path))
            selected.push_back(item);
    // Paths, not items: the tree may change between slices.
    const QStringList files = filesToAutoTag(selected);
    if (files.isEmpty())
        return 0;

    std::unique_ptr<BusyMode> busy;
    if (files.size() > 1)
        busy = std::make_unique<BusyMode>(window_.window(), tagmsg::LookingForTags);
    BusyMark marked(window_, busy.get());
    QtDocumentUi& ui = window_.documentUi();
    ui.progressStart(tagmsg::LookingForTags, QString(), 0);
    int tagged = 0;
    for (const QString& path : files) {
        if (busy && busy->stopRequested())
            break;
        if (!doc.dbOpen())
            break;
        ui.progressSetText(path);
        IndexItem* item = doc.tree().itemForPath(path);
        if (!item)
            continue;
        const AutoTagOutcome outcome = autoTagItem(doc, *item, settings);
        if (outcome == AutoTagOutcome::Tagged)
            ++tagged;
        else if (outcome == AutoTagOutcome::Refused && !doc.canChange())
            break;
    }
    ui.progressStop();
    if (area_)
        area_->refresh();
    window_.refreshActions();
    return tagged;
}

} // namespace folivo::gui
