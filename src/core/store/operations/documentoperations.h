#pragma once
// The recorded operations, one function per kind: every change that touches both the
// package and the tree. MyDocument::doDBOperation checks that the database may change,
// marks it changed, runs one of these and ends every operation the same way; the kinds
// live by family in the files of this folder (create, rename and delete; move, duplicate
// and copy; import), with what they share in common.cpp.
//
// Order of steps: the disk changes first, and only when they all succeeded does the tree
// follow, with the attributes files of the new place written before those of the old
// place are removed. A refused disk step is undone where it can be, so the tree, the
// attributes files and the disk keep agreeing; a crash between steps leaves at worst an
// item without a file or a file without an item, which the check at the next open reports
// and lets the person recover.
//
// The operations work on the document through its public calls only.

#include "store/dboperation.h"

#include <QString>
#include <QStringList>

namespace folivo {

class IndexItem;
class MyDocument;

class DocumentOperations {
public:
    explicit DocumentOperations(MyDocument& doc) : d_(doc) {}

    // One per kind of record (createrenamedelete.cpp, movecopy.cpp, import.cpp).
    OperationResult deleteItem(const QString& path);
    OperationResult newFolder(const QString& path, const QString& parentPath, int index);
    OperationResult rename(const QString& oldPath, const QString& newPath);
    OperationResult move(const QString& path, const QString& parentPath, int index);
    OperationResult duplicate(const QString& path);
    OperationResult copyFrom(const QString& path, const QString& fromDBPath, const QString& parentPath, int index);
    OperationResult import(const DBOperation& op);

    // A result for a disk step that failed: logged and reported through the document.
    OperationResult diskFailure(const QString& stepName, const QString& shownPath);

private:
    // ---- Paths and forms on disk
    // The disk calls resolve these without following links and refuse one on the way with
    // a message that names it.
    QString abs(const QString& path) const;
    QString parentDirAbs(const QString& path) const;
    bool encrypted() const;
    // The forms of a stored path that exist on disk: the plain path and, in an encrypted
    // database, the enciphered forms.
    QStringList existingForms(const QString& path) const;
    // Moves every existing form of `from` to `to`, never replacing anything. All or none:
    // when one form cannot move, those already moved go back.
    bool moveForms(const QString& from, const QString& to);

    // ---- Attributes files and the tree
    // Writes an item's attributes file (nullptr: the root's); a failure turns the result
    // into a disk error while it keeps saying where the item is.
    bool writeAttributes(const IndexItem* item, OperationResult& result);
    // Writes the attributes files of an item's descendants, deepest first, then its own.
    bool writeSubtree(const IndexItem* item, OperationResult& result);
    // Removes the attributes file of `path` (and its enciphered form where there is one).
    void removeAttributesFile(const QString& path);
    // After a move or a copy: the item and its descendants get their new paths, their
    // records are written at the new place (children before their folder, so the folder
    // lists the new paths), then the folder that now holds the item. The old attributes
    // file of a moved item is removed by the caller once the old folder's record no longer
    // lists it; a copy has none.
    void setNewAttributePathesForItem(IndexItem* item, const QString& newPath, OperationResult& r);
    // Gives an item and its descendants new paths in the tree (children first, so the
    // item's own record lists the new paths), without touching any file.
    void setPathsInTree(IndexItem* item, const QString& newPath);
    // The tree and the attributes files after an item's files have been renamed: the new
    // records first (descendants before the item, the item before its folder), and the
    // old attributes file of the item only at the end.
    void renameItem(IndexItem* item, const QString& oldPath, const QString& newPath, OperationResult& r);

    // ---- Places
    // A folder that can hold what is put into it: a folder or date folder, never a file
    // or a smart folder. nullptr for the top level.
    static bool canHoldItems(const IndexItem* folder);
    // "Unfiled", made again (on disk too) when the tree lost it; nullptr when it cannot be.
    IndexItem* unfiled();
    // The selection after a move or copy into `array owner`: a lone file in a date folder
    // selects its date folder, collapsed.
    void selectAfterPlacing(OperationResult& r, IndexItem* item, IndexItem* target);
    struct Target {
        IndexItem* parent = nullptr;
        QString path;
        bool redirected = false;
        bool failed = false;
    };
    // Where a moved or copied item goes: the folder at `parentPath`, or for an item with
    // an ending date dropped on an ordinary folder (other than "Unfiled"), that folder's
    // month folder for the date.
    Target targetFor(const QString& parentPath, const IndexItem& item);
    // The year and month folders made for an item that then could not come: they go
    // again when nothing else is in them.
    void dropUnusedDateFolders(const Target& t);
    // The folder an import lands in: the one named when it can hold files; otherwise the
    // nearest ordinary folder above it; otherwise "Unfiled".
    IndexItem* importFolderFor(const QString& parentPath);

    // ---- Steps of single kinds
    // Copies the content of `item` (in `source`) to `newPath` here. Plain content is read
    // from the source with the source's key and written in this database's form with this
    // database's key; nothing is deciphered inside another package.
    bool copyContent(MyDocument& source, const IndexItem& item, const QString& newPath);
    // An import whose copy failed: the person is told why, in words that name the cause.
    OperationResult failImport(const QString& shownName);

    MyDocument& d_;
};

} // namespace folivo
