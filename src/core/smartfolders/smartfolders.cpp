#include "smartfolders/smartfolders.h"

#include "attributes/tags.h"
#include "find/matcher.h"
#include "smartfolders/references.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/packagepath.h"
#include "util/fs.h"

#include <QFileInfo>

#include <algorithm>

namespace folivo {

namespace {

const QString TypeKey = QStringLiteral("Type");
const QString AllKey = QStringLiteral("All");
const QString ExpandKey = QStringLiteral("Expand");
const QString SelectedFiles = QStringLiteral("Selected Files");
const QString FilesWith = QStringLiteral("Files With %1");
const QString NoTitlesYet = QStringLiteral("Selected Tags and or Date");

// The item a stored path names: the path itself, or without an enciphered suffix (a
// reference made while the database was encrypted still finds its file once it is not).
IndexItem* itemForStoredPath(const IndexTree& tree, const QString& stored)
{
    if (stored.isEmpty())
        return nullptr;
    if (IndexItem* item = tree.itemForPath(stored))
        return item;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (stored.endsWith('.' + suffix))
            return tree.itemForPath(stored.chopped(suffix.size() + 1));
    return nullptr;
}

QString packageNameOf(const MyDocument& doc)
{
    return QFileInfo(doc.dbPath()).fileName();
}

const plist::Array* referenceEntries(const IndexItem& folder)
{
    const plist::Value* smart = folder.value(keys::SmartFolder);
    if (!smart || !smart->isDict())
        return nullptr;
    const plist::Value* conditions = smart->dict().find(findkeys::Conditions);
    return conditions && conditions->isArray() ? &conditions->array() : nullptr;
}

// Cuts `text` to at most `bytes` bytes of UTF-8 without splitting a character (a
// surrogate pair stays whole).
QString cutToUtf8Bytes(const QString& text, int bytes)
{
    int used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype len = pair ? 2 : 1;
        const int size = int(QStringView(text).mid(i, len).toUtf8().size());
        if (used + size > bytes)
            break;
        used += size;
        i += len;
    }
    return text.left(i);
}

} // namespace

std::optional<SmartFolderKind> smartFolderKind(const IndexItem& item)
{
    if (!item.isSmartFolder())
        return std::nullopt;
    const plist::Value* type = item.value(keys::SmartFolderType);
    if (!type)
        return SmartFolderKind::Conditions;
    switch (type->toInt(-1)) {
    case 0: return SmartFolderKind::Conditions;
    case 1: return SmartFolderKind::Tags;
    case 2: return SmartFolderKind::SelectedItems;
    default: return std::nullopt;
    }
}

// ---- SmartFolders -------------------------------------------------------------------

SmartFolders::SmartFolders(MyDocument& doc) : doc_(doc)
{
    doc_.tree().addObserver(this);
}

SmartFolders::~SmartFolders()
{
    if (active_)
        active_->folderGone();
    doc_.tree().removeObserver(this);
}

QList<IndexItem*> SmartFolders::folders() const
{
    QList<IndexItem*> out;
    for (const auto& top : doc_.tree().categoriesArray())
        if (top->isSmartFolder())
            out << top.get();
    return out;
}

IndexItem* SmartFolders::addFolder(plist::Dict keys)
{
    if (!doc_.canChange())
        return nullptr;
    IndexTree& tree = doc_.tree();
    IndexItem* item = tree.insert(nullptr, std::make_unique<IndexItem>(std::move(keys), true), -1);
    if (tree.sorting.keepSorted)
        tree.sortByName(nullptr);
    if (!doc_.writeAttributesFileForItem(item) || !doc_.writeAttributesFileForItem(nullptr)) {
        // Nothing half made stays behind: the folder leaves the tree and its list again.
        const QString path = item->path();
        tree.take(item);
        fs::removeFile(doc_.dbPath() + '/' + MyDocument::attributesPathForPath(path));
        doc_.writeAttributesFileForItem(nullptr);
        doc_.diskError(step::WritingAttributes, MyDocument::attributesPathForPath(path));
        return nullptr;
    }
    doc_.changed();
    doc_.ui().reloadBrowser();
    return item;
}

