#include "store/indexloader.h"

#include "store/keys.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "store/tree.h"

namespace folivo {

namespace {

// Folders nest at most this deep in a package we accept; deeper records are hostile.
constexpr int MaxTreeDepth = 1000;

QString lastComponentOf(const QString& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace

std::optional<ItemList> IndexLoader::fromArchive(plist::Value&& root)
{
    if (!root.isArray())
        return std::nullopt;
    seen_.clear();
    ItemList top;
    top.reserve(root.array().size());
    for (auto& v : root.array())
        if (auto item = itemFromRecord(std::move(v), QString(), 0))
            top.push_back(std::move(item));
    seen_.clear();
    return top;
}

ItemList IndexLoader::rebuild(const QStringList& top)
{
    seen_.clear();
    ItemList items;
    items.reserve(std::size_t(top.size()));
    for (const QString& path : top)
        rebuildItemWithPath(path, QString(), items, 0);
    seen_.clear();
    keyPool_.clear();
    return items;
}

bool IndexLoader::acceptLoadedPath(const QString& path, const QString& expectedParent, int depth)
{
    // Stored paths come from files anyone could have edited: each must stay inside the
    // package, sit directly in the folder that lists it, and be used once. Together these
    // rule out cycles, so a hostile index cannot make loading run forever.
    const auto pp = PackagePath::fromString(path);
    QString reason;
    if (!pp || pp->isRoot())
        reason = QStringLiteral("the path is not a valid path inside the package");
    else if (pp->parent().str() != expectedParent)
        reason = QStringLiteral("the item is not inside its folder \"%1\"").arg(expectedParent);
    else if (seen_.contains(path))
        reason = QStringLiteral("the path is used twice");
    else if (depth > MaxTreeDepth)
        reason = QStringLiteral("folders nest too deeply");
    if (reason.isEmpty())
        return true;
    doc_.addProblem(path, reason);
    return false;
}

std::unique_ptr<IndexItem> IndexLoader::itemFromRecord(plist::Value&& record, const QString& expectedParent, int depth)
{
    if (!record.isDict()) {
        doc_.addProblem(expectedParent, QStringLiteral("an entry that is not a record"));
        return nullptr;
    }
    plist::Dict& d = record.dict();
    const plist::Value* pathValue = d.find(keys::Path);
    const QString path = pathValue && pathValue->isString() ? pathValue->string() : QString();
    if (!acceptLoadedPath(path, expectedParent, depth))
        return nullptr;
    seen_.insert(path);

    plist::Value children;
    if (plist::Value* c = d.find(keys::Children)) {
        children = std::move(*c);
        d.remove(keys::Children);
    }
    d.remove(keys::ChildrenPaths); // only attributes files keep it
    const bool folderLike = !children.isNone();
    auto item = std::make_unique<IndexItem>(std::move(d), folderLike);
    if (folderLike && children.isArray()) {
        ItemList kids;
        kids.reserve(children.array().size());
        for (auto& c : children.array())
            if (auto kid = itemFromRecord(std::move(c), path, depth + 1))
                kids.push_back(std::move(kid));
        IndexTree::adoptChildren(item.get(), std::move(kids));
    }
    return item;
}

void IndexLoader::rebuildItemWithPath(const QString& listedPath, const QString& parentPath, ItemList& into, int depth)
{
    // A folder renamed or moved just before a crash may still list its children under the
    // old folder's path, while their files and attributes files already are in the folder
    // itself: each child is looked for inside the folder that lists it.
    QString path = listedPath;
    if (const auto listed = PackagePath::fromString(listedPath); listed && !listed->isRoot() && depth > 0
        && listed->parent().str() != parentPath)
        path = parentPath + '/' + listed->name();
    if (!acceptLoadedPath(path, parentPath, depth))
        return;
    const QString attributesFile = doc_.dbPath() + '/' + MyDocument::attributesPathForPath(path);
    auto record = doc_.crypto().readStoredArchive(attributesFile, lastComponentOf(path));
    if (!record || !record->isDict()) {
        doc_.addProblem(path, QStringLiteral("its attributes file cannot be read"));
        return;
    }
    plist::Dict& d = record->dict();
    // Each file decodes its own copy of every key name; sharing one copy per name saves
    // tens of megabytes in a large database.
    for (auto& entry : d) {
        auto known = keyPool_.constFind(entry.first);
        if (known == keyPool_.constEnd())
            known = keyPool_.insert(entry.first);
        entry.first = *known;
    }
    if (const plist::Value* stored = d.find(keys::Path); !stored || !stored->isString() || stored->string() != path) {
        // The same interrupted rename leaves the old path inside the record; the file's
        // place is what counts when the name agrees.
        const auto storedPath = stored && stored->isString() ? PackagePath::fromString(stored->string()) : std::nullopt;
        if (!storedPath || storedPath->name() != lastComponentOf(path)) {
            doc_.addProblem(path, QStringLiteral("its attributes file names another path"));
            return;
        }
        d.set(keys::Path, path);
    }
    seen_.insert(path);

    d.remove(keys::Children);
    plist::Value childPaths;
    if (plist::Value* c = d.find(keys::ChildrenPaths)) {
        childPaths = std::move(*c);
        d.remove(keys::ChildrenPaths);
    }
    const bool smart = d.contains(keys::SmartFolder);
    const bool folderLike = smart || !childPaths.isNone() || d.contains(keys::Date);
    auto item = std::make_unique<IndexItem>(std::move(d), folderLike);
    IndexItem* raw = item.get();
    into.push_back(std::move(item));
    if (smart || !childPaths.isArray())
        return; // a smart folder's contents are computed when it is loaded

    ItemList kids;
    kids.reserve(childPaths.array().size());
    for (const auto& c : childPaths.array())
        rebuildItemWithPath(c.isString() ? c.string() : QString(), path, kids, depth + 1);
    IndexTree::adoptChildren(raw, std::move(kids));
}

} // namespace folivo
