#include "attributes/customattributenames.h"

#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"

namespace folivo {

namespace {

QString fileOf(const MyDocument& doc)
{
    return doc.dbPath() + '/' + pkg::CustomAttributeNames;
}

plist::Array archived(const QStringList& names)
{
    plist::Array array;
    array.reserve(std::size_t(names.size()));
    for (const QString& n : names)
        array.push_back(n);
    return array;
}

} // namespace

void CustomAttributeNames::setNames(MyDocument& doc, const QStringList& names)
{
    if (names == names_)
        return;
    names_ = names;
    changed_ = true;
    doc.changed();
}

void CustomAttributeNames::read(MyDocument& doc)
{
    clear();
    const QString file = fileOf(doc);
    const auto names = plist::readKeyedArchiveFile(file);
    if (names && names->isArray()) {
        for (const auto& n : names->array())
            if (n.isString())
                names_ << n.string();
        return;
    }
    if (doc.dbWriteable() && !fs::exists(file))
        plist::writeKeyedArchiveFile(file, plist::Array{});
    else if (doc.notesRepairs() && !fs::exists(file))
        doc.notePendingRepair(msg::PendingCustomAttributeNames);
}

bool CustomAttributeNames::create(MyDocument& doc)
{
    clear();
    return plist::writeKeyedArchiveFile(fileOf(doc), plist::Array{});
}

bool CustomAttributeNames::write(MyDocument& doc)
{
    if (!plist::writeKeyedArchiveFile(fileOf(doc), archived(names_)))
        return false;
    changed_ = false;
    return true;
}

void CustomAttributeNames::clear()
{
    names_.clear();
    changed_ = false;
}

} // namespace folivo
