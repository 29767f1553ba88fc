#include "browser/commands.h"

#include "browser/messages.h"
#include "browser/selection.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/packagepath.h"
#include "store/tree.h"

#include <algorithm>

namespace folivo {

namespace {

const QString ReportCriteriaKey = QStringLiteral("ReportCriteria");
const QString ValuesKey = QStringLiteral("values");
const QString Attribute1Key = QStringLiteral("attribute1");
const QString Attribute2Key = QStringLiteral("attribute2");
const QString OperatorKey = QStringLiteral("operator");

bool isUnfiled(const IndexItem& item)
{
    return item.parent() == nullptr && item.path() == pkg::Unfiled && item.isPlainFolder();
}

QString stringIn(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    return v && v->isString() ? v->string() : QString();
}

} // namespace

BrowserItemKind browserItemKind(const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::File:
        return BrowserItemKind::File;
    case ItemKind::SmartFile:
        return BrowserItemKind::SmartFile;
    case ItemKind::SmartFolder:
        return BrowserItemKind::SmartFolder;
    case ItemKind::DateFolder:
        return BrowserItemKind::DateFolder;
    case ItemKind::Folder:
        break;
    }
    return isUnfiled(item) ? BrowserItemKind::Unfiled : BrowserItemKind::Folder;
}

// ---- Selection counts ----

bool hasReportDefinition(const IndexItem& smartFolder)
{
    const plist::Value* criteria = smartFolder.value(ReportCriteriaKey);
    if (!criteria || !criteria->isDict())
        return false;
    const plist::Value* values = criteria->dict().find(ValuesKey);
    if (!values || !values->isArray())
        return false;
    // Four lines are stored; a record from elsewhere may hold more, which are not columns.
    const plist::Array& lines = values->array();
    for (std::size_t i = 0; i < lines.size() && i < 4; ++i) {
        if (!lines[i].isDict())
            continue;
        const plist::Dict& line = lines[i].dict();
        if (stringIn(line, Attribute1Key).isEmpty())
            continue;
        const plist::Value* op = line.find(OperatorKey);
        const std::int64_t operation = op ? op->toInt(0) : 0;
        if (operation == 0 || !stringIn(line, Attribute2Key).isEmpty())
            return true;
    }
    return false;
}

void saveAndCountSelectedItem(SelectionCounts& counts, const IndexItem& item)
{
    switch (item.kind()) {
    case ItemKind::SmartFolder:
        ++counts.selectedSmartFolderCount;
        if (hasReportDefinition(item))
            ++counts.selectedReportCount;
        break;
    case ItemKind::Folder:
    case ItemKind::DateFolder:
        ++counts.selectedFolderCount;
        break;
    case ItemKind::SmartFile:
        ++counts.selectedSmartFileCount;
        break;
    case ItemKind::File:
        ++counts.selectedFileCount;
        break;
    }
}

SelectionCounts countSelection(const std::vector<const IndexItem*>& items)
{
    SelectionCounts counts;
    int n = 0;
    for (const IndexItem* item : items)
        if (item) {
            saveAndCountSelectedItem(counts, *item);
            ++n;
        }
    counts.singleFileSelected = n == 1 && counts.selectedFileCount == 1;
    return counts;
}

// ---- New folder ----

NewFolderPlace newFolderPlace(const IndexTree& tree, const IndexItem* singleSelected, bool singleExpanded)
{
    if (!singleSelected)
        return {};
    if (singleExpanded && singleSelected->hasChildren())
        return {singleSelected, 0};
    const int index = tree.indexOf(singleSelected);
    if (index < 0) // not in this tree (any more): the safe place is the top of the list
        return {};
    return {singleSelected->parent(), index + 1};
}

