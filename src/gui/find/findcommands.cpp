#include "findcommands.h"

#include "finddialog.h"
#include "findmessages.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "smartfolders/smartfoldercommands.h"
#include "widgets/busymode.h"
#include "widgets/callout.h"
#include "browser/treemodel.h"
#include "content/contentarea.h"
#include "content/shownfile.h"
#include "database/qtdocumentui.h"

#include "attributes/customattributenames.h"
#include "find/documentmatch.h"
#include "find/findwalk.h"
#include "find/highlight.h"
#include "history/history.h"
#include "find/messages.h"
#include "find/selectall.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/mydocument.h"

#include <QApplication>
#include <QElapsedTimer>

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

namespace {

// Runs `step` (one item each call) until it answers false or the slice has had its time.
template <typename Step>
bool runSlice(Step&& step, int sliceMs, qint64& longest)
{
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    do
        more = step();
    while (more && clock.elapsed() < sliceMs);
    longest = std::max(longest, clock.elapsed());
    return more;
}

const PromptId NothingFoundPrompt("find.nothingFound");

} // namespace

void FindCommands::present(const IndexItem& item, const FindCriteria& criteria)
{
    BrowserPane& browser = window_.browser();
    const IndexItem* shown = itemToSelectForFound(item);
    browser.selectItems({shown->path()});
    if (item.hasChildren() && criteria.expand)
        browser.expandBeneath(item.path());
    else if (shown != &item)
        browser.collapse(shown->path()); // a lone file's date folder stands for it closed
    if (BrowserView* view = browser.view()) {
        const QModelIndex index = browser.model()->indexForItem(shown);
        if (index.isValid())
            view->scrollTo(index);
        view->setFocus();
    }
    // The file shown marks why it was found; it comes a moment later, once checked on disk.
    if (!item.hasChildren())
        if (ShownFile* file = window_.content().shownFile())
            file->markContents(item.path(), contentsNeedles(criteria));
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
    // A multiple selection walks on from its last row.
    FindWalk walk(doc.tree(), criteria, context, browser.selectedPaths().value(browser.selectedPaths().size() - 1),
                  backward);
    const bool contents = criteria.anyContentsCondition();
    const QString title = contents ? findmsg::SearchingContents.arg(backward ? findmsg::Backward : findmsg::Forward)
                                   : findmsg::SearchingItems;
    bool stopped = false;
    scanning_ = true;
    longestSlice_ = 0;
    {
        BusyMode busy(window_.window(), title);
        BusyMark mark(window_, &busy);
        while (runSlice([&] { return walk.step(1); }, sliceMs, longestSlice_)) {
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
        // The selection goes where the walk stopped, and says so beside the row.
        if (const IndexItem* at = walk.current()) {
            present(*at, criteria);
            const QModelIndex index = browser.model()->indexForItem(itemToSelectForFound(*at));
            if (index.isValid())
                showCallout(browser.view(), index, findmsg::StoppedHere);
        }
        return std::nullopt;
    }
    const IndexItem* item = walk.found();
    if (!item) {
        if (contents)
            window_.documentUi().alert(NothingFoundPrompt, findmsg::ContentsNothingTitle, findmsg::NothingFound);
        else
            QApplication::beep();
        return std::nullopt;
    }
    present(*item, criteria);
    return itemToSelectForFound(*item)->path();
}

QStringList FindCommands::selectAll(const FindCriteria& criteria)
{
    MyDocument& doc = window_.document();
    DocumentMatchContext context(doc);
    SelectAllScan scan(doc.tree(), criteria, context);
    const QString title = criteria.anyContentsCondition() ? folivo::findmsg::SelectingAllContents : findmsg::Searching;
    scanning_ = true;
    longestSlice_ = 0;
    bool stopped = false;
    {
        BusyMode busy(window_.window(), title);
        BusyMark mark(window_, &busy);
        busy.setMessage(title + '\n' + folivo::findmsg::foundSoFar(0));
        while (runSlice([&] { return scan.step(1); }, sliceMs, longestSlice_)) {
            busy.setMessage(title + '\n' + folivo::findmsg::foundSoFar(scan.foundCount()));
            // The window paints and the Stop controls work between slices; an item removed
            // meanwhile is passed over by the scan.
            if (busy.stopRequested()) {
                stopped = true;
                break;
            }
        }
    }
    scanning_ = false;
    if (stopped)
        QApplication::beep();
    // Every match is a step of the history, then the selection of them all. The history
    // keeps only its newest entries, so the older matches would go again at once.
    const std::vector<IndexItem*> found = scan.foundItems();
    History& history = doc.history();
    const std::size_t keep = std::size_t(History::MaxEntries - 1);
    for (std::size_t i = found.size() > keep ? found.size() - keep : 0; i < found.size(); ++i)
        history.addItem(found[i]);
    QStringList paths;
    for (const IndexItem* item : found)
        paths << item->path();
    BrowserPane& browser = window_.browser();
    browser.selectItems(paths, folivo::findmsg::foundSelected(paths.size()));
    if (QWidget* view = browser.view())
        view->setFocus();
    window_.refreshActions();
    return paths;
}

} // namespace folivo::gui
