#include "treemodel.h"

#include "smartfolders/messages.h"
#include "smartfolders/smartfolders.h"

#include "browser/droprules.h"
#include "browser/messages.h"
#include "browser/renamerules.h"
#include "browser/selection.h"
#include "browser/windowrules.h"
#include "plist/binary.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/mydocument.h"

#include <QFileInfo>
#include <QMimeData>
#include <QPersistentModelIndex>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace folivo::gui {

namespace {

const QString& ImportLogPref = prefkeys::ImportLog;

QStringList localFiles(const QMimeData* data)
{
    QStringList out;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            out << url.toLocalFile();
    return out;
}

std::optional<plist::Array> readArray(const QMimeData* data, const QString& format)
{
    auto value = plist::readBinary(data->data(format));
    if (!value || !value->isArray())
        return std::nullopt;
    return std::move(value->array());
}

QList<DragEntry> readEntries(const QMimeData* data)
{
    QList<DragEntry> out;
    const auto array = readArray(data, mime::Items);
    if (!array)
        return out;
    for (const plist::Value& v : *array) {
        if (!v.isDict())
            continue;
        const plist::Value* path = v.dict().find(dragkeys::Path);
        const plist::Value* type = v.dict().find(dragkeys::Type);
        if (path && path->isString() && PackagePath::fromString(path->string()) && !path->string().isEmpty())
            out << DragEntry{path->string(), type && type->isString() ? type->string() : dragkeys::Folder};
    }
    return out;
}

} // namespace

TreeModel::TreeModel(MyDocument& document, QObject* parent)
    : QAbstractItemModel(parent), doc_(document), tree_(document.tree())
{
    tree_.addObserver(this);
}

const IndexTree& TreeModel::tree() const
{
    return tree_;
}

TreeModel::~TreeModel()
{
    tree_.removeObserver(this);
}

IndexItem* TreeModel::itemFromIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<IndexItem*>(index.internalPointer());
}

const ItemList* TreeModel::childrenOf(const QModelIndex& parent) const
{
    if (suspended())
        return nullptr;
    if (!parent.isValid())
        return &tree_.categoriesArray();
    if (parent.column() != 0)
        return nullptr;
    const IndexItem* item = itemFromIndex(parent);
    return item ? &item->children() : nullptr;
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const ItemList* list = childrenOf(parent);
    if (!list)
        return {};
    if (held_.active && list == held_.list) {
        if (std::size_t(row) >= held_.rows.size())
            return {};
        handedOut_ = true;
        return createIndex(row, 0, const_cast<IndexItem*>(held_.rows[std::size_t(row)]));
    }
    if (std::size_t(row) >= list->size())
        return {};
    handedOut_ = true;
    return createIndex(row, 0, (*list)[std::size_t(row)].get());
}

int TreeModel::rowOf(const IndexItem* item) const
{
    const ItemList& siblings = tree_.childrenOf(item->parent());
    if (held_.active && &siblings == held_.list) {
        const auto at = std::find(held_.rows.begin(), held_.rows.end(), item);
        return at == held_.rows.end() ? -1 : int(at - held_.rows.begin());
    }
    auto hint = rowHints_.constFind(item);
    if (hint != rowHints_.constEnd() && std::size_t(*hint) < siblings.size() && siblings[std::size_t(*hint)].get() == item)
        return *hint;
    int found = -1;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        rowHints_.insert(siblings[i].get(), int(i));
        if (siblings[i].get() == item)
            found = int(i);
    }
    return found;
}

QModelIndex TreeModel::parent(const QModelIndex& child) const
{
    const IndexItem* item = itemFromIndex(child);
    if (!item || suspended())
        return {};
    const IndexItem* parentItem = item->parent();
    if (!parentItem)
        return {};
    const int row = rowOf(parentItem);
    if (row < 0)
        return {};
    handedOut_ = true;
    return createIndex(row, 0, const_cast<IndexItem*>(parentItem));
}

QModelIndex TreeModel::indexForItem(const IndexItem* item) const
{
    if (!item || suspended())
        return {};
    const int row = rowOf(item);
    if (row < 0)
        return {};
    handedOut_ = true;
    return createIndex(row, 0, const_cast<IndexItem*>(item));
}

int TreeModel::rowCount(const QModelIndex& parent) const
{
    const ItemList* list = childrenOf(parent);
    if (list && held_.active && list == held_.list)
        return int(held_.rows.size());
    return list ? int(list->size()) : 0;
}

int TreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TreeModel::hasChildren(const QModelIndex& parent) const
{
    const ItemList* list = childrenOf(parent);
    if (list && list->empty() && parent.isValid())
        // A smart folder that has not been loaded yet opens, and opening loads it.
        if (const IndexItem* item = itemFromIndex(parent); item && item->isSmartFolder())
            return doc_.smartFolders().needsLoading(*item);
    return list && !list->empty();
}

QVariant TreeModel::data(const QModelIndex& index, int role) const
{
    const IndexItem* item = itemFromIndex(index);
    if (!item || suspended())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        // A smart folder whose load runs says so beside its name.
        if (const SmartFolderLoad* load = doc_.smartFolders().activeLoad(); load && load->folder() == item)
            return shownNameForItem(*item) + smartmsg::LoadingMark;
        return shownNameForItem(*item);
    case Qt::EditRole:
        return shownNameForItem(*item);
    case Qt::DecorationRole: {
        const KTPrefs* prefs = doc_.applicationPreferences();
        return icons_.iconFor(*item, prefs && prefs->boolForKey(ImportLogPref));
    }
    case Qt::ToolTipRole:
        if (item->isSmartFile())
            if (const plist::Value* real = item->value(keys::SmartFile); real && real->isString())
                return real->string();
        return item->path();
    default:
        return {};
    }
}

QVariant TreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return tr("Name");
    return {};
}

bool TreeModel::writable() const
{
    return doc_.canChange();
}

EditContext TreeModel::effectiveEditContext() const
{
    EditContext context = editContext_;
    context.dbWriteable = context.dbWriteable && writable();
    return context;
}

Qt::ItemFlags TreeModel::flags(const QModelIndex& index) const
{
    if (suspended())
        return Qt::NoItemFlags;
    const IndexItem* item = itemFromIndex(index);
    if (!item)
        return index.isValid() ? Qt::NoItemFlags : Qt::ItemIsDropEnabled; // the top level
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    // Between the children of a folder; the rule for each drop decides the rest.
    if (item->hasChildren() && !item->isDateFolder() && !item->isSmartFolder())
        f |= Qt::ItemIsDropEnabled;
    if (IndexTree::canEditItem(*item, effectiveEditContext()).editable)
        f |= Qt::ItemIsEditable;
    return f;
}

bool TreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    IndexItem* item = itemFromIndex(index);
    if (role != Qt::EditRole || !item || suspended() || !(flags(index) & Qt::ItemIsEditable))
        return false;

    RenameRequest request;
    request.oldPath = item->path();
    request.keepsExtension = item->isFile();
    request.typed = value.toString();
    for (const auto& sibling : tree_.childrenOf(item->parent()))
        request.siblingPaths << sibling->path();
    request.maintainLastImport = editContext_.maintainLastImport;
    const RenameDecision decision = decideRename(request);

    auto callout = [this, index](const QString& message, bool editAgain) {
        // Once the editor has gone: the callout takes the focus, and a new editor on the
        // same row must not meet the old one.
        const QPersistentModelIndex where(index);
        QTimer::singleShot(0, this, [this, where, message, editAgain] {
            emit calloutRequested(where, message);
            if (editAgain && where.isValid())
                emit editAgainRequested(where);
        });
    };
    switch (decision.kind) {
    case RenameDecision::Kind::Unchanged:
        return true;
    case RenameDecision::Kind::Refused:
        callout(decision.message, decision.editAgain);
        return false;
    case RenameDecision::Kind::Rename:
        break;
    }

    // Carried out once the editor has gone: the operation changes the row (and may sort it
    // to another place), and a change while the view is still committing the editor leaves
    // the view holding a stray editor.
    QTimer::singleShot(0, this, [this, oldPath = item->path(), newPath = decision.newPath, where = QPersistentModelIndex(index)] {
        renameNow(oldPath, newPath, where);
    });
    return true;
}

