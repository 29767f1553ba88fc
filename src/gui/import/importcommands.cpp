#include "importcommands.h"

#include "browser/browserdrops.h"
#include "browser/browserpane.h"
#include "browser/messages.h"
#include "browser/treemodel.h"
#include "database/qtdocumentui.h"
#include "filing/messages.h"
#include "import/importfoldersheet.h"
#include "widgets/busymode.h"

#include "browser/commands.h"
#include "browser/windowrules.h"
#include "store/mydocument.h"

#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMimeData>
#include <QPointer>
#include <QScopedValueRollback>
#include <QTimer>
#include <QUrl>

namespace folivo::gui {

namespace {

QStringList localPaths(const QMimeData* mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            out << url.toLocalFile();
    return out;
}

} // namespace

ImportCommands::ImportCommands(WindowContext& window, const std::function<void(int ms)>& drainWait)
    : CommandModule(window), drainWait_(drainWait)
{
    window_.window()->installEventFilter(this);
    connect(window_.browser().model(), &TreeModel::importRequested, this,
            [this](const QStringList& paths, const QString& parentPath, int index) {
                // After the drag has finished: the import shows sheets of its own.
                QTimer::singleShot(0, this, [this, paths, parentPath, index] {
                    importPaths(paths, parentPath, index, true, true);
                });
            });
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { window_.refreshActions(); });
}

void ImportCommands::registerCommands(CommandRegistry& registry)
{
    using C = MenuCommand;
    {
        CommandRow r;
        r.command = C::Import;
        r.section = 20;
        r.text = tr("&Import Files…");
        r.shortcut = QKeySequence(Qt::CTRL | Qt::Key_I);
        r.icon = QStringLiteral("document-import|go-down");
        r.iconText = tr("Import");
        r.toolbarPosition = 22;
        r.run = [this] { importPanel(false); };
        registry.add(std::move(r));
    }
    {
        // The same rule as importing files; only the chooser differs.
        CommandRow r;
        r.id = QStringLiteral("ImportFolder");
        r.enabledLike = C::Import;
        r.section = 20;
        r.text = tr("Import &Folder…");
        r.shortcut = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I);
        r.run = [this] { importPanel(true); };
        registry.add(std::move(r));
    }
    {
        CommandRow r;
        r.command = C::ImportFromClipboard;
        r.section = 20;
        r.text = tr("Import From &Clipboard");
        r.shortcut = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V);
        r.run = [this] { importFromClipboard(); };
        registry.add(std::move(r));
    }
    {
        CommandRow r;
        r.command = C::ImportFolderSettings;
        r.section = 20;
        r.text = tr("Import Folder &Settings…");
        r.run = [this] { editImportFolder(); };
        registry.add(std::move(r));
    }
}

void ImportCommands::fillMenuContext(MenuContext& c) const
{
    if (const QMimeData* mime = QGuiApplication::clipboard()->mimeData())
        c.clipboardHasData = !mime->formats().isEmpty();
}

void ImportCommands::windowActivated()
{
    importDroppedFiles();
    drainImportFolder();
}

ImportContext ImportCommands::importContext() const
{
    ImportContext context;
    context.browserSelection = folderTheSelectionStandsFor(window_.browser().singleSelected());
    context.selectedReminder = window_.selectedReminder();
    return context;
}

ImportOutcome ImportCommands::runImport(const ImportRequest& request)
{
    ImportOutcome outcome;
    MyDocument& doc = window_.document();
    if (!doc.dbOpen() || window_.busyMode())
        return outcome;
    BusyMode busy(window_.window(), tr("Importing …"));
    BusyMark marked(window_, &busy);
    QtDocumentUi& ui = window_.documentUi();
    ui.setStopHandler([&busy] { busy.requestStop(); });
    window_.refreshActions();
    ImportPipeline pipeline(doc, window_.preferences());
    pipeline.shouldStop = [&busy] { return busy.stopRequested(); };
    outcome = pipeline.doImport(request, importContext());
    ui.setStopHandler({});
    return outcome;
}

ImportOutcome ImportCommands::importPaths(const QStringList& paths, const QString& parentPath, int index,
                                          bool ignoreUserSelection, bool dropped)
{
    if (paths.isEmpty() || !window_.document().dbOpen())
        return {};
    ImportRequest request;
    request.paths = paths;
    request.parentPath = parentPath;
    request.parentIndex = index;
    // A folder named here comes from a drop on the tree, with its position; so does a drop
    // between top-level rows, which names none.
    request.dropPosition = dropped || !parentPath.isEmpty();
    request.ignoreUserSelection = ignoreUserSelection;
    const ImportOutcome outcome = runImport(request);
    showImportOutcome(outcome);
    return outcome;
}

ImportOutcome ImportCommands::importDroppedFiles()
{
    const ImportOutcome outcome =
        folivo::importDroppedFiles(window_.document(), window_.preferences(), importContext());
    showImportOutcome(outcome);
    return outcome;
}

