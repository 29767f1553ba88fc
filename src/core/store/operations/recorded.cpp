// The recorded operations as the document offers them: doDBOperation checks that the
// database may change, marks it changed before the first step, runs the operation of the
// record's kind (store/operations/) and ends every operation the same way, telling the
// document's operation observers.

#include "store/mydocument.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/operations/documentoperations.h"
#include "store/operations/opsupport.h"

#include <algorithm>
#include <cerrno>

namespace folivo {

using ops::refused;

int MyDocument::renameWorkaround(const QString& from, const QString& to)
{
    // A read-only folder cannot be moved to another parent, so it is opened up for the
    // move and gets its own mode back at its new place.
    const auto before = fs::mode(from);
    const bool openedUp = before && fs::isDirectory(from) && !(*before & 0200);
    if (openedUp && !fs::setMode(from, 0755))
        return errno ? errno : EACCES;
    if (!fs::renameNoReplace(from, to)) {
        const int err = errno ? errno : EIO;
        if (openedUp)
            fs::setMode(from, *before & 0777);
        errno = err;
        return err;
    }
    if (openedUp)
        fs::setMode(to, *before & 0777);
    return 0;
}

OperationResult MyDocument::doDBOperation(const DBOperation& op)
{
    if (!dbOpen_)
        return finishOperation(op, refused(msg::NoDatabaseOpen));
    // Not canChange(): a locked encrypted database answers "locked" from the operation
    // that needs the key, not "not writable" here.
    if (!dbWriteable_ || dbReadOnly_)
        return finishOperation(op, refused(msg::DatabaseNotWritable));
    BusyScope busy(*this);
    DocumentOperations ops(*this);
    // The marker goes down before the first change, so that a crash at any step of the
    // operation leads to a rebuild from the attributes files rather than to a stale index
    // that is trusted. A refusal changes nothing and takes a marker it made away again.
    const QString marker = dbPath_ + '/' + pkg::Changed;
    const bool hadMarker = fs::exists(marker);
    const quint64 writesBefore = attributeWrites_;
    if (!createChangedMarker())
        return finishOperation(op, ops.diskFailure(step::MarkingChanged, pkg::Changed));
    OperationResult r;
    switch (op.code()) {
    case OperationCode::Delete:
        r = ops.deleteItem(op.path);
        break;
    case OperationCode::NewFolder:
        r = ops.newFolder(op.newPath, op.parentPath, op.index);
        break;
    case OperationCode::Rename:
        r = ops.rename(op.path, op.newPath);
        break;
    case OperationCode::Import:
        r = ops.import(op);
        break;
    case OperationCode::Move:
        r = ops.move(op.path, op.parentPath, op.index);
        break;
    case OperationCode::Duplicate:
        r = ops.duplicate(op.path);
        break;
    case OperationCode::CopyFromDatabase:
        r = ops.copyFrom(op.path, op.fromDBPath, op.parentPath, op.index);
        break;
    default:
        break;
    }
    if (r.status == OperationResult::Status::Refused) {
        if (!hadMarker && attributeWrites_ == writesBefore)
            fs::removeFile(marker);
        return finishOperation(op, std::move(r)); // nothing changed
    }
    // The common end: the database is marked changed (it stays so after a disk error, so
    // the next open rebuilds from the attributes files), the flat list is stale, those
    // who follow the database hear of it, and the browser shows the result.
    changed();
    tree_.invalidateFlatArray();
    r = finishOperation(op, std::move(r));
    ui_.reloadBrowser();
    return r;
}

OperationResult MyDocument::finishOperation(const DBOperation& op, OperationResult result)
{
    // A copy of the list: an observer may unsubscribe while it is told.
    const std::vector<OperationObserver*> observers = operationObservers_;
    for (OperationObserver* observer : observers)
        if (std::find(operationObservers_.begin(), operationObservers_.end(), observer) != operationObservers_.end())
            observer->operationFinished(op, result);
    return result;
}

OperationResult MyDocument::recordDelete(const QString& path)
{
    DBOperation op;
    op.operation = int(OperationCode::Delete);
    op.path = path;
    return doDBOperation(op);
}

OperationResult MyDocument::recordNewCategory(const QString& path, const IndexItem* parent, int index)
{
    DBOperation op;
    op.operation = int(OperationCode::NewFolder);
    op.newPath = path;
    op.parentPath = parent ? parent->path() : QString();
    op.index = index;
    return doDBOperation(op);
}

OperationResult MyDocument::recordRename(const QString& oldPath, const QString& newPath)
{
    DBOperation op;
    op.operation = int(OperationCode::Rename);
    op.path = oldPath;
    op.newPath = newPath;
    return doDBOperation(op);
}

OperationResult MyDocument::recordImport(const QString& file, const std::optional<QByteArray>& data,
                                         const QString& parentPath, int parentIndex,
                                         std::optional<QDateTime> startingDate, std::optional<QDateTime> endingDate)
{
    DBOperation op;
    op.operation = int(OperationCode::Import);
    op.fileToImport = file;
    op.dataToImport = data;
    op.parentPath = parentPath;
    op.index = parentIndex;
    op.startingDate = startingDate;
    op.endingDate = endingDate;
    return doDBOperation(op);
}

OperationResult MyDocument::recordMovePath(const QString& path, const IndexItem* parent, int index)
{
    DBOperation op;
    op.operation = int(OperationCode::Move);
    op.path = path;
    op.parentPath = parent ? parent->path() : QString();
    op.index = index;
    return doDBOperation(op);
}

OperationResult MyDocument::recordDuplicate(const QString& path, const QString& parentPath)
{
    DBOperation op;
    op.operation = int(OperationCode::Duplicate);
    op.path = path;
    op.parentPath = parentPath;
    return doDBOperation(op);
}

OperationResult MyDocument::recordCopyPath(const QString& path, const QString& fromDBPath, const IndexItem* parent,
                                           int index)
{
    DBOperation op;
    op.operation = int(OperationCode::CopyFromDatabase);
    op.path = path;
    op.fromDBPath = fromDBPath;
    op.parentPath = parent ? parent->path() : QString();
    op.index = index;
    return doDBOperation(op);
}

} // namespace folivo