void TreeModel::renameNow(const QString& oldPath, const QString& newPath, const QPersistentModelIndex& where)
{
    IndexItem* item = tree_.itemForPath(oldPath);
    if (!item || suspended() || !writable())
        return;
    // A renamed "Last Import" is the person's own folder from now on.
    const plist::Value* mark = item->value(keys::SystemLastImportFolder);
    const std::optional<plist::Value> lastImportMark = mark ? std::optional<plist::Value>(*mark) : std::nullopt;
    if (lastImportMark)
        item->removeValue(keys::SystemLastImportFolder);
    holdOrder(item->parent());
    ownRename_ = true;
    const OperationResult r = doc_.recordRename(oldPath, newPath);
    ownRename_ = false;
    if (r.status == OperationResult::Status::Refused) {
        held_ = {}; // nothing changed
        if (lastImportMark)
            if (IndexItem* still = tree_.itemForPath(oldPath))
                still->setValue(keys::SystemLastImportFolder, *lastImportMark);
        emit calloutRequested(where, r.message);
        return;
    }
    if (r.status != OperationResult::Status::Done
        || !tellRenamed(r.resultPath.isEmpty() ? newPath : r.resultPath))
        resetNow();
    if (r.status == OperationResult::Status::Done)
        emit selectRequested(r.select.isEmpty() ? QStringList{newPath} : r.select, QString());
}

// ---- Dragging out ---------------------------------------------------------------------

Qt::DropActions TreeModel::supportedDragActions() const
{
    // A move is only ever carried out by a browser's own drop, which records it; the view
    // then asks to remove the dragged rows, which this model never does.
    return Qt::CopyAction | Qt::MoveAction;
}

Qt::DropActions TreeModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

QStringList TreeModel::mimeTypes() const
{
    return {mime::Items, mime::Logins, mime::DBPath, mime::FileNames};
}

QMimeData* TreeModel::mimeData(const QModelIndexList& indexes) const
{
    if (suspended() || !doc_.dbOpen())
        return nullptr;
    std::vector<const IndexItem*> dragged;
    for (const QModelIndex& index : indexes) {
        const IndexItem* item = itemFromIndex(index);
        if (!item || index.column() != 0)
            continue;
        if (item->isSmartFile())
            return nullptr; // it stands for a file elsewhere: dragging it would move that one
        dragged.push_back(item);
    }
    // A folder's contents go with it: listed again they would be moved or copied twice.
    dragged = withoutNestedItems(dragged);
    if (dragged.empty())
        return nullptr;

    dragCopies_.clear();
    dragCopyPaths_.clear();
    plist::Array entries;
    plist::Array logins;
    QList<QUrl> urls;
    for (const IndexItem* item : dragged) {
        // A date folder that leads to a single file stands for it.
        if (item->isDateFolder())
            if (const IndexItem* only = IndexTree::onlyOneFileInDateFolder(const_cast<IndexItem*>(item), nullptr))
                item = only;
        QString type = dragkeys::Folder;
        if (item->isFile()) {
            type = dragkeys::File;
            if (auto copy = const_cast<MyDocument&>(doc_).copyForHandingOut(item->path()); copy && copy->valid()) {
                urls << QUrl::fromLocalFile(copy->path());
                dragCopyPaths_ << HandedOut{item->path(), copy->path()};
                dragCopies_.push_back(std::move(*copy));
            }
        } else if (item->isSmartFolder()) {
            type = dragkeys::SmartFolder;
        }
        entries.push_back(plist::Dict{{dragkeys::Path, item->path()}, {dragkeys::Type, type}});
        for (plist::Value& record : loginRecordsFromItem(*item))
            logins.push_back(std::move(record));
    }

    auto* data = new QMimeData;
    if (!urls.isEmpty())
        data->setUrls(urls);
    if (!entries.empty())
        data->setData(mime::Items, plist::writeBinary(entries));
    if (!logins.empty())
        data->setData(mime::Logins, plist::writeBinary(logins));
    if (!entries.empty() || !logins.empty())
        data->setData(mime::DBPath, doc_.dbPath().toUtf8());
    return data;
}

QList<TreeModel::HandedOut> TreeModel::lastDragCopies() const
{
    return dragCopyPaths_;
}

bool TreeModel::springsOpen(const QModelIndex& index, const QMimeData* data) const
{
    const IndexItem* item = itemFromIndex(index);
    if (!item || !data || suspended())
        return false;
    return springsOpenWhileDragging(*item, dragHoldsUnfiledOrSmartFolder(readEntries(data)));
}

// ---- Dropping -------------------------------------------------------------------------

