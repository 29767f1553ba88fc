// Date folders: the year and month folders that items with an ending date are filed into,
// made on the way by imports, moves and copies, and removed again once they hold nothing.

#include "store/mydocument.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/months.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace folivo {

bool MyDocument::createDateCategoryOnDisk(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    bool ok = pp && !pp->isRoot();
    if (ok) {
        fs::ScopedWritable writable(parentFolder(*pp));
        ok = fs::makeDirectories(pp->absoluteUnder(dbPath_), pkg::ReadOnlyMode);
    }
    if (!ok)
        diskError(step::CreatingDateCategory, path);
    return ok;
}

IndexItem* MyDocument::createDateCategoryInIndex(const QString& path, IndexItem* parent)
{
    auto item = std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}, {keys::Date, true}}, true);
    IndexItem* raw = tree_.insert(parent, std::move(item));
    tree_.sortDatesOnly(parent);
    if (!writeAttributesFileForItem(raw) || !writeAttributesFileForItem(parent)) {
        diskError(step::CreatingDateCategory, attributesPathForPath(path));
        return nullptr;
    }
    return raw;
}

IndexItem* MyDocument::findOrCreateDateCategoryFor(IndexItem* folder, QDate date)
{
    // Smart folders have no folder on disk to hold date folders.
    if (!folder || !folder->hasChildren() || folder->isSmartFolder() || !date.isValid())
        return nullptr;
    ui_.revealItem(folder, true);
    IndexItem* parent = folder;
    const QString names[2] = {QString::number(date.year()), KTMonths::nameOf(date.month())};
    for (const QString& name : names) {
        const QString path = parent->path() + '/' + name;
        const QString abs = absolutePath(path);
        if (abs.isEmpty())
            return nullptr;
        // Only a folder can be reused: a file that happens to carry the name is an error,
        // never a place to put children.
        if (fs::exists(abs) && !fs::isDirectory(abs)) {
            addProblem(path, QStringLiteral("a file is in the way of a date folder"));
            return nullptr;
        }
        if (!fs::isDirectory(abs) && !createDateCategoryOnDisk(path))
            return nullptr;
        IndexItem* item = tree_.itemForPath(path);
        if (item && !item->hasChildren()) {
            addProblem(path, QStringLiteral("an item that is not a folder is in the way of a date folder"));
            return nullptr;
        }
        if (!item && !(item = createDateCategoryInIndex(path, parent)))
            return nullptr;
        ui_.reloadBrowser();
        ui_.revealItem(item, true);
        parent = item;
    }
    return parent;
}


void MyDocument::deleteDateCategoryIfEmpty(IndexItem* item)
{
    if (!item || !item->isDateFolder() || !item->children().empty())
        return;
    const auto pp = PackagePath::fromString(item->path());
    if (!pp)
        return;
    const QString abs = pp->absoluteUnder(dbPath_);
    {
        // Only the folder's own hidden files go; anything else the tree does not know
        // about stays, and then so does the folder (the consistency check reports it).
        fs::ScopedWritable parentWritable(parentFolder(*pp));
        if (fs::isDirectory(abs)) {
            fs::ScopedWritable selfWritable(abs);
            const QStringList hidden = QDir(abs).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            for (const QString& n : hidden)
                if (n.startsWith('.'))
                    fs::removeFile(abs + '/' + n);
        }
        if (fs::isDirectory(abs))
            ::rmdir(QFile::encodeName(abs).constData());
    }
    removeItem(item, false);
}

} // namespace folivo
