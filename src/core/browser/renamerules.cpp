#include "browser/messages.h"
#include "browser/renamerules.h"

#include "store/indexitem.h"
#include "store/keys.h"
#include "store/packagepath.h"

namespace folivo {

namespace {

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash);
}

QString nfc(const QString& s)
{
    return s.normalized(QString::NormalizationForm_C);
}

bool hasEncipheredEnding(const QString& name)
{
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (name.endsWith('.' + suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

RenameDecision refuse(const QString& message)
{
    RenameDecision d;
    d.kind = RenameDecision::Kind::Refused;
    d.message = message;
    return d;
}

} // namespace

QString extensionOfName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf('.');
    // A leading dot starts no extension; a trailing dot ends an empty one, which is none.
    if (dot <= 0 || dot == name.size() - 1 || name.indexOf('/', dot) >= 0)
        return {};
    return name.mid(dot);
}

QString shownNameForItem(const IndexItem& item)
{
    if (item.isSmartFile()) {
        const plist::Value* real = item.value(keys::SmartFile);
        const QString path = real && real->isString() ? real->string() : item.name();
        const QString ext = extensionOfName(path.section('/', -1));
        return ext.isEmpty() ? path : path.chopped(ext.size());
    }
    const QString name = item.name();
    if (!item.isFile())
        return name;
    const QString ext = extensionOfName(name);
    return ext.isEmpty() ? name : name.chopped(ext.size());
}

RenameDecision decideRename(const RenameRequest& request)
{
    const QString typed = nfc(request.typed);
    if (typed.isEmpty() || typed.startsWith('.') || typed.contains('/') || typed.contains('\r')
        || typed.contains('\n') || typed.contains('\t'))
        return refuse(renamemsg::BadName);

    const QString oldName = request.oldPath.section('/', -1);
    const QString name = typed + (request.keepsExtension ? extensionOfName(oldName) : QString());
    // The store's own check, on the name as it will be stored: it also keeps the name short
    // enough in bytes for the attributes file and the enciphered forms beside it.
    if (checkName(name) != NameProblem::None)
        return refuse(renamemsg::BadName);
    if (hasEncipheredEnding(name))
        return refuse(renamemsg::EncipheredEnding.arg(name));

    const QString parent = parentOf(request.oldPath);
    const QString newPath = parent.isEmpty() ? name : parent + '/' + name;
    if (newPath == request.oldPath)
        return {};

    const QString wanted = nfc(newPath);
    for (const QString& sibling : request.siblingPaths)
        if (sibling != request.oldPath && nfc(sibling) == wanted) {
            RenameDecision d = refuse(renamemsg::InUse.arg(name));
            d.editAgain = true;
            return d;
        }

    if (request.maintainLastImport && newPath == pkg::LastImport)
        return refuse(renamemsg::LastImportReserved.arg(newPath));

    RenameDecision d;
    d.kind = RenameDecision::Kind::Rename;
    d.newPath = newPath;
    return d;
}

} // namespace folivo
