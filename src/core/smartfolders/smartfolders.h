#pragma once
// The smart folders of an open database: top-level items whose children are not stored
// files but smart files standing for files elsewhere in the tree, computed on demand. A
// condition folder (type 0) keeps find criteria, a tag folder (type 1) a list of tags and
// date tokens, a folder of chosen items (type 2, "Selected Files", "Last Import") references
// to files and folders.
//
// Every change of the database only marks the folders stale (cheap: no scan); a folder is
// loaded when it is shown. A load works on its own snapshot of the tree, so operations that
// arrive between its steps (the import folder, drops, the save timer) cannot make it read a
// freed item; such an operation marks the folder for loading again once the load ends.
// Loading never marks the database changed: it rebuilds what can always be rebuilt.

#include "find/criteria.h"
#include "store/documenthooks.h"
#include "store/tree.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace folivo {

class IndexItem;
class MatchContext;
class MyDocument;
class SmartFolders;

enum class SmartFolderKind { Conditions = 0, Tags = 1, SelectedItems = 2 };

// The kind of a smart folder by "SmartFolderType" (absent: conditions); nothing for an
// item that is not a smart folder or a type this version does not know.
std::optional<SmartFolderKind> smartFolderKind(const IndexItem& item);

// One load of one smart folder, driven by whoever shows it: step() until finished(). The
// folder's children are replaced when the load ends (finished or stopped). Destroying an
// unfinished load stops it.
class SmartFolderLoad {
public:
    ~SmartFolderLoad();
    SmartFolderLoad(const SmartFolderLoad&) = delete;
    SmartFolderLoad& operator=(const SmartFolderLoad&) = delete;

    // Tests up to `count` further items; false once the load has ended.
    bool step(int count);
    bool finished() const { return ended_; }
    // Ends the load now: the files found so far become the folder's children, and the
    // folder stays marked "NeedsLoading", so that it is complete the next time it is shown.
    void stop();
    bool stopped() const { return stopped_; }
    // Files found so far.
    int added() const { return int(found_.size()); }
    qsizetype position() const { return next_; }
    qsizetype total() const { return snapshot_.size(); }
    // The folder being loaded; nullptr once it left the tree (the load then ends).
    IndexItem* folder() const { return folder_; }
    // The criteria search the text of files (the window says so while it runs).
    bool searchesContents() const { return searchesContents_; }

private:
    friend class SmartFolders;
    SmartFolderLoad(SmartFolders& owner, IndexItem& folder, MatchContext& context);
    void begin();
    void end(bool stopped);
    void addItemAndBelow(const IndexItem& item);
    void folderGone();

    SmartFolders& owner_;
    IndexItem* folder_;
    MatchContext& context_;
    std::optional<SmartFolderKind> kind_;
    FindCriteria criteria_;
    QSet<QString> required_;
    QStringList snapshot_; // paths of the items to test, in the flat list's order
    qsizetype next_ = 0;
    QStringList found_; // the real files' paths, in order
    QSet<QString> taken_;
    bool searchesContents_ = false;
    bool ended_ = false;
    bool stopped_ = false;
};

class SmartFolders : public OperationObserver, public TreeObserver {
public:
    explicit SmartFolders(MyDocument& doc);
    ~SmartFolders() override;
    SmartFolders(const SmartFolders&) = delete;
    SmartFolders& operator=(const SmartFolders&) = delete;

    // ---- Creation ---------------------------------------------------------------------
    // Each appends a top-level smart folder (sorted in when the tree keeps it sorted),
    // writes its attributes file and the top-level list and marks the database changed.
    // nullptr when the database cannot change or the disk refused (reported).

    // A condition folder from the Find dialog: named by the criteria's "SmartFolderName",
    // made unique (and stored back into the criteria).
    IndexItem* createConditionFolder(const FindCriteria& criteria);
    // A folder of chosen items named "Selected Files" (made unique). Smart folders and smart
    // files in the selection are left out; nullptr when nothing is left.
    IndexItem* createSelectedItemsFolder(const QList<const IndexItem*>& selection);
    // A tag folder requiring every one of `titles` (tags and "<Month>"/"<Year>" tokens).
    IndexItem* createTagFolder(const QStringList& titles, const QString& name);
    // A new selection of a tag folder (the tag panel's toggles): marks it for loading.
    void setTagFolderTitles(IndexItem& folder, const QStringList& titles);
    // A condition folder's edited criteria (the Find dialog with "Save"): stored and marked
    // for loading; the attributes file is written. Renaming is the caller's recorded rename.
    bool setConditionFolderCriteria(IndexItem& folder, const FindCriteria& criteria);

    // The proposed name of a tag folder for `titles`: "Files With " and the titles (or
    // "Selected Tags and or Date"), with "/" replaced and cut to what a name may hold, made
    // unique. `beingEdited` may keep its own name.
    QString proposedTagFolderName(const QStringList& titles, const QString& beingEdited = QString()) const;

    // ---- Invalidation and loading -----------------------------------------------------
    // Marks every smart folder "NeedsLoading" and restarts the smart-file numbers: a mark,
    // nothing is scanned. During a load, only noted; it happens when the load ends.
    void invalidateAll();
    bool needsLoading(const IndexItem& folder) const;
    // Starts loading `folder` when it needs it. nullptr when it does not (it is current),
    // when it is not a smart folder, or while another load runs (one at a time).
    std::unique_ptr<SmartFolderLoad> startLoad(IndexItem& folder, MatchContext& context);
    // Loads `folder` to its end (the command line, reports). False when the load was
    // stopped by `stopRequested`, or another load runs; true when the folder is current.
    bool loadToCompletion(IndexItem& folder, MatchContext& context, const std::function<bool()>& stopRequested = {});
    bool loading() const { return active_ != nullptr; }
    const SmartFolderLoad* activeLoad() const { return active_; }

    // The real files behind the folder's smart files, in order; files the tree no longer
    // holds are left out.
    QList<const IndexItem*> members(const IndexItem& folder) const;
    // Every smart folder of the top level, in order.
    QList<IndexItem*> folders() const;

    // The real paths the references of a folder of chosen items name, in the order of its
    // entries; references that cannot be read or leave the package are left out.
    QStringList referencedPaths(const IndexItem& folder) const;

    // Told after every invalidation (the window collapses the smart folders).
    std::function<void()> onInvalidated;

    // OperationObserver: every change marks the folders stale; renames and moves carry the
    // references of folders of chosen items along.
    void operationFinished(const DBOperation& operation, const OperationResult& result) override;
    // TreeObserver
    void itemWillBeRemoved(const IndexItem& item) override;
    void itemPathChanged(const IndexItem& item, const QString& oldPath) override;
    void treeWillReset() override;
    void treeDidReset() override;

    // The smart-file counter (restarts at each invalidation).
    std::uint32_t smartFileCount() const { return smartFileCount_; }

private:
    friend class SmartFolderLoad;
    IndexItem* addFolder(plist::Dict keys);
    void replaceChildren(IndexItem& folder, const QStringList& targets);
    void loadEnded(SmartFolderLoad& load);
    void followMove(const QString& oldPath, const QString& newPath);

    MyDocument& doc_;
    SmartFolderLoad* active_ = nullptr;
    bool invalidateAfterLoad_ = false;
    std::uint32_t smartFileCount_ = 0;
};

} // namespace folivo
