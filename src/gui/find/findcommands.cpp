#include "findcommands.h"

#include "finddialog.h"
#include "findmessages.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "widgets/busymode.h"

#include "attributes/customattributenames.h"
#include "find/documentmatch.h"
#include "find/messages.h"
#include "find/selectall.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/mydocument.h"

namespace folivo::gui {

FindCommands::FindCommands(WindowContext& window) : CommandModule(window) {}

FindCommands::~FindCommands() = default;

void FindCommands::registerCommands(CommandRegistry& registry)
{
    CommandRow r;
    r.command = MenuCommand::Find;
    r.menu = MenuId::Edit;
    r.section = 60;
    r.text = findmsg::Find;
    r.shortcut = QKeySequence::Find;
    r.icon = QStringLiteral("edit-find|system-search");
    r.run = [this] { find(); };
    registry.add(std::move(r));
}

void FindCommands::windowClosing()
{
    if (dialog_)
        dialog_->reject();
}

FindDialog* FindCommands::dialog()
{
    if (!dialog_) {
        MyDocument& doc = window_.document();
        dialog_ = new FindDialog(doc.customAttributes().names(), DocumentMatchContext::europeanDatesOf(doc),
                                 window_.window());
    }
    return dialog_;
}

void FindCommands::find()
{
    if (!window_.document().dbOpen() || scanning_)
        return;
    KTPrefs* prefs = window_.preferences();
    const plist::Value* stored = prefs ? prefs->objectForKey(prefkeys::Find) : nullptr;
    FindDialog* d = dialog();
    d->setup(FindCriteria::fromValue(stored ? *stored : plist::Value()));
    if (d->exec() != QDialog::Accepted)
        return;
    const FindCriteria criteria = d->accepted();
    if (prefs) {
        prefs->setObject(plist::Value(criteria.toDict()), prefkeys::Find);
        prefs->synchronize();
    }
    selectAll(criteria);
}

QStringList FindCommands::selectAll(const FindCriteria& criteria)
{
    MyDocument& doc = window_.document();
    DocumentMatchContext context(doc);
    SelectAllScan scan(doc.tree(), criteria, context);
    const QString title = criteria.anyContentsCondition() ? folivo::findmsg::SelectingAllContents : findmsg::Searching;
    scanning_ = true;
    {
        BusyMode busy(window_.window(), title);
        BusyMark mark(window_, &busy);
        while (scan.step(sliceSize)) {
            busy.setMessage(title + '\n' + folivo::findmsg::foundSoFar(scan.found().size()));
            // The window paints and the Stop controls work between slices; a removed item
            // is passed over by the scan.
            if (busy.stopRequested())
                break;
        }
    }
    scanning_ = false;
    const QStringList found = scan.found();
    BrowserPane& browser = window_.browser();
    browser.selectItems(found, folivo::findmsg::foundSelected(found.size()));
    if (QWidget* view = browser.view())
        view->setFocus();
    window_.refreshActions();
    return found;
}

} // namespace folivo::gui
