#include "viewer/viewercommands.h"

#include "browser/browserpane.h"
#include "content/contentarea.h"
#include "database/qtdocumentui.h"
#include "viewer/viewermessages.h"
#include "viewer/viewerpage.h"

#include "find/highlight.h"
#include "platform/desktop.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "platform/platform.h"
#include "prefs/ktprefs.h"
#include "store/mydocument.h"
#include "viewer/displaysettings.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMimeDatabase>
#include <QPointer>
#include <QShortcut>
#include <QUrl>

namespace folivo::gui {

ViewerCommands::ViewerCommands(WindowContext& window) : CommandModule(window)
{
    auto* page = new ViewerPage(window_.document());
    page_ = page;
    ContentArea& content = window_.content();
    content.addPage(ViewerPage::PageName, page);
    content.setShownFile(page);
    connect(page, &ViewerPage::pathLineReady, &content, &ContentArea::setPathLineText);
    connect(page, &ViewerPage::shownChanged, &content, &ContentArea::notifyShownFileChanged);
    connect(page, &ViewerPage::textSelectionChanged, &content, &ContentArea::notifyShownSelectionChanged);
    connect(page, &ViewerPage::stateChanged, this, [this] { window_.refreshActions(); });
    connect(page, &ViewerPage::enhanceReady, this, [this] { window_.refreshActions(); });

    // Ctrl+= is Ctrl++ without Shift on most keyboards.
    auto* zoomIn = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), window_.window());
    connect(zoomIn, &QShortcut::activated, this, [this] {
        if (page_ && window_.commandState(MenuCommand::ZoomIn).enabled)
            page_->step(DisplayStep::ZoomIn);
        window_.refreshActions();
    });
}

void ViewerCommands::registerCommands(CommandRegistry& registry)
{
    using C = MenuCommand;
    const auto row = [](C command, int section, const QString& text, const QKeySequence& shortcut,
                        std::function<void()> run, const QString& icon = {}) {
        CommandRow r;
        r.command = command;
        r.menu = MenuId::View;
        r.section = section;
        r.text = text;
        r.shortcut = shortcut;
        r.run = std::move(run);
        r.icon = icon;
        return r;
    };
    const auto stepper = [this](DisplayStep step) {
        return [this, step] {
            if (page_)
                page_->step(step);
        };
    };
    // On the toolbar as the viewer's own group, after the browser's.
    const auto viewerRow = [&](C command, const QString& text, const QKeySequence& key, DisplayStep step,
                               const QString& icon, const QString& iconText, int position) {
        CommandRow r = row(command, 30, text, key, stepper(step), icon);
        r.iconText = iconText;
        r.toolbarPosition = position;
        registry.add(std::move(r));
    };
    viewerRow(C::ZoomIn, tr("Zoom &In"), QKeySequence(Qt::CTRL | Qt::Key_Plus), DisplayStep::ZoomIn,
              QStringLiteral("zoom-in"), tr("Zoom In"), 40);
    viewerRow(C::ZoomOut, tr("Zoom &Out"), QKeySequence(Qt::CTRL | Qt::Key_Minus), DisplayStep::ZoomOut,
              QStringLiteral("zoom-out"), tr("Zoom Out"), 41);
    viewerRow(C::ZoomReset, tr("&Actual Size"), QKeySequence(Qt::CTRL | Qt::Key_0), DisplayStep::Reset,
              QStringLiteral("zoom-original"), tr("Actual Size"), 42);
    viewerRow(C::RotateLeft, tr("Rotate &Left"), QKeySequence(Qt::CTRL | Qt::Key_L), DisplayStep::RotateLeft,
              QStringLiteral("object-rotate-left"), tr("Left"), 43);
    viewerRow(C::RotateRight, tr("Rotate &Right"), QKeySequence(Qt::CTRL | Qt::Key_R), DisplayStep::RotateRight,
              QStringLiteral("object-rotate-right"), tr("Right"), 44);
    {
        CommandRow r = row(C::ToggleEnhance, 40, tr("&Enhance Image"), {}, [this] { toggleEnhance(); });
        r.checkable = true;
        registry.add(std::move(r));
    }
    {
        CommandRow r = row(C::ShowPdfAsText, 40, tr("Show PDF as &Text"), {}, [this] { togglePdfAsText(); });
        r.checkable = true;
        registry.add(std::move(r));
    }
    CommandRow open = row(
        C::OpenShownFile, 50, tr("&Open"), {}, [this] { openShownFile(); }, QStringLiteral("document-open"));
    open.menu = MenuId::File;
    registry.add(std::move(open));
    CommandRow openWith = row(C::OpenShownFileWith, 50, tr("Open &With…"), {}, [this] { openShownFileWith(); });
    openWith.menu = MenuId::File;
    registry.add(std::move(openWith));
    CommandRow pdf = row(C::OpenInPdfViewer, 50, tr("Open in &PDF Viewer"), {}, [this] {
        openInPdfViewer(QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier));
    });
    pdf.menu = MenuId::File;
    registry.add(std::move(pdf));
}

