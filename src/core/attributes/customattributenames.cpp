#include "attributes/customattributenames.h"

#include "attributes/messages.h"
#include "plist/keyedarchive.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "util/debuglog.h"

#include <QFileInfo>

#include <cerrno>
#include <optional>

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

// Moves a names file that cannot be read to the first free name beside it
// (".customAttributeNames.damaged", then "...damaged2", ...), never over anything; answers
// where it went, or nothing with `error` set.
std::optional<QString> moveAside(const QString& file, QString* error)
{
    for (int n = 1; n < 1000; ++n) {
        const QString aside = file + QStringLiteral(".damaged") + (n == 1 ? QString() : QString::number(n));
        if (fs::renameNoReplace(file, aside))
            return aside;
        if (errno != EEXIST) {
            *error = fs::lastError();
            return std::nullopt;
        }
    }
    *error = QStringLiteral("no free name beside it");
    return std::nullopt;
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
    if (!fs::exists(file)) {
        if (doc.dbWriteable())
            plist::writeKeyedArchiveFile(file, plist::Array{});
        else if (doc.notesRepairs())
            doc.notePendingRepair(msg::PendingCustomAttributeNames);
        return;
    }
    // The file is there but holds no list: the names in it may still be recovered by hand,
    // so it is never written over. It goes aside and an empty list starts in its place.
    if (doc.notesRepairs()) {
        doc.notePendingRepair(attributesmsg::PendingDamagedNames);
        return;
    }
    if (!doc.dbWriteable()) {
        doc.ui().alert(DamagedNamesPrompt, attributesmsg::NamesFileDamagedTitle, attributesmsg::NamesFileUnreadable);
        return;
    }
    QString error;
    if (const auto aside = moveAside(file, &error)) {
        appendDebugInfo(QStringLiteral("\n\nUnreadable custom attribute names of %1 moved to %2").arg(doc.dbPath(), *aside));
        plist::writeKeyedArchiveFile(file, plist::Array{});
        damagedCopy_ = *aside;
        doc.ui().alert(DamagedNamesPrompt, attributesmsg::NamesFileDamagedTitle,
                       attributesmsg::NamesFileDamaged.arg(QFileInfo(*aside).fileName()));
        return;
    }
    appendDebugInfo(QStringLiteral("\n\nUnreadable custom attribute names of %1 could not be moved: %2").arg(doc.dbPath(), error));
    mustNotWrite_ = true;
    doc.ui().alert(DamagedNamesPrompt, attributesmsg::NamesFileDamagedTitle, attributesmsg::NamesFileDamagedKept.arg(error));
}

bool CustomAttributeNames::create(MyDocument& doc)
{
    clear();
    return plist::writeKeyedArchiveFile(fileOf(doc), plist::Array{});
}

bool CustomAttributeNames::write(MyDocument& doc)
{
    if (mustNotWrite_)
        return false;
    if (!plist::writeKeyedArchiveFile(fileOf(doc), archived(names_)))
        return false;
    changed_ = false;
    return true;
}

void CustomAttributeNames::clear()
{
    names_.clear();
    changed_ = false;
    mustNotWrite_ = false;
    damagedCopy_.clear();
}

} // namespace folivo