IndexItem* SmartFolders::createConditionFolder(const FindCriteria& criteria)
{
    const QString name = doc_.tree().uniqueSmartFolderNameFor(criteria.smartFolderName);
    if (checkName(name) != NameProblem::None)
        return nullptr;
    FindCriteria stored = criteria;
    stored.smartFolderName = name;
    return addFolder(plist::Dict{{keys::Path, name}, {keys::SmartFolder, stored.toDict()}, {keys::NeedsLoading, true}});
}

IndexItem* SmartFolders::createSelectedItemsFolder(const QList<const IndexItem*>& selection)
{
    plist::Array entries;
    for (const IndexItem* item : selection) {
        if (!item || item->isSmartFile() || item->isSmartFolder())
            continue;
        if (!PackagePath::fromString(item->path()))
            continue;
        entries.push_back(referenceEntryForStoredPath(doc_.encryptedPath(item->path())));
    }
    if (entries.empty())
        return nullptr;
    const QString name = doc_.tree().uniqueSmartFolderNameFor(SelectedFiles);
    plist::Dict criteria{{TypeKey, std::int64_t(3)},
                         {AllKey, false},
                         {ExpandKey, false},
                         {findkeys::SmartFolderName, name},
                         {findkeys::Conditions, std::move(entries)}};
    return addFolder(plist::Dict{{keys::Path, name},
                                 {keys::NeedsLoading, true},
                                 {keys::SmartFolderType, std::int64_t(2)},
                                 {keys::SmartFolder, std::move(criteria)}});
}

IndexItem* SmartFolders::createTagFolder(const QStringList& titles, const QString& name)
{
    const QString unique = doc_.tree().uniqueSmartFolderNameFor(name.isEmpty() ? proposedTagFolderName(titles) : name);
    if (checkName(unique) != NameProblem::None)
        return nullptr;
    plist::Array list;
    for (const QString& t : titles)
        list.push_back(t);
    return addFolder(plist::Dict{{keys::Path, unique},
                                 {keys::SmartFolder, std::move(list)},
                                 {keys::SmartFolderType, std::int64_t(1)},
                                 {keys::NeedsLoading, true}});
}

QString SmartFolders::proposedTagFolderName(const QStringList& titles, const QString& beingEdited) const
{
    QString name = FilesWith.arg(titles.isEmpty() ? NoTitlesYet : titles.join(' '));
    // Tags are free text: a "/" would make a path below the top level, a long tag a name
    // no file system takes, and control characters a name no check lets in.
    name = makeValidName(name);
    // Room for the number that makes it unique.
    name = cutToUtf8Bytes(name, MaxNameBytes - 6);
    if (!beingEdited.isEmpty() && name == beingEdited)
        return name;
    return doc_.tree().uniqueSmartFolderNameFor(name);
}

void SmartFolders::setTagFolderTitles(IndexItem& folder, const QStringList& titles)
{
    plist::Array list;
    for (const QString& t : titles)
        list.push_back(t);
    folder.setValue(keys::SmartFolder, std::move(list));
    folder.setValue(keys::NeedsLoading, true);
}

bool SmartFolders::setConditionFolderCriteria(IndexItem& folder, const FindCriteria& criteria)
{
    if (!folder.isSmartFolder() || !doc_.canChange())
        return false;
    FindCriteria stored = criteria;
    stored.smartFolderName = folder.path();
    folder.setValue(keys::SmartFolder, stored.toDict());
    folder.setValue(keys::NeedsLoading, true);
    if (!doc_.writeAttributesFileForItem(&folder)) {
        doc_.diskError(step::WritingAttributes, MyDocument::attributesPathForPath(folder.path()));
        return false;
    }
    doc_.changed();
    return true;
}

void SmartFolders::invalidateAll()
{
    if (active_) {
        // The load in progress keeps numbering its smart files; every folder, that one
        // included, is marked once it ends.
        invalidateAfterLoad_ = true;
        return;
    }
    for (const auto& top : doc_.tree().categoriesArray())
        if (top->isSmartFolder())
            top->setValue(keys::NeedsLoading, true);
    smartFileCount_ = 0;
    if (onInvalidated)
        onInvalidated();
}