bool newButtonEnabled(bool dbWriteable, int selectedRowCount, BrowserItemKind singleKind, bool singleExpanded)
{
    if (!dbWriteable)
        return false;
    if (selectedRowCount == 0)
        return true;
    if (selectedRowCount != 1)
        return false;
    switch (singleKind) {
    case BrowserItemKind::Folder:
        return true;
    case BrowserItemKind::Unfiled:
    case BrowserItemKind::SmartFolder:
        return !singleExpanded;
    case BrowserItemKind::DateFolder:
    case BrowserItemKind::File:
    case BrowserItemKind::SmartFile:
        break;
    }
    return false;
}

// ---- Delete ----

QString fillPlaceholders(const QString& format, const QStringList& args)
{
    QString out;
    out.reserve(format.size());
    qsizetype next = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = format.indexOf(QStringLiteral("%@"), from);
        if (at < 0)
            break;
        out += QStringView(format).mid(from, at - from);
        if (next < args.size())
            out += args.at(next++);
        from = at + 2;
    }
    out += QStringView(format).mid(from);
    return out;
}

DeletePlan planDelete(const std::vector<const IndexItem*>& selected, bool confirmDelete)
{
    DeletePlan plan;
    QStringList paths;
    bool unfiledSelected = false;
    int files = 0, folders = 0, smartFolders = 0, smartFiles = 0;
    for (const IndexItem* item : selected) {
        if (!item)
            continue;
        switch (browserItemKind(*item)) {
        case BrowserItemKind::Unfiled:
            unfiledSelected = true;
            continue;
        case BrowserItemKind::SmartFile:
            ++smartFiles;
            continue;
        case BrowserItemKind::File:
            ++files;
            break;
        case BrowserItemKind::SmartFolder:
            ++smartFolders;
            break;
        case BrowserItemKind::Folder:
        case BrowserItemKind::DateFolder:
            ++folders;
            break;
        }
        paths << item->path();
    }
    const int n = files + folders + smartFolders;

    if (!confirmDelete) {
        // Without a question the user would not learn why part of the selection stayed,
        // so such a selection is explained and left alone.
        if (unfiledSelected || smartFiles > 0) {
            plan.prompt = Prompt::message(cmdmsg::DeletePrompt, cmdmsg::DeleteTitle,
                                          unfiledSelected ? cmdmsg::UnfiledCannotBeDeleted
                                                          : cmdmsg::SmartFilesCannotBeDeleted);
            return plan;
        }
        plan.paths = withoutNestedPaths(paths);
        return plan;
    }

    if (n == 0 && !unfiledSelected && smartFiles == 0)
        return plan; // nothing selected: nothing to ask

    const bool somethingStays = unfiledSelected || smartFiles > 0;
    const QString question =
        n > 0 ? fillPlaceholders(cmdmsg::ReallyDelete,
                                 {somethingStays ? cmdmsg::Remaining : QString(), n != 1 ? QStringLiteral("s") : QString()})
              : QString();
    const QString text = fillPlaceholders(QStringLiteral("%@%@%@"),
                                          {unfiledSelected ? cmdmsg::UnfiledCannotBeDeleted : QString(),
                                           smartFiles > 0 ? cmdmsg::SmartFilesCannotBeDeleted : QString(), question});
    if (n == 0) {
        plan.prompt = Prompt::message(cmdmsg::DeletePrompt, cmdmsg::DeleteTitle, text);
        return plan;
    }
    plan.prompt = Prompt{cmdmsg::DeletePrompt, cmdmsg::DeleteTitle, text,
                         {{cmdmsg::KeepAnswer, cmdmsg::No}, {cmdmsg::DeleteAnswer, cmdmsg::Yes}}};
    plan.proceedButton = 1;
    plan.paths = withoutNestedPaths(paths);
    return plan;
}

