#pragma once
// What the recorded operations share beyond DocumentOperations: the results they answer
// and small path helpers. Only the files of store/operations/ include this.

#include "store/dboperation.h"
#include "store/indexitem.h"

#include <QString>
#include <memory>

namespace folivo::ops {

inline OperationResult refused(const QString& message)
{
    OperationResult r;
    r.status = OperationResult::Status::Refused;
    r.message = message;
    return r;
}

inline OperationResult failed(const QString& message)
{
    OperationResult r;
    r.status = OperationResult::Status::Failed;
    r.message = message;
    return r;
}

inline OperationResult done(const QString& path = {})
{
    OperationResult r;
    r.status = OperationResult::Status::Done;
    r.resultPath = path;
    return r;
}

inline QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash);
}

inline QString joined(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? name : folder + '/' + name;
}

inline bool isInsideOrSame(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + '/');
}

// An index into a list of `size` entries: -1 (the end) stays, anything past the end is the end.
inline int clampIndex(int index, std::size_t size)
{
    if (index < 0)
        return -1;
    return index > int(size) ? int(size) : index;
}

// A copy of `source` and its descendants (not a smart folder's computed children) at
// `newPath`, every key kept.
std::unique_ptr<IndexItem> cloneItem(const IndexItem& source, const QString& newPath);

} // namespace folivo::ops