bool SmartFolders::needsLoading(const IndexItem& folder) const
{
    return folder.flag(keys::NeedsLoading);
}

std::unique_ptr<SmartFolderLoad> SmartFolders::startLoad(IndexItem& folder, MatchContext& context)
{
    if (active_ || !folder.isSmartFolder() || folder.parent() || !needsLoading(folder))
        return nullptr;
    std::unique_ptr<SmartFolderLoad> load(new SmartFolderLoad(*this, folder, context));
    active_ = load.get();
    load->begin();
    return load;
}

bool SmartFolders::loadToCompletion(IndexItem& folder, MatchContext& context, const std::function<bool()>& stopRequested)
{
    if (!folder.isSmartFolder())
        return false;
    if (!needsLoading(folder))
        return true;
    std::unique_ptr<SmartFolderLoad> load = startLoad(folder, context);
    if (!load)
        return false;
    while (!load->finished()) {
        if (stopRequested && stopRequested()) {
            load->stop();
            break;
        }
        load->step(256);
    }
    return !load->stopped();
}

QList<const IndexItem*> SmartFolders::members(const IndexItem& folder) const
{
    QList<const IndexItem*> out;
    if (!folder.isSmartFolder())
        return out;
    out.reserve(qsizetype(folder.children().size()));
    for (const auto& child : folder.children()) {
        const plist::Value* target = child->value(keys::SmartFile);
        if (!target || !target->isString())
            continue;
        const IndexItem* real = doc_.tree().itemForPath(target->string());
        if (real && real->isFile())
            out << real;
    }
    return out;
}

QStringList SmartFolders::referencedPaths(const IndexItem& folder) const
{
    QStringList out;
    const plist::Array* entries = referenceEntries(folder);
    if (!entries)
        return out;
    const QString package = packageNameOf(doc_);
    for (const plist::Value& entry : *entries) {
        const ResolvedReference r = resolveReference(entry, package);
        if (IndexItem* item = itemForStoredPath(doc_.tree(), r.storedPath))
            out << item->path();
    }
    return out;
}

void SmartFolders::replaceChildren(IndexItem& folder, const QStringList& targets)
{
    IndexTree& tree = doc_.tree();
    ItemList children;
    children.reserve(std::size_t(targets.size()));
    const QString prefix = folder.path() + QLatin1Char('/');
    for (const QString& target : targets) {
        // A file found and then taken away before the load ended is left out.
        const IndexItem* real = tree.itemForPath(target);
        if (!real || !real->isFile())
            continue;
        ++smartFileCount_;
        children.push_back(std::make_unique<IndexItem>(
            plist::Dict{{keys::Path, prefix + QStringLiteral("SF%1").arg(smartFileCount_)}, {keys::SmartFile, target}},
            false));
    }
    tree.replaceChildren(&folder, std::move(children));
}

void SmartFolders::loadEnded(SmartFolderLoad& load)
{
    if (active_ != &load)
        return;
    active_ = nullptr;
    if (invalidateAfterLoad_) {
        invalidateAfterLoad_ = false;
        invalidateAll();
    }
}

void SmartFolders::operationFinished(const DBOperation& operation, const OperationResult& result)
{
    using Status = OperationResult::Status;
    if (result.status == Status::Refused || result.status == Status::Nothing)
        return;
    if (result.status == Status::Done
        && (operation.code() == OperationCode::Rename || operation.code() == OperationCode::Move)
        && !result.resultPath.isEmpty() && result.resultPath != operation.path)
        followMove(operation.path, result.resultPath);
    invalidateAll();
}

