#include "filing/importpipeline.h"
#include "attributes/tags.h"

#include "filing/messages.h"
#include "find/filetext.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "smartfolders/references.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "util/fs.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScopedValueRollback>

namespace folivo {

namespace {

bool isDatabasePackage(const QString& path)
{
    return QFileInfo(path).suffix().compare(pkg::Extension, Qt::CaseInsensitive) == 0;
}

bool skippedInFolders(const QString& name)
{
    return name.startsWith(QLatin1Char('.')) || name == QStringLiteral("Icon\r");
}

std::optional<QDateTime> midnight(const std::optional<QDate>& d)
{
    if (!d || !d->isValid())
        return std::nullopt;
    return KTDate::atMidnight(*d);
}

bool isInside(const QString& path, const QString& folder)
{
    const QString p = QDir::cleanPath(path);
    const QString f = QDir::cleanPath(folder);
    return p == f || p.startsWith(f + QLatin1Char('/'));
}

} // namespace

bool isFilePackage(const QString& path)
{
    static const QStringList packages = {QStringLiteral("rtfd"), QStringLiteral("app"), QStringLiteral("bundle"),
                                         QStringLiteral("pages"), QStringLiteral("numbers"), QStringLiteral("key"),
                                         QStringLiteral("band"), QStringLiteral("photoslibrary")};
    return packages.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive);
}

void doSkipWarning(DocumentUi& ui)
{
    ui.alert(importmsg::SkipPrompt, importmsg::SkipTitle, importmsg::SkipText);
}

ImportOutcome importDroppedFiles(MyDocument& doc, KTPrefs* prefs, const ImportContext& context)
{
    const QString& key = prefkeys::DroppedFilesToImport;
    QStringList paths;
    if (const plist::Value* v = prefs ? prefs->objectForKey(key) : nullptr; v && v->isArray())
        for (const plist::Value& p : v->array())
            if (p.isString() && !p.string().isEmpty())
                paths << p.string();
    if (paths.isEmpty() || !doc.canChange())
        return {};
    prefs->removeObjectForKey(key);
    prefs->synchronize();
    ImportPipeline pipeline(doc, prefs);
    ImportRequest request;
    request.paths = paths;
    return pipeline.doImport(request, context);
}

ImportPipeline::ImportPipeline(MyDocument& doc, KTPrefs* prefs)
    : doc_(doc), prefs_(prefs), filing_(FilingPreferences::from(prefs))
{
}

bool ImportPipeline::pref(const QString& key) const
{
    return prefs_ && prefs_->boolForKey(key);
}

IndexItem* ImportPipeline::unfiled() const
{
    if (IndexItem* top = doc_.tree().itemForPath(pkg::Unfiled))
        return top;
    return matchCategory(pkg::Unfiled, doc_.tree().categoriesArray(), 0, false);
}

ImportOutcome ImportPipeline::doImport(const ImportRequest& request, const ImportContext& context)
{
    out_ = ImportOutcome{};
    context_ = context;
    visitedDirs_.clear();
    matchIndex_.reset();
    stop_ = false;
    stoppedByRequest_ = false;
    if (!doc_.canChange())
        return out_;
    out_.ran = true;
    MyDocument::BusyScope busy(doc_);

    // The target: the drop target, else what the browser has selected.
    IndexItem* target = nullptr;
    if (!request.parentPath.isEmpty())
        target = doc_.tree().itemForPath(request.parentPath);
    else if (request.parentIndex == -1 && !request.ignoreUserSelection && !context.browserSelection.isEmpty())
        target = doc_.tree().itemForPath(context.browserSelection);
    // A date folder or file stands for its nearest ordinary folder; smart items for none.
    while (target && (target->isDateFolder() || target->isFile()))
        target = target->parent();
    if (target && !target->isPlainFolder())
        target = nullptr;

    DocumentUi& ui = doc_.ui();
    ui.progressStart(importmsg::Importing, QString(), 0);

    const bool logging = pref(prefkeys::ImportLog);
    const QDateTime started = QDateTime::currentDateTime();
    if (logging)
        doc_.importLog() = importmsg::LogHeader.arg(QFileInfo(doc_.dbPath()).fileName(),
                                                   QLocale::c().toString(started, doc_.logDateFormat()));

    bool lastFailed = false;
    if (request.paths.isEmpty()) {
        if (request.data) {
            // The clipboard's content goes where the person is looking, or into "Unfiled":
            // it has no name of its own to file by, and no rule or date applies to it.
            doc_.clearImportFailed();
            ui.progressSetText(request.dataName);
            importFileAtPath(request.dataName.isEmpty() ? QStringLiteral("Clipboard") : request.dataName, request.data,
                             true, target ? target : unfiled(), request.parentIndex, false, false);
            lastFailed = doc_.importFailed();
        }
    } else {
        int index = request.parentIndex;
        for (const QString& given : request.paths) {
            // "Trip/" names the folder Trip, not a folder without a name.
            const QString path = QDir::cleanPath(given);
            if (stop_ || stopRequested())
                break;
            doc_.clearImportFailed();
            // Each file after the one before; -1 stays "where the database puts it", unless
            // the files were dropped before a folder's first row.
            if (index >= 0 || (request.dropPosition && index == -1))
                ++index;
            const bool ok = importFileAtPath(path, std::nullopt, request.ignoreUserSelection, target, index,
                                             !request.isImportFolder, request.autoFile);
            if (!ok)
                out_.skipped = true;
            lastFailed = doc_.importFailed();
        }
    }

    if (logging && !lastFailed && !out_.diskError)
        storeLog(started);

    out_.stopped = stoppedByRequest_;
    ui.progressStop();
    ui.reloadBrowser();
    out_.selectMessage = importmsg::ImportedItemsSelected;

    if (pref(prefkeys::MaintainLastImport) && !out_.diskError)
        maintainLastImport();
    return out_;
}

