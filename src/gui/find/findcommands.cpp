#include "findcommands.h"

#include "finddialog.h"
#include "findmessages.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "smartfolders/smartfoldercommands.h"
#include "widgets/busymode.h"

#include "attributes/customattributenames.h"
#include "find/documentmatch.h"
#include "find/findwalk.h"
#include "find/messages.h"
#include "find/selectall.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/mydocument.h"

#include <QApplication>
#include <QMessageBox>

namespace folivo::gui {

FindCommands::FindCommands(WindowContext& window) : CommandModule(window) {}

FindCommands::~FindCommands() = default;

void FindCommands::registerCommands(CommandRegistry& registry)
{
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
    {
        CommandRow r;
        r.command = MenuCommand::FindNext;
        r.menu = MenuId::Edit;
        r.section = 60;
        r.text = findmsg::FindNext;
        r.shortcut = QKeySequence(Qt::CTRL | Qt::Key_G);
        r.run = [this] { findNext(false); };
        registry.add(std::move(r));
    }
    {
        CommandRow r;
        r.command = MenuCommand::FindPrevious;
        r.menu = MenuId::Edit;
        r.section = 60;
        r.text = findmsg::FindPrevious;
        r.shortcut = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G);
        r.run = [this] { findNext(true); };
        registry.add(std::move(r));
    }
}

void FindCommands::fillMenuContext(MenuContext& context) const
{
    context.findType = int(current().type);
}

const FindCriteria& FindCommands::current() const
{
    if (!current_) {
        KTPrefs* prefs = window_.preferences();
        const plist::Value* stored = prefs ? prefs->objectForKey(prefkeys::Find) : nullptr;
        current_ = FindCriteria::fromValue(stored ? *stored : plist::Value());
    }
    return *current_;
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
        dialog_->setTree(&doc.tree());
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
    current_ = criteria;
    if (prefs) {
        prefs->setObject(plist::Value(criteria.toDict()), prefkeys::Find);
        prefs->synchronize();
    }
    window_.refreshActions();
    if (criteria.type == int(FindType::FindForward) || criteria.type == int(FindType::FindBackward))
        findNext(false);
    else if (criteria.type == int(FindType::SmartFolder)) {
        if (SmartFolderCommands* smart = SmartFolderCommands::of(window_))
            smart->createConditionFolder(criteria);
    } else
        selectAll(criteria);
}

std::optional<QString> FindCommands::findNext(bool previous)
{
    if (!window_.document().dbOpen() || scanning_)
        return std::nullopt;
    const FindCriteria criteria = current();
    if (criteria.type != int(FindType::FindForward) && criteria.type != int(FindType::FindBackward))
        return std::nullopt;
    // "Find backward" turns Find Next round, and Find Previous back again.
    const bool backward = (criteria.type == int(FindType::FindBackward)) != previous;
    MyDocument& doc = window_.document();
    BrowserPane& browser = window_.browser();
    DocumentMatchContext context(doc);
    FindWalk walk(doc.tree(), criteria, context, browser.selectedPaths().value(0), backward);
    const bool contents = criteria.anyContentsCondition();
    const QString title = contents ? findmsg::SearchingContents.arg(backward ? findmsg::Backward : findmsg::Forward)
                                   : findmsg::SearchingItems;
    bool stopped = false;
    scanning_ = true;
    {
        BusyMode busy(window_.window(), title);
        BusyMark mark(window_, &busy);
        while (walk.step(sliceSize)) {
            if (busy.stopRequested()) {
                stopped = true;
                break;
            }
        }
    }
    scanning_ = false;
    window_.refreshActions();
    if (stopped) {
        QApplication::beep();
        if (const IndexItem* at = doc.tree().itemForPath(walk.current()))
            browser.selectItems({itemToSelectForItem(*at)->path()}, findmsg::StoppedHere);
        return std::nullopt;
    }
    if (!walk.found()) {
        if (contents)
            QMessageBox::information(window_.window(), findmsg::ContentsNothingTitle, findmsg::NothingFound);
        else
            QApplication::beep();
        return std::nullopt;
    }
    const IndexItem* item = doc.tree().itemForPath(*walk.found());
    if (!item)
        return std::nullopt;
    // A lone file in date folders is shown by its outermost such date folder.
    const QString shown = item->hasChildren() ? item->path() : itemToSelectForItem(*item)->path();
    browser.selectItems({shown});
    if (QWidget* view = browser.view())
        view->setFocus();
    return shown;
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