bool TreeModel::describeDrop(const QMimeData* data, Qt::DropAction action, int row, int column,
                             const QModelIndex& parent, DropDescription& d) const
{
    if (!data || suspended() || !doc_.dbOpen() || column > 0)
        return false;
    if (action != Qt::CopyAction && action != Qt::MoveAction)
        return false;
    const IndexItem* folder = nullptr;
    if (parent.isValid()) {
        folder = itemFromIndex(parent);
        if (!folder)
            return false;
    }
    d.writable = writable();
    d.hasItems = data->hasFormat(mime::Items);
    d.hasLogins = data->hasFormat(mime::Logins);
    d.hasDBPath = data->hasFormat(mime::DBPath);
    d.hasFileNames = data->hasUrls() && !localFiles(data).isEmpty();
    d.topLevel = folder == nullptr;
    d.childIndex = row;
    if (folder) {
        d.folderPath = folder->path();
        d.folderIsDateFolder = folder->isDateFolder();
        d.folderIsSmartFolder = folder->isSmartFolder();
        d.folderIsFile = !folder->hasChildren();
        d.folderIsUnfiled = !folder->parent() && folder->path() == pkg::Unfiled;
        const ItemList& children = folder->children();
        for (std::size_t i = 0; i < children.size(); ++i)
            if (children[i]->isDateFolder()) {
                d.firstDateFolderIndex = int(i);
                break;
            }
    }
    d.thisDBPath = doc_.dbPath();
    d.keepSorted = tree_.sorting.keepSorted;
    d.copyModifier = action == Qt::CopyAction;
    if (d.hasItems) {
        d.entries = readEntries(data);
        d.sourceDBPath = QString::fromUtf8(data->data(mime::DBPath));
        d.sourceOpen = sameDatabase(d.sourceDBPath, d.thisDBPath) || MyDocument::openDocumentWithPath(d.sourceDBPath);
    } else if (!d.hasLogins) {
        for (const QString& path : localFiles(data)) {
            const QFileInfo info(path);
            const bool folderHere = info.isDir();
            d.externalFiles << ExternalFile{path, folderHere,
                                            folderHere && info.suffix().compare(pkg::Extension, Qt::CaseInsensitive) == 0};
        }
    }
    return true;
}

bool TreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                const QModelIndex& parent) const
{
    DropDescription d;
    return describeDrop(data, action, row, column, parent, d) && decideDrop(d) != DropDecision::None;
}

bool TreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                             const QModelIndex& parent)
{
    DropDescription d;
    if (!describeDrop(data, action, row, column, parent, d))
        return false;
    const DropDecision decision = decideDrop(d);
    if (decision == DropDecision::None)
        return false;
    const QString folderPath = d.topLevel ? QString() : d.folderPath;
    // Onto a folder's row: first inside it.
    row = dropIndex(d);
    d.childIndex = row;

    if (!d.hasItems && !d.hasLogins) {
        QStringList paths;
        for (const ExternalFile& f : d.externalFiles)
            paths << f.path;
        // The pipeline places each file one after the position it is given.
        emit importRequested(paths, folderPath, row - 1);
        return true;
    }

    QStringList select;
    {
        MyDocument::BusyScope busy(doc_);
        if (d.hasItems) {
            d.copyModifier = decision == DropDecision::Copy;
            dropItems(d, select);
        } else {
            dropLogins(data, folderPath, row, select);
        }
    }
    reload();
    emit selectRequested(select, cmdmsg::DraggedItemsSelected);
    return true;
}

void TreeModel::dropItems(const DropDescription& d, QStringList& select)
{
    const bool move = !d.copyModifier && sameDatabase(d.sourceDBPath, d.thisDBPath);
    const QString source = sameDatabase(d.sourceDBPath, d.thisDBPath) ? doc_.dbPath() : d.sourceDBPath;
    int index = d.childIndex;
    for (const DragEntry& e : entriesToDrop(d.entries)) {
        // Looked up again for every entry: an operation may have changed the tree.
        const IndexItem* target = d.topLevel ? nullptr : tree_.itemForPath(d.folderPath);
        if (!d.topLevel && !target)
            break;
        const OperationResult r =
            move ? doc_.recordMovePath(e.path, target, index) : doc_.recordCopyPath(e.path, source, target, index);
        if (r.status == OperationResult::Status::DiskError)
            break; // reported; the rest waits for the person
        if (r.status != OperationResult::Status::Done)
            continue;
        select << r.resultPath;
        // The next entry goes after this one, where it landed in the target folder.
        const IndexItem* placed = tree_.itemForPath(r.resultPath);
        if (placed && placed->parent() == target && index >= 0)
            index = tree_.indexOf(placed) + 1;
    }
}

void TreeModel::dropLogins(const QMimeData* data, const QString& folderPath, int row, QStringList& select)
{
    if (const auto records = readArray(data, mime::Logins))
        select << dropLoginRecords(doc_, *records, folderPath, row);
}