DeletePlan planDeleteDragged(const QStringList& itemPaths, bool confirmDelete)
{
    DeletePlan plan;
    QStringList paths = withoutNestedPaths(itemPaths);
    std::reverse(paths.begin(), paths.end());
    if (paths.isEmpty())
        return plan;
    plan.paths = paths;
    if (confirmDelete) {
        plan.prompt = Prompt{cmdmsg::DeletePrompt, cmdmsg::DeleteTitle,
                             fillPlaceholders(cmdmsg::ReallyDeleteDragged,
                                              {paths.size() >= 2 ? QStringLiteral("s") : QString()}),
                             {{cmdmsg::KeepAnswer, cmdmsg::No}, {cmdmsg::DeleteAnswer, cmdmsg::Yes}}};
        plan.proceedButton = 1;
    }
    return plan;
}

// ---- Clipboard import ----

namespace {

struct ClipboardType {
    const char* mime;
    const char* fileName;
};

// In order of preference: the richest form of the content first.
const ClipboardType ClipboardTypes[] = {
    {"application/pdf", "Clipboard.pdf"},
    {"text/rtf", "Clipboard.rtf"},
    {"application/rtf", "Clipboard.rtf"},
    {"image/tiff", "Clipboard.tif"},
    {"text/html", "Clipboard.html"},
    {"image/png", "Clipboard.png"},
    {"application/postscript", "Clipboard.ps"},
    {"text/tab-separated-values", "Clipboard.txt"},
    {"text/plain", "Clipboard.txt"},
};

// "Text/Plain;charset=utf-8" is "text/plain".
QString baseType(const QString& format)
{
    return format.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
}

} // namespace

ClipboardImportChoice chooseClipboardImport(const QStringList& formats, const QList<QUrl>& urls)
{
    ClipboardImportChoice choice;
    if (formats.isEmpty())
        return choice;

    // Files copied in a file manager come as a list of file URLs, usually with their names
    // as plain text beside them: the files are what the user means, not the text.
    bool offersUris = false;
    for (const QString& f : formats)
        offersUris = offersUris || baseType(f) == QLatin1String("text/uri-list");
    if (offersUris && !urls.isEmpty()) {
        QStringList files;
        for (const QUrl& url : urls) {
            if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
                files.clear();
                break;
            }
            files << url.toLocalFile();
        }
        if (!files.isEmpty()) {
            choice.kind = ClipboardImportKind::Files;
            choice.files = files;
            return choice;
        }
    }

    for (const ClipboardType& type : ClipboardTypes)
        for (const QString& f : formats)
            if (baseType(f) == QLatin1String(type.mime)) {
                choice.kind = ClipboardImportKind::Data;
                choice.mimeType = f;
                choice.fileName = QString::fromLatin1(type.fileName);
                return choice;
            }

    choice.kind = ClipboardImportKind::AskExtension;
    choice.mimeType = formats.first();
    return choice;
}

std::optional<QString> clipboardExtension(const QString& typed)
{
    QString ext;
    for (QChar c : typed) {
        if (c == QLatin1Char('/'))
            ext += QLatin1Char('-');
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            ext += QLatin1Char(' ');
        else
            ext += c;
    }
    ext = ext.trimmed();
    while (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    ext = ext.trimmed();
    if (ext.isEmpty())
        return std::nullopt;
    return ext;
}

QString clipboardFileName(const QString& extension)
{
    return makeValidName(cmdmsg::ClipboardBaseName + QLatin1Char('.') + extension);
}

// ---- Selecting a file that cannot be shown ----

SelectedFileDecision decideSelectedFile(bool fileExists, bool storedFormExists, bool readable, bool dbWriteable)
{
    const bool somethingThere = fileExists || storedFormExists;
    if (somethingThere && readable)
        return {SelectedFileAction::Show, QString()};
    if (somethingThere)
        return {SelectedFileAction::ReportUnreadableKeep, cmdmsg::FileUnreadableKept};
    if (dbWriteable)
        return {SelectedFileAction::RemoveItem, cmdmsg::FileMissingRemoved};
    return {SelectedFileAction::ReportMissingKeep, cmdmsg::FileMissing};
}

} // namespace folivo