bool ImportPipeline::importFileAtPath(const QString& path, const std::optional<QByteArray>& data,
                                      bool ignoreUserSelection, IndexItem* folder, int index, bool directoryOK,
                                      bool autoFile)
{
    doc_.ui().progressSetText(path);
    ImportedEntry entry;
    entry.source = path;

    const auto skip = [&] {
        entry.skipped = true;
        out_.entries << entry;
        return false;
    };
    if (isDatabasePackage(path))
        return skip();
    if (!data) {
        const QFileInfo info(path);
        // Nothing is imported from inside the database itself: copying a folder into
        // itself never ends, and a file is already here. A link given here is followed, so
        // where it leads counts too.
        if (info.exists()
            && (isInside(info.absoluteFilePath(), doc_.dbPath())
                || isInside(info.canonicalFilePath(), QFileInfo(doc_.dbPath()).canonicalFilePath())))
            return skip();
        if (info.isDir() && !isFilePackage(path)) {
            // A folder given by a link is imported as what it leads to; links met inside
            // it are not followed (importDirectoryAtPath).
            if (!directoryOK)
                return skip();
            // No folder: a hierarchy. "Unfiled": loose files. Otherwise the person chooses.
            bool filesOnly = folder && folder->path() == pkg::Unfiled;
            if (folder && !filesOnly) {
                const int choice = doc_.ui().ask({importmsg::FolderOptionsPrompt, importmsg::FolderOptionsTitle,
                                                  importmsg::FolderOptionsText.arg(info.fileName()),
                                                  {{importmsg::ImportFilesOnlyAnswer, importmsg::ImportFilesOnly},
                                                   {importmsg::ImportAsHierarchyAnswer, importmsg::ImportAsHierarchy},
                                                   {importmsg::CancelAnswer, importmsg::Cancel}}});
                if (choice != 0 && choice != 1)
                    return true;
                filesOnly = choice == 0;
            }
            return importDirectoryAtPath(path, folder, index, filesOnly);
        }
    }

    if (!folder)
        folder = unfiled();

    FilingDecision decision;
    decision.folder = folder;
    // The source's text, read at most once: the filing rules and auto-tagging both look at it.
    std::optional<std::optional<QString>> sourceText;
    const auto textOfSource = [&]() -> const std::optional<QString>& {
        if (!sourceText)
            sourceText = data ? textOfData(*data) : textOfFile(QFileInfo(path).absoluteFilePath());
        return *sourceText;
    };
    // The same text in normalisation form C, as searches and tags compare it; made once.
    std::optional<std::optional<QString>> normalisedText;
    const auto normalisedSource = [&]() -> const std::optional<QString>& {
        if (!normalisedText) {
            std::optional<QString> text = textOfSource();
            if (text)
                *text = text->normalized(QString::NormalizationForm_C);
            normalisedText = std::move(text);
        }
        return *normalisedText;
    };
    if (autoFile) {
        FilingInput input;
        input.fileName = data ? path : QFileInfo(path).fileName();
        input.target = folder;
        input.ignoreUserSelection = ignoreUserSelection;
        input.today = context_.today;
        if (!context_.selectedReminder.isEmpty())
            input.selectedReminder = doc_.tree().itemForPath(context_.selectedReminder);
        input.text = [&]() -> std::optional<QString> { return textOfSource(); };
        // Gathered once per import: the tree's match strings do not change while it runs.
        if (!matchIndex_)
            matchIndex_.emplace(doc_.tree().categoriesArray());
        input.matchIndex = &*matchIndex_;
        decision = fileOne(doc_.tree(), input, filing_);
        if (!decision.folder)
            decision.folder = folder;
    }

    const QString parentPath = decision.folder ? decision.folder->path() : QString();
    const OperationResult r = doc_.recordImport(data ? path : QFileInfo(path).absoluteFilePath(), data, parentPath,
                                                index, midnight(decision.start), midnight(decision.end));
    entry.start = decision.start;
    entry.end = decision.end;
    entry.rule = decision.rule;
    if (r.status == OperationResult::Status::Done) {
        entry.storedPath = r.resultPath;
        out_.itemsToSelect << r.resultPath;
        // Each stored file is a step the person can go back to; the import log is not.
        if (!storingLog_)
            doc_.history().addItem(doc_.tree().itemForPath(r.resultPath));
        if (!storingLog_) {
            // The text the filing rules read goes into the cache, so searching and tagging
            // need not read the stored file again. Only a text already read is kept: an
            // import that filed by name alone does not parse every file for it.
            if (sourceText)
                doc_.textCache().put(r.resultPath, normalisedSource());
            autoTagStored(r.resultPath, normalisedSource);
        }
        // The reminder that chose the folder has been answered by this import.
        if (decision.reminderChosen && decision.folder) {
            decision.folder->setValue(keys::ReminderChecked, true);
            doc_.writeAttributesFileForItem(decision.folder);
            doc_.changed();
        }
        if (onStored && !storingLog_)
            onStored(entry.source, entry.storedPath);
    } else {
        noteFailure(entry, r);
    }
    out_.entries << entry;
    return true;
}