void ViewerCommands::fillMenuContext(MenuContext& c) const
{
    if (!page_)
        return;
    const bool shows = !page_->shownItemPath().isEmpty();
    c.viewerShowsFile = shows;
    c.viewerCanZoom = shows && page_->canZoom();
    c.viewerShowsPdf = shows && page_->showsPdfFile();
    c.viewerEnhanced = page_->enhanced();
    c.viewerPdfAsText = page_->pdfAsText();
}

void ViewerCommands::selectionChanged(const QStringList& paths)
{
    if (!page_)
        return;
    // Any change of the selection ends what was shown; a file comes back on fileReady.
    page_->clearShown();
    ContentArea& content = window_.content();
    if (content.currentPage() == ViewerPage::PageName)
        content.showPage(ContentArea::HintPage);
    (void)paths;
}

void ViewerCommands::fileReady(const QString& path)
{
    if (!page_)
        return;
    window_.content().showPage(ViewerPage::PageName);
    // A smart file of a condition smart folder shows why it is in the folder.
    if (const IndexItem* selected = window_.browser().singleSelected(); selected && selected->isSmartFile()) {
        const plist::Value* real = selected->value(keys::SmartFile);
        if (selected->path() == path || (real && real->isString() && real->string() == path))
            if (std::vector<ContentsNeedle> needles = contentsNeedlesForSmartFile(*selected); !needles.empty())
                page_->markContents(path, std::move(needles));
    }
    page_->showItem(path);
    window_.refreshActions();
}

void ViewerCommands::windowClosing()
{
    if (page_)
        page_->clearShown();
}

void ViewerCommands::toggleEnhance()
{
    if (!page_)
        return;
    if (page_->enhanced()) {
        page_->setEnhanced(false);
        return;
    }
    KTPrefs* prefs = window_.preferences();
    if (prefs && !prefs->boolForKey(viewerkeys::EnhanceExplained)) {
        window_.documentUi().alert(viewermsg::EnhanceTitle, viewermsg::EnhanceExplanation);
        prefs->setBool(true, viewerkeys::EnhanceExplained);
        prefs->synchronize();
    }
    if (page_)
        page_->setEnhanced(true);
}

void ViewerCommands::togglePdfAsText()
{
    if (page_)
        page_->setPdfAsText(!page_->pdfAsText());
}

QString ViewerCommands::pathToHandOut()
{
    MyDocument& doc = window_.document();
    const QString item = page_ ? page_->shownItemPath() : QString();
    if (item.isEmpty())
        return {};
    QString error;
    // Another program gets a read-only copy outside the package in an encrypted database;
    // in a plain one the file where it is, as a double-click opens it.
    std::optional<PlainCopy> copy =
        doc.dbEncrypted() ? doc.copyForHandingOut(item, &error) : doc.plainCopyForReading(item, &error);
    if (!copy || !copy->valid()) {
        window_.documentUi().alert(QString(), viewermsg::CouldNotOpen.arg(QFileInfo(item).fileName(), error));
        return {};
    }
    const QString path = copy->path();
    // The other program reads it after this returns; it goes when the window closes.
    window_.keepCopy(std::move(*copy));
    return path;
}

