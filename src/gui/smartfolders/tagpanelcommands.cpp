#include "tagpanelcommands.h"

#include "tagpanel.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "browser/treemodel.h"
#include "database/qtdocumentui.h"
#include "widgets/callout.h"

#include "attributes/tagpanelmessages.h"
#include "attributes/tagpanelrules.h"
#include "find/documentmatch.h"
#include "smartfolders/smartfolders.h"
#include "store/mydocument.h"

#include <QTimer>
#include <QTreeView>

namespace folivo::gui {

TagPanelCommands::TagPanelCommands(WindowContext& window) : CommandModule(window), slices_(new QTimer(this))
{
    slices_->setInterval(0);
    connect(slices_, &QTimer::timeout, this, &TagPanelCommands::loadSlice);
}

TagPanelCommands::~TagPanelCommands() = default;

void TagPanelCommands::registerCommands(CommandRegistry& registry)
{
    const auto row = [&](const QString& id, const QString& text, std::function<void()> run) {
        CommandRow r;
        r.id = id;
        // Available exactly when the database's set-up may change.
        r.enabledLike = MenuCommand::SpecifyAutoTagging;
        r.menu = MenuId::Edit;
        r.section = 60;
        r.text = text;
        r.run = std::move(run);
        registry.add(std::move(r));
    };
    row(QStringLiteral("NewTagSmartFolder"), tagpanelmsg::NewTagSmartFolder, [this] { newTagSmartFolder(); });
    row(QStringLiteral("EditTagSmartFolder"), tagpanelmsg::EditTagSmartFolder, [this] { editSelectedTagSmartFolder(); });
}

bool TagPanelCommands::newTagSmartFolder()
{
    return openPanel(QString());
}

bool TagPanelCommands::editTagSmartFolder(const QString& path)
{
    return !path.isEmpty() && openPanel(path);
}

bool TagPanelCommands::editSelectedTagSmartFolder()
{
    const IndexItem* item = window_.browser().singleSelected();
    return item && isTagSmartFolder(*item) && editTagSmartFolder(item->path());
}

bool TagPanelCommands::openPanel(const QString& path)
{
    MyDocument& doc = window_.document();
    if (panel_ || !doc.canChange() || window_.inTheMiddleOfAStep())
        return false;
    selectionBefore_ = window_.browser().selectedPaths();
    QString problem;
    std::unique_ptr<TagPanelSession> session =
        path.isEmpty() ? TagPanelSession::openNew(doc, &problem) : TagPanelSession::openExisting(doc, path, &problem);
    if (!session) {
        if (!problem.isEmpty()) {
            BrowserPane& pane = window_.browser();
            const QModelIndex at = pane.model()->indexForItem(doc.tree().itemForPath(path));
            showCallout(pane.view(), at, problem);
        }
        return false;
    }
    const QString folder = session->folderPath();
    doc.ui().reloadBrowser();
    window_.browser().selectPath(folder);
    panel_ = new TagPanel(std::move(session), window_.window());
    connect(panel_, &TagPanel::folderChanged, this, &TagPanelCommands::loadFolder);
    connect(panel_, &QDialog::finished, this, &TagPanelCommands::panelFinished);
    if (QWidget* w = window_.window())
        panel_->setMaximumPanelHeight(w->height());
    // The panel stands beside the folder's row, over the window's content.
    if (QTreeView* view = window_.browser().view()) {
        const QRect row = view->visualRect(window_.browser().model()->indexForItem(doc.tree().itemForPath(folder)));
        const QPoint at = view->viewport()->mapToGlobal(QPoint(view->viewport()->width(), std::max(0, row.top())));
        panel_->move(at);
    }
    panel_->show();
    loadFolder(folder);
    window_.refreshActions();
    return true;
}

void TagPanelCommands::loadFolder(const QString& path)
{
    // A toggle during a load starts it over for the new selection.
    load_.reset();
    slices_->stop();
    loadingPath_ = path;
    loadSlice();
}

void TagPanelCommands::loadSlice()
{
    MyDocument& doc = window_.document();
    if (!doc.dbOpen()) {
        load_.reset();
        slices_->stop();
        return;
    }
    if (!load_) {
        IndexItem* folder = doc.tree().itemForPath(loadingPath_);
        if (!folder) {
            slices_->stop();
            return;
        }
        context_ = std::make_unique<DocumentMatchContext>(doc);
        load_ = doc.smartFolders().startLoad(*folder, *context_);
        if (!load_) {
            // Current already, or another load runs: the next turn tries again for the latter.
            if (doc.smartFolders().loading())
                slices_->start();
            else {
                slices_->stop();
                doc.ui().revealItem(folder, true);
            }
            return;
        }
    }
    if (load_->step(sliceSize) && !load_->finished()) {
        slices_->start();
        return;
    }
    IndexItem* folder = load_->folder();
    load_.reset();
    slices_->stop();
    doc.ui().reloadBrowser();
    if (folder)
        doc.ui().revealItem(folder, true);
}

void TagPanelCommands::panelFinished(int result)
{
    TagPanel* panel = panel_;
    panel_ = nullptr;
    if (!panel)
        return;
    MyDocument& doc = window_.document();
    const bool accepted = result == QDialog::Accepted;
    const bool isNew = panel->session().isNew();
    const QString path = panel->session().folderPath();
    panel->deleteLater();
    load_.reset();
    slices_->stop();
    doc.ui().reloadBrowser();
    if (accepted) {
        window_.browser().selectPath(path);
        loadFolder(path);
    } else if (isNew) {
        window_.browser().selectItems(selectionBefore_);
    } else {
        loadFolder(path);
    }
    window_.refreshActions();
    emit panelClosed(accepted);
}

void TagPanelCommands::windowClosing()
{
    load_.reset();
    slices_->stop();
    if (panel_) {
        TagPanel* panel = panel_;
        panel_ = nullptr;
        // Closing the window with the panel open counts as Cancel: a new folder goes.
        panel->session().cancel();
        delete panel;
    }
}

} // namespace folivo::gui