void ImportPipeline::autoTagStored(const QString& storedPath,
                                   const std::function<const std::optional<QString>&()>& text)
{
    if (!autoTag_)
        autoTag_ = autoTagSettingsOf(doc_);
    if (!autoTag_->tagsImports())
        return;
    if (IndexItem* item = doc_.tree().itemForPath(storedPath))
        autoTagItemWithText(doc_, *item, *autoTag_, text());
}

bool ImportPipeline::stopRequested()
{
    if (!stoppedByRequest_ && shouldStop && shouldStop()) {
        stoppedByRequest_ = true;
        stop_ = true;
    }
    return stoppedByRequest_;
}

void ImportPipeline::noteFailure(ImportedEntry& entry, const OperationResult& r)
{
    entry.failed = true;
    out_.failed = true;
    // A disk error ends the whole import: the disk is full or failing.
    if (r.status == OperationResult::Status::DiskError) {
        out_.diskError = true;
        stop_ = true;
    }
}

bool ImportPipeline::importDirectoryAtPath(const QString& path, IndexItem* folder, int index, bool filesOnly)
{
    const QFileInfo info(path);
    // A folder reached twice (through a link higher up, or a loop) is imported once.
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty() || visitedDirs_.contains(canonical))
        return false;
    visitedDirs_.insert(canonical);

    IndexItem* target = folder;
    if (!filesOnly) {
        const bool topLevel = !folder || folder->path() == pkg::Unfiled;
        const QString name = makeValidName(info.fileName());
        QString newPath = doc_.uniquePathForPath(topLevel ? name : folder->path() + QLatin1Char('/') + name);
        if (pref(prefkeys::MaintainLastImport) && newPath == pkg::LastImport) {
            newPath = doc_.tree().uniqueSmartFolderNameFor(newPath);
            if (newPath == pkg::LastImport)
                newPath = pkg::LastImport + QLatin1Char('2');
            newPath = doc_.uniquePathForPath(newPath);
        }
        const OperationResult r = doc_.recordNewCategory(newPath, topLevel ? nullptr : folder, index);
        ImportedEntry entry;
        entry.source = path;
        entry.folder = true;
        if (r.status != OperationResult::Status::Done) {
            noteFailure(entry, r);
            out_.entries << entry;
            return true;
        }
        entry.storedPath = r.resultPath.isEmpty() ? newPath : r.resultPath;
        out_.entries << entry;
        if (pref(prefkeys::ImportLog))
            doc_.importLog() += importmsg::LogLine.arg(path, entry.storedPath);
        out_.itemsToSelect << entry.storedPath;
        target = doc_.tree().itemForPath(entry.storedPath);
        if (!target)
            return true;
        doc_.history().addItem(target);
    }

    QDir dir(path);
    // Names in a stable order, as a file manager lists them, so that an import is the
    // same every time.
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::IgnoreCase);
    bool allOk = true;
    for (const QString& name : names) {
        if (stop_ || stopRequested())
            break;
        if (skippedInFolders(name))
            continue;
        const QString child = dir.filePath(name);
        const QFileInfo ci(child);
        if (ci.isDir() && !isFilePackage(child) && !isDatabasePackage(child)) {
            if (ci.isSymLink()) {
                // Linked folders are not followed: they can lead anywhere, back here included.
                ImportedEntry e;
                e.source = child;
                e.skipped = true;
                out_.entries << e;
                allOk = false;
                continue;
            }
            if (!importDirectoryAtPath(child, target, filesOnly ? index : 0, filesOnly))
                allOk = false;
        } else {
            doc_.clearImportFailed();
            if (!importFileAtPath(child, std::nullopt, false, target, -1, false, filesOnly))
                allOk = false;
        }
    }
    return allOk;
}

