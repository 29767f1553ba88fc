#include "store/indexitem.h"

#include "store/keys.h"

namespace folivo {

IndexItem::IndexItem(plist::Dict keys, bool folderLike) : keys_(std::move(keys)), folderLike_(folderLike)
{
    keys_.remove(keys::Children);
    if (const plist::Value* p = keys_.find(keys::Path); p && p->isString())
        path_ = p->string();
}

QString IndexItem::name() const
{
    const qsizetype slash = path_.lastIndexOf('/');
    return slash < 0 ? path_ : path_.mid(slash + 1);
}

void IndexItem::setValue(const QString& key, plist::Value value)
{
    if (key == keys::Path || key == keys::Children)
        return;
    keys_.set(key, std::move(value));
}

void IndexItem::removeValue(const QString& key)
{
    if (key == keys::Path || key == keys::Children)
        return;
    keys_.remove(key);
}

void IndexItem::setPathInternal(const QString& path)
{
    path_ = path;
    keys_.set(keys::Path, path);
}

ItemKind IndexItem::kind() const
{
    if (isSmartFile())
        return ItemKind::SmartFile;
    if (isSmartFolder())
        return ItemKind::SmartFolder;
    if (!folderLike_)
        return ItemKind::File;
    return isDateFolder() ? ItemKind::DateFolder : ItemKind::Folder;
}

plist::Value IndexItem::toValue() const
{
    plist::Dict d = keys_;
    if (folderLike_) {
        plist::Array kids;
        kids.reserve(children_.size());
        for (const auto& c : children_)
            kids.push_back(c->toValue());
        d.set(keys::Children, std::move(kids));
    }
    return d;
}

plist::Value IndexItem::attributesValue() const
{
    plist::Dict d = keys_;
    d.remove(keys::ChildrenPaths);
    if (folderLike_ && !isSmartFolder()) {
        plist::Array paths;
        paths.reserve(children_.size());
        for (const auto& c : children_)
            paths.push_back(c->path());
        d.set(keys::ChildrenPaths, std::move(paths));
    }
    return d;
}

} // namespace folivo
