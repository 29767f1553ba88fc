#pragma once
// Builds the tree of an open database from what the package stores: the index archive
// (".index", one record per item with its children inside), or, after a crash or when asked,
// the distributed index (".dindex" and an attributes file per item). Stored paths come from
// files anyone could have edited: every record that cannot be used is skipped and noted as
// a problem of the document, and nothing a hostile package holds makes loading run forever.

#include "plist/value.h"
#include "store/indexitem.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace folivo {

class MyDocument;

class IndexLoader {
public:
    explicit IndexLoader(MyDocument& doc) : doc_(doc) {}

    // The items of the index archive `root`; nullopt when it is not an array of records.
    std::optional<ItemList> fromArchive(plist::Value&& root);
    // The items listed by the distributed index: `top` are the top-level paths, each
    // item's record and children come from its attributes file.
    ItemList rebuild(const QStringList& top);

private:
    bool acceptLoadedPath(const QString& path, const QString& expectedParent, int depth);
    std::unique_ptr<IndexItem> itemFromRecord(plist::Value&& record, const QString& expectedParent, int depth);
    void rebuildItemWithPath(const QString& path, const QString& parentPath, ItemList& into, int depth);

    MyDocument& doc_;
    QSet<QString> seen_;    // paths taken during one rebuild or load
    QSet<QString> keyPool_; // one copy of each key name during a rebuild
};

} // namespace folivo