void SmartFolders::followMove(const QString& oldPath, const QString& newPath)
{
    const QString package = packageNameOf(doc_);
    const QString oldPrefix = oldPath + QLatin1Char('/');
    for (IndexItem* folder : folders()) {
        if (smartFolderKind(*folder) != SmartFolderKind::SelectedItems)
            continue;
        const plist::Value* smart = folder->value(keys::SmartFolder);
        if (!smart || !smart->isDict())
            continue;
        plist::Dict criteria = smart->dict();
        plist::Value* conditions = criteria.find(findkeys::Conditions);
        if (!conditions || !conditions->isArray())
            continue;
        bool changedAny = false;
        for (plist::Value& entry : conditions->array()) {
            if (!entry.isDict())
                continue;
            const QString stored = resolveReference(entry, package).storedPath;
            if (stored.isEmpty())
                continue;
            // The stored path may carry an enciphered suffix; it moves with the item.
            QString rest;
            if (stored == oldPath || stored.startsWith(oldPrefix))
                rest = stored.mid(oldPath.size());
            else {
                bool matched = false;
                for (const QString& suffix : pkg::EncipheredSuffixes)
                    if (stored == oldPath + '.' + suffix) {
                        rest = stored.mid(oldPath.size());
                        matched = true;
                    }
                if (!matched)
                    continue;
            }
            retargetReference(entry.dict(), newPath + rest);
            changedAny = true;
        }
        if (!changedAny)
            continue;
        folder->setValue(keys::SmartFolder, std::move(criteria));
        if (!doc_.writeAttributesFileForItem(folder))
            doc_.diskError(step::WritingAttributes, MyDocument::attributesPathForPath(folder->path()));
    }
}

void SmartFolders::itemWillBeRemoved(const IndexItem& item)
{
    if (active_ && active_->folder_ == &item)
        active_->folderGone();
}

void SmartFolders::itemPathChanged(const IndexItem& item, const QString& oldPath)
{
    (void)oldPath;
    if (!item.isSmartFolder() || item.parent())
        return;
    IndexItem& folder = const_cast<IndexItem&>(item);
    // The definition names its folder; the rename writes the attributes file after this.
    if (const plist::Value* smart = folder.value(keys::SmartFolder); smart && smart->isDict()) {
        const plist::Value* name = smart->dict().find(findkeys::SmartFolderName);
        if (name && name->isString() && name->string() != folder.path()) {
            plist::Dict criteria = smart->dict();
            criteria.set(findkeys::SmartFolderName, folder.path());
            folder.setValue(keys::SmartFolder, std::move(criteria));
        }
    }
    // The smart files are named below the folder: after a rename their paths would name
    // the old folder, so they go and the folder loads again when it is next shown.
    if (folder.children().empty() || (active_ && active_->folder_ == &item))
        return; // a load in progress replaces them under the new name
    doc_.tree().replaceChildren(&folder, {});
    folder.setValue(keys::NeedsLoading, true);
}

void SmartFolders::treeWillReset()
{
    if (active_)
        active_->folderGone();
}

void SmartFolders::treeDidReset()
{
    invalidateAfterLoad_ = false;
    smartFileCount_ = 0;
    // A tree rebuilt from the attributes files brings smart folders back without their
    // smart files: they are computed again when shown. One read from the index keeps what
    // it had at the last save.
    for (const auto& top : doc_.tree().categoriesArray())
        if (top->isSmartFolder() && top->children().empty())
            top->setValue(keys::NeedsLoading, true);
}

// ---- SmartFolderLoad ----------------------------------------------------------------

SmartFolderLoad::SmartFolderLoad(SmartFolders& owner, IndexItem& folder, MatchContext& context)
    : owner_(owner), folder_(&folder), context_(context), kind_(smartFolderKind(folder))
{
}

SmartFolderLoad::~SmartFolderLoad()
{
    if (!ended_)
        stop();
}