ImportOutcome ImportCommands::importFromClipboard()
{
    QtDocumentUi& ui = window_.documentUi();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    const ClipboardImportChoice choice =
        chooseClipboardImport(mime ? mime->formats() : QStringList(), mime ? mime->urls() : QList<QUrl>());
    ImportRequest request;
    switch (choice.kind) {
    case ClipboardImportKind::Empty:
        ui.alert(QString(), cmdmsg::ClipboardEmpty);
        return {};
    case ClipboardImportKind::Files:
        return importPaths(choice.files);
    case ClipboardImportKind::AskExtension: {
        bool ok = false;
        const QString typed = QInputDialog::getText(
            window_.window(), tr("Import From Clipboard"),
            tr("The clipboard holds \"%1\", which Folivo does not know. Type the file extension to store it "
               "under (for example \"svg\"):")
                .arg(choice.mimeType),
            QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return {};
        const std::optional<QString> extension = clipboardExtension(typed);
        if (!extension) {
            ui.alert(QString(), tr("\"%1\" cannot be used as a file extension.").arg(typed));
            return {};
        }
        request.dataName = clipboardFileName(*extension);
        break;
    }
    case ClipboardImportKind::Data:
        request.dataName = choice.fileName;
        break;
    }
    const QByteArray data = mime ? mime->data(choice.mimeType) : QByteArray();
    if (data.isEmpty()) {
        ui.alert(QString(), cmdmsg::ClipboardEmpty);
        return {};
    }
    request.data = data;
    const ImportOutcome outcome = runImport(request);
    showImportOutcome(outcome);
    return outcome;
}

DrainOutcome ImportCommands::drainImportFolder()
{
    DrainOutcome outcome;
    MyDocument& doc = window_.document();
    if (draining_ || window_.busyMode() || !doc.dbOpen() || !doc.settings().importFolderEnabled
        || doc.settings().importFolderPath.isEmpty())
        return outcome;
    QScopedValueRollback guard(draining_, true);
    ++drainsRun_;
    DrainOptions options;
    options.wait = drainWait_ ? drainWait_ : [](int ms) {
        // Waiting keeps the window painting; input waits its turn.
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    };
    options.memory = &ImportFolderMemory::session();
    outcome = importFromImportFolder(doc, window_.preferences(), importContext(), options);
    if (outcome.specifyNew)
        QTimer::singleShot(0, this, [this] { editImportFolder(); });
    showImportOutcome(outcome.import);
    if (outcome.skipWarning && !outcome.import.skipped)
        scheduleSkipWarning();
    return outcome;
}

void ImportCommands::scheduleSkipWarning()
{
    // After the import's own sheets are gone, so the warning is not hidden under them.
    QPointer<ImportCommands> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            doSkipWarning(self->window_.documentUi());
    });
}

void ImportCommands::showImportOutcome(const ImportOutcome& outcome)
{
    if (!outcome.ran)
        return;
    BrowserPane& pane = window_.browser();
    if (!outcome.itemsToSelect.isEmpty())
        pane.selectItems(outcome.itemsToSelect, outcome.selectMessage.isEmpty() ? importmsg::ImportedItemsSelected
                                                                                : outcome.selectMessage);
    if (!outcome.collapse.isEmpty())
        pane.collapse(outcome.collapse);
    if (outcome.skipped)
        scheduleSkipWarning();
    window_.updateStatus();
    window_.refreshActions();
}

void ImportCommands::importPanel(bool folders)
{
    QStringList paths;
    if (folders) {
        const QString dir = QFileDialog::getExistingDirectory(window_.window(), tr("Import Folder"), QDir::homePath());
        if (!dir.isEmpty())
            paths << dir;
    } else {
        paths = QFileDialog::getOpenFileNames(window_.window(), tr("Import Files"), QDir::homePath());
    }
    if (paths.isEmpty())
        return;
    // The import log folder selected: the import files by the rules, not into the logs.
    const IndexItem* single = window_.browser().singleSelected();
    const bool logsSelected = single && single->path() == importmsg::ImportLogsFolder;
    importPaths(paths, QString(), -1, logsSelected);
}

void ImportCommands::editImportFolder()
{
    MyDocument& doc = window_.document();
    if (!doc.dbOpen())
        return;
    ImportFolderSheet sheet(doc, window_.window());
    sheet.exec();
    window_.refreshActions();
}

bool ImportCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window_.window())
        return false;
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    // Files from other programs, as copies: a source told "moved" would delete its file
    // before the import has read it. The browser's own items are the tree's business; their
    // files are copies of what the database holds already.
    const QMimeData* mime = drop->mimeData();
    const bool takes = mime && !mime->hasFormat(mime::Items) && !mime->hasFormat(mime::Logins)
                       && (drop->possibleActions() & Qt::CopyAction) && !localPaths(mime).isEmpty()
                       && window_.commandState(MenuCommand::Import).enabled;
    if (!takes)
        return false;
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        const QStringList paths = localPaths(mime);
        // After the drag has ended: the import shows its own sheets.
        QTimer::singleShot(0, this, [this, paths] { importPaths(paths); });
    }
    return true;
}

} // namespace folivo::gui