void TreeModel::reload()
{
    // The store asks for this at the end of every operation; a rename of the model's own
    // tells the views itself once it is done.
    if (ownRename_)
        return;
    resetNow();
}

void TreeModel::resetNow()
{
    beginResetModel();
    // What the views knew is gone; from here on they are shown the tree as it is.
    held_.active = false;
    rowHints_.clear();
    handedOut_ = false;
    endResetModel();
}

void TreeModel::holdOrder(const IndexItem* folder)
{
    held_ = {};
    held_.folder = folder;
    held_.list = &tree_.childrenOf(folder);
    held_.rows.reserve(held_.list->size());
    for (const auto& child : *held_.list)
        held_.rows.push_back(child.get());
    held_.treeSize = tree_.size();
    held_.active = true;
}

bool TreeModel::tellRenamed(const QString& newPath)
{
    if (!held_.active) {
        held_ = {};
        return false;
    }
    // A rename changes one item in place and may sort its siblings again: the same items
    // in the tree, and the same ones in the folder.
    const IndexItem* item = tree_.itemForPath(newPath);
    const ItemList& now = *held_.list;
    bool explained = item && item->parent() == held_.folder && tree_.size() == held_.treeSize
                     && now.size() == held_.rows.size();
    bool reordered = false;
    for (std::size_t i = 0; explained && i < now.size() && !reordered; ++i)
        reordered = now[i].get() != held_.rows[i];
    if (explained && reordered) {
        std::vector<const IndexItem*> before = held_.rows;
        std::vector<const IndexItem*> after;
        after.reserve(now.size());
        for (const auto& child : now)
            after.push_back(child.get());
        std::sort(before.begin(), before.end(), std::less<>());
        std::sort(after.begin(), after.end(), std::less<>());
        explained = before == after;
    }
    if (!explained) {
        held_ = {};
        return false;
    }
    if (reordered) {
        // Told while the views can still ask for the rows as they knew them; then every
        // index they keep of the folder's children moves to its item's new row.
        const IndexItem* folder = held_.folder;
        const QList<QPersistentModelIndex> parents{QPersistentModelIndex(indexForItem(folder))};
        emit layoutAboutToBeChanged(parents);
        held_ = {};
        QModelIndexList from;
        QModelIndexList to;
        for (const QModelIndex& kept : persistentIndexList()) {
            const IndexItem* keptItem = itemFromIndex(kept);
            if (!keptItem || keptItem->parent() != folder)
                continue;
            const int row = rowOf(keptItem);
            from << kept;
            to << (row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<IndexItem*>(keptItem)));
        }
        changePersistentIndexList(from, to);
        emit layoutChanged(parents);
    }
    held_ = {};
    // The rows below keep their names; only the renamed row shows something new.
    const QModelIndex index = indexForItem(item);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole, Qt::DecorationRole, Qt::ToolTipRole});
    return true;
}

void TreeModel::suspend()
{
    if (suspendCount_++ > 0)
        return;
    beginResetModel();
    held_.active = false;
    rowHints_.clear();
    handedOut_ = false;
    endResetModel();
}

void TreeModel::resume()
{
    if (suspendCount_ == 0 || --suspendCount_ > 0)
        return;
    reload();
}

void TreeModel::itemWillBeRemoved(const IndexItem&)
{
    // A rename never removes anything: the order kept for it would soon name a freed item.
    held_.active = false;
    // The tree still holds the item, so the reset is consistent; afterwards no view holds
    // an index into the subtree. Later notices of the same removal find nothing handed out.
    if (handedOut_ && !suspended())
        resetNow();
}

void TreeModel::treeWillReset()
{
    dragCopies_.clear();
    dragCopyPaths_.clear();
    // The old items die before treeDidReset; no index into them may outlive this.
    if (!suspended()) {
        beginResetModel();
        held_.active = false;
        rowHints_.clear();
        handedOut_ = false;
        resetting_ = true;
    }
}

void TreeModel::treeDidReset()
{
    if (resetting_) {
        resetting_ = false;
        endResetModel();
    }
}

void TreeModel::itemPathChanged(const IndexItem& item, const QString& oldPath)
{
    emit pathChanged(oldPath, item.path());
    // A rename of the model's own tells the views once it is done.
    if (ownRename_)
        return;
    const QModelIndex idx = indexForItem(&item);
    if (idx.isValid())
        emit dataChanged(idx, idx, {Qt::DisplayRole, Qt::DecorationRole, Qt::ToolTipRole});
}

} // namespace folivo::gui