void ImportPipeline::storeLog(const QDateTime& started)
{
    IndexItem* logs = matchCategory(importmsg::ImportLogsFolder, doc_.tree().categoriesArray(), 0, false);
    IndexItem* into = logs ? logs : unfiled();
    const QString name = QLocale::c().toString(started, doc_.logDateFormat());
    // The log is stored as data: no plain copy of it is written anywhere first.
    const QByteArray text = doc_.importLog().toUtf8();
    const qsizetype selected = out_.itemsToSelect.size();
    doc_.clearImportFailed();
    {
        QScopedValueRollback quiet(storingLog_, true);
        importFileAtPath(name, text, true, into, 0, false, false);
    }
    if (out_.itemsToSelect.size() > selected) {
        out_.logPath = out_.itemsToSelect.takeLast();
        out_.logFolder = into ? into->path() : QString();
        out_.entries.removeLast();
    }
}

void ImportPipeline::maintainLastImport()
{
    IndexTree& tree = doc_.tree();
    IndexItem* last = tree.itemForPath(pkg::LastImport); // a top-level path
    if (last && !last->has(keys::SystemLastImportFolder)) {
        doc_.ui().alert(importmsg::LastImportExistsPrompt, importmsg::LastImportExistsTitle, importmsg::LastImportExistsText);
        return;
    }
    plist::Dict smart;
    if (last) {
        if (const plist::Value* s = last->value(keys::SmartFolder); s && s->isDict())
            smart = s->dict();
    } else {
        smart = plist::Dict{{QStringLiteral("Type"), std::int64_t(3)},
                            {QStringLiteral("All"), false},
                            {QStringLiteral("Expand"), false},
                            {QStringLiteral("SmartFolderName"), pkg::LastImport}};
    }
    plist::Array conditions;
    for (const QString& stored : out_.itemsToSelect) {
        const IndexItem* item = tree.itemForPath(stored);
        if (!item || item->hasChildren())
            continue;
        const QString rel = doc_.encryptedPath(stored);
        conditions.push_back(referenceEntryForStoredPath(rel));
    }
    smart.set(QStringLiteral("Conditions"), std::move(conditions));

    if (!last) {
        auto item = std::make_unique<IndexItem>(plist::Dict{{keys::Path, pkg::LastImport},
                                                            {keys::NeedsLoading, true},
                                                            {keys::SystemLastImportFolder, true},
                                                            {keys::SmartFolderType, std::int64_t(2)},
                                                            {keys::SmartFolder, std::move(smart)}},
                                                true);
        last = tree.insert(nullptr, std::move(item), -1);
        if (tree.sorting.keepSorted)
            tree.sortByName(nullptr);
        doc_.writeAttributesFileForItem(nullptr);
    } else {
        last->setValue(keys::SmartFolder, std::move(smart));
        last->setValue(keys::NeedsLoading, true);
    }
    doc_.writeAttributesFileForItem(last);
    doc_.changed();
    doc_.ui().reloadBrowser();
}

} // namespace folivo
