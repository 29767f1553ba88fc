#include "store/dboperation.h"

#include <limits>

namespace folivo {

namespace {

constexpr qint64 SecondsFrom1970To2001 = 978307200;

std::optional<QDateTime> dateOf(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    if (!v || !v->isDate())
        return std::nullopt;
    return fromPlistDate(v->date());
}

QString stringOf(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    return v && v->isString() ? v->string() : QString();
}

std::optional<qint64> integerOf(const plist::Dict& d, const QString& key)
{
    const plist::Value* v = d.find(key);
    if (!v)
        return std::nullopt;
    if (v->isInteger())
        return qint64(v->intValue());
    if (v->isUnsigned() && v->unsignedValue() <= quint64(std::numeric_limits<int>::max()))
        return qint64(v->unsignedValue());
    return std::nullopt;
}

} // namespace

plist::Date toPlistDate(const QDateTime& when)
{
    return plist::Date{double(when.toMSecsSinceEpoch()) / 1000.0 - double(SecondsFrom1970To2001)};
}

QDateTime fromPlistDate(plist::Date date)
{
    return QDateTime::fromMSecsSinceEpoch(qint64((date.secondsSince2001 + double(SecondsFrom1970To2001)) * 1000.0));
}

plist::Dict DBOperation::toValue() const
{
    plist::Dict d;
    d.set(opkeys::Operation, std::int64_t(operation));
    auto put = [&d](const QString& key, const QString& value) { d.set(key, value); };
    switch (code()) {
    case OperationCode::Delete:
        put(opkeys::DeletePath, path);
        break;
    case OperationCode::NewFolder:
        put(opkeys::NewPath, newPath);
        d.set(opkeys::Index, std::int64_t(index));
        if (!parentPath.isEmpty())
            put(opkeys::ParentCategory, parentPath);
        break;
    case OperationCode::Rename:
        put(opkeys::OldPath, path);
        put(opkeys::NewPath, newPath);
        break;
    case OperationCode::Import:
        put(opkeys::ParentPath, parentPath);
        d.set(opkeys::ParentIndex, std::int64_t(index));
        if (!fileToImport.isEmpty())
            put(opkeys::FileToImport, fileToImport);
        if (dataToImport)
            d.set(opkeys::DataToImport, *dataToImport);
        if (startingDate)
            d.set(opkeys::StartingDate, toPlistDate(*startingDate));
        if (endingDate)
            d.set(opkeys::EndingDate, toPlistDate(*endingDate));
        break;
    case OperationCode::Move:
    case OperationCode::CopyFromDatabase:
        put(opkeys::Path, path);
        put(opkeys::ParentPath, parentPath);
        d.set(opkeys::Index, std::int64_t(index));
        if (code() == OperationCode::CopyFromDatabase)
            put(opkeys::FromDBPath, fromDBPath);
        break;
    case OperationCode::Duplicate:
        put(opkeys::Path, path);
        put(opkeys::ParentPath, parentPath);
        break;
    case OperationCode::Nothing:
        break;
    }
    return d;
}

std::optional<DBOperation> DBOperation::fromValue(const plist::Value& record)
{
    if (!record.isDict())
        return std::nullopt;
    const plist::Dict& d = record.dict();
    const auto code = integerOf(d, opkeys::Operation);
    if (!code || *code < 0 || *code > std::numeric_limits<int>::max())
        return std::nullopt;
    DBOperation op;
    op.operation = int(*code);
    switch (op.code()) {
    case OperationCode::Delete:
        op.path = stringOf(d, opkeys::DeletePath);
        break;
    case OperationCode::NewFolder:
        op.newPath = stringOf(d, opkeys::NewPath);
        op.parentPath = stringOf(d, opkeys::ParentCategory);
        op.index = int(integerOf(d, opkeys::Index).value_or(-1));
        break;
    case OperationCode::Rename:
        op.path = stringOf(d, opkeys::OldPath);
        op.newPath = stringOf(d, opkeys::NewPath);
        break;
    case OperationCode::Import:
        op.parentPath = stringOf(d, opkeys::ParentPath);
        op.index = int(integerOf(d, opkeys::ParentIndex).value_or(-1));
        op.fileToImport = stringOf(d, opkeys::FileToImport);
        if (const plist::Value* data = d.find(opkeys::DataToImport); data && data->isData())
            op.dataToImport = data->data();
        op.startingDate = dateOf(d, opkeys::StartingDate);
        op.endingDate = dateOf(d, opkeys::EndingDate);
        break;
    case OperationCode::Move:
    case OperationCode::CopyFromDatabase:
        op.path = stringOf(d, opkeys::Path);
        op.parentPath = stringOf(d, opkeys::ParentPath);
        op.index = int(integerOf(d, opkeys::Index).value_or(-1));
        op.fromDBPath = stringOf(d, opkeys::FromDBPath);
        break;
    case OperationCode::Duplicate:
        op.path = stringOf(d, opkeys::Path);
        op.parentPath = stringOf(d, opkeys::ParentPath);
        break;
    default:
        break;
    }
    return op;
}

} // namespace folivo