void SmartFolderLoad::begin()
{
    IndexItem& folder = *folder_;
    folder.removeValue(keys::NeedsLoading);
    MyDocument& doc = owner_.doc_;
    const plist::Value* smart = folder.value(keys::SmartFolder);

    if (kind_ == SmartFolderKind::SelectedItems) {
        // References resolve at once: each is one lookup. From the last entry to the first,
        // as the folder has always listed them, the newest first.
        const plist::Array* entries = referenceEntries(folder);
        const QString package = packageNameOf(doc);
        bool unreadLegacy = false;
        if (entries)
            for (auto it = entries->rbegin(); it != entries->rend(); ++it) {
                const ResolvedReference r = resolveReference(*it, package);
                if (r.storedPath.isEmpty()) {
                    unreadLegacy = unreadLegacy || r.source == ReferenceSource::MacBookmark
                                   || r.source == ReferenceSource::MacAlias;
                    continue;
                }
                if (const IndexItem* item = itemForStoredPath(doc.tree(), r.storedPath))
                    addItemAndBelow(*item);
            }
        // Bookmarks of the macOS edition that give no path here: the files the folder
        // listed when it was last loaded stand in for them.
        if (unreadLegacy)
            for (const auto& child : folder.children())
                if (const plist::Value* t = child->value(keys::SmartFile); t && t->isString())
                    if (const IndexItem* real = doc.tree().itemForPath(t->string()); real && real->isFile())
                        addItemAndBelow(*real);
        end(false);
        return;
    }

    if (kind_ == SmartFolderKind::Tags) {
        if (smart && smart->isArray())
            for (const plist::Value& v : smart->array())
                if (v.isString())
                    required_.insert(v.string());
        if (required_.isEmpty()) {
            end(false); // nothing selected: the folder stays empty
            return;
        }
    } else if (kind_ == SmartFolderKind::Conditions) {
        criteria_ = FindCriteria::fromValue(smart ? *smart : plist::Value());
        searchesContents_ = criteria_.anyContentsCondition();
    }
    // The items are taken by path now: whatever the tree does between steps, a step only
    // ever looks an item up, and one that went is passed over.
    const std::vector<IndexItem*>& flat = doc.tree().flatArray();
    snapshot_.reserve(qsizetype(flat.size()));
    for (const IndexItem* item : flat)
        if (item->isFile())
            snapshot_ << item->path();
}

bool SmartFolderLoad::step(int count)
{
    if (ended_)
        return false;
    const IndexTree& tree = owner_.doc_.tree();
    for (int n = 0; n < count && next_ < snapshot_.size(); ++n) {
        const IndexItem* item = tree.itemForPath(snapshot_[next_++]);
        if (!item || !item->isFile())
            continue;
        bool wanted = false;
        switch (kind_.value_or(SmartFolderKind::SelectedItems)) {
        case SmartFolderKind::Conditions:
            wanted = matches(*item, criteria_, context_);
            break;
        case SmartFolderKind::Tags: {
            const QSet<QString> tags = tagsSetForItem(*item, true);
            wanted = std::all_of(required_.begin(), required_.end(), [&](const QString& t) { return tags.contains(t); });
            break;
        }
        case SmartFolderKind::SelectedItems: // a type this version does not know: every file
            wanted = true;
            break;
        }
        if (wanted && !taken_.contains(item->path())) {
            taken_.insert(item->path());
            found_ << item->path();
        }
    }
    if (next_ >= snapshot_.size())
        end(false);
    return !ended_;
}

void SmartFolderLoad::stop()
{
    if (!ended_)
        end(true);
}

void SmartFolderLoad::addItemAndBelow(const IndexItem& item)
{
    // Depth first in child order; an explicit stack, since a hostile tree may nest deeply.
    std::vector<const IndexItem*> stack{&item};
    while (!stack.empty()) {
        const IndexItem* it = stack.back();
        stack.pop_back();
        if (it->isSmartFile() || it->isSmartFolder())
            continue;
        if (it->isFile()) {
            if (!taken_.contains(it->path())) {
                taken_.insert(it->path());
                found_ << it->path();
            }
            continue;
        }
        for (auto c = it->children().rbegin(); c != it->children().rend(); ++c)
            stack.push_back(c->get());
    }
}

void SmartFolderLoad::end(bool stopped)
{
    if (ended_)
        return;
    ended_ = true;
    stopped_ = stopped;
    if (folder_) {
        owner_.replaceChildren(*folder_, found_);
        // A stopped load keeps what it found but is not complete: it loads again next time.
        if (stopped)
            folder_->setValue(keys::NeedsLoading, true);
    }
    snapshot_.clear();
    owner_.loadEnded(*this);
}

void SmartFolderLoad::folderGone()
{
    folder_ = nullptr;
    if (!ended_) {
        ended_ = true;
        stopped_ = true;
        snapshot_.clear();
        owner_.loadEnded(*this);
    }
}

} // namespace folivo