void ViewerCommands::openShownFile()
{
    platform::Platform* platform = window_.platform();
    if (!platform)
        return;
    const QString path = pathToHandOut();
    if (path.isEmpty())
        return;
    if (!platform->desktop().openFile(path))
        window_.documentUi().alert(QString(), viewermsg::CouldNotOpen.arg(QFileInfo(path).fileName(), QString()));
}

std::optional<platform::Application> ViewerCommands::choose(const QString& title, const QString& text,
                                                            const QList<platform::Application>& apps)
{
    if (chooser_)
        return chooser_(title, text, apps);
    QStringList names;
    for (const platform::Application& app : apps)
        names << app.name;
    bool ok = false;
    const QString picked = QInputDialog::getItem(window_.window(), title, text, names, 0, false, &ok);
    if (!ok)
        return std::nullopt;
    const qsizetype at = names.indexOf(picked);
    return at >= 0 ? std::optional(apps.at(at)) : std::nullopt;
}

void ViewerCommands::openShownFileWith()
{
    platform::Platform* platform = window_.platform();
    if (!platform || !page_ || page_->shownItemPath().isEmpty())
        return;
    const QString mime = QMimeDatabase().mimeTypeForFile(page_->shownItemPath(), QMimeDatabase::MatchExtension).name();
    const QString name = QFileInfo(page_->shownItemPath()).fileName();
    const QString path = pathToHandOut();
    if (path.isEmpty())
        return;
    // The desktop's own chooser first; our list of the programs for the type where there is
    // none. The answer may come after the window has gone.
    const QPointer<ViewerCommands> self(this);
    const bool handedOn = platform->desktop().openWithChooser(path, [self, platform, mime, name, path] {
        if (self)
            self->openWithFromList(*platform, mime, name, path);
    });
    if (!handedOn)
        window_.documentUi().alert(QString(), viewermsg::CouldNotOpen.arg(QFileInfo(path).fileName(), QString()));
}

void ViewerCommands::openWithFromList(platform::Platform& platform, const QString& mime, const QString& name,
                                      const QString& path)
{
    const QList<platform::Application> apps = platform.desktop().applicationsFor(mime);
    if (apps.isEmpty()) {
        window_.documentUi().alert(QString(), viewermsg::NoProgramFor);
        return;
    }
    const auto app = choose(viewermsg::OpenWithTitle, viewermsg::OpenWithText.arg(name), apps);
    if (!app)
        return;
    if (!platform.desktop().openWith(app->id, {QUrl::fromLocalFile(path)}))
        window_.documentUi().alert(QString(), viewermsg::CouldNotOpen.arg(QFileInfo(path).fileName(), QString()));
}

void ViewerCommands::openInPdfViewer(bool chooseAgain)
{
    platform::Platform* platform = window_.platform();
    KTPrefs* prefs = window_.preferences();
    if (!platform || !page_ || !page_->showsPdfFile())
        return;
    const QString path = pathToHandOut();
    if (path.isEmpty())
        return;
    const QList<QUrl> urls{QUrl::fromLocalFile(path)};
    const plist::Value* stored = prefs ? prefs->objectForKey(viewerkeys::AdobeName) : nullptr;
    const QString chosen = stored && stored->isString() ? stored->string() : QString();
    if (!chooseAgain && !chosen.isEmpty() && platform->desktop().openWith(chosen, urls))
        return;
    // None chosen yet, the one chosen cannot open it, or Shift asks again.
    const QList<platform::Application> apps = platform->desktop().applicationsFor(QStringLiteral("application/pdf"));
    if (apps.isEmpty()) {
        window_.documentUi().alert(QString(), viewermsg::NoPdfViewer);
        return;
    }
    const auto app = choose(viewermsg::ChoosePdfViewerTitle, viewermsg::ChoosePdfViewerText, apps);
    if (!app)
        return;
    if (prefs) {
        prefs->setObject(plist::Value(app->id), viewerkeys::AdobeName);
        prefs->synchronize();
    }
    if (!platform->desktop().openWith(app->id, urls))
        window_.documentUi().alert(QString(), viewermsg::CouldNotOpen.arg(QFileInfo(path).fileName(), QString()));
}

} // namespace folivo::gui
