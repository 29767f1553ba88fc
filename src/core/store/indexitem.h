#pragma once
// One node of the index tree: a record of string keys. The item keeps every key it was
// given, also keys this version does not know, and writes them back unchanged. What kind
// of item it is follows from which keys are present.

#include "plist/value.h"

#include <QString>
#include <memory>
#include <vector>

namespace folivo {

class IndexItem;
class IndexTree;
using ItemList = std::vector<std::unique_ptr<IndexItem>>;

enum class ItemKind { File, Folder, DateFolder, SmartFolder, SmartFile };

class IndexItem {
public:
    // `keys` must not hold "Children"; a folder-like item (folder, date folder, smart
    // folder) is made with `folderLike` and starts with no children.
    IndexItem(plist::Dict keys, bool folderLike);

    const QString& path() const { return path_; }
    QString name() const; // last component of the path

    const plist::Dict& keys() const { return keys_; }
    const plist::Value* value(const QString& key) const { return keys_.find(key); }
    bool has(const QString& key) const { return keys_.contains(key); }
    // A switch of the record: on when it holds true or a number other than zero. Booleans in
    // records are numbers, so 1 or 1.0 written by another program means the same as true.
    bool flag(const QString& key) const
    {
        const plist::Value* v = keys_.find(key);
        return v && v->toBool();
    }
    // Sets or removes any key except "Path" and "Children", which only the tree changes.
    void setValue(const QString& key, plist::Value value);
    void removeValue(const QString& key);

    bool hasChildren() const { return folderLike_; }
    const ItemList& children() const { return children_; }
    IndexItem* parent() const { return parent_; } // nullptr for a top-level item

    ItemKind kind() const;
    bool isDateFolder() const { return folderLike_ && keys_.contains(QStringLiteral("Date")); }
    bool isSmartFolder() const { return keys_.contains(QStringLiteral("SmartFolder")); }
    bool isSmartFile() const { return keys_.contains(QStringLiteral("SmartFile")); }
    bool isFile() const { return !folderLike_ && !isSmartFile(); }
    // A folder the user made: has children, is neither a date folder nor a smart folder.
    bool isPlainFolder() const { return folderLike_ && !isDateFolder() && !isSmartFolder(); }

    // The whole record with "Children" holding the descendants, as the index archive keeps it.
    plist::Value toValue() const;
    // The record as its attributes file keeps it: folders list their children's paths in
    // "ChildrenPaths" instead of holding them; smart folders keep neither.
    plist::Value attributesValue() const;

private:
    friend class IndexTree;
    void setPathInternal(const QString& path);

    plist::Dict keys_;
    QString path_;
    bool folderLike_ = false;
    ItemList children_;
    IndexItem* parent_ = nullptr;
};

} // namespace folivo
