#include "store/mydocument.h"

#include "filing/ktdate.h"
#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/months.h"
#include "store/repair.h"
#include "util/debuglog.h"
#include "util/tempfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace folivo {

namespace {

// Folders nest at most this deep in a package we accept; deeper records are hostile.
constexpr int MaxTreeDepth = 1000;

QString lastComponentOf(const QString& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace

namespace {

std::vector<MyDocument*>& allDocuments()
{
    static std::vector<MyDocument*> documents;
    return documents;
}

} // namespace

MyDocument::MyDocument(DocumentUi& ui, const PrefsSource* prefs) : ui_(ui), prefs_(prefs)
{
    allDocuments().push_back(this);
}

MyDocument::~MyDocument()
{
    close();
    auto& all = allDocuments();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

MyDocument* MyDocument::openDocumentWithPath(const QString& dbPath)
{
    if (dbPath.isEmpty())
        return nullptr;
    const QString wanted = QDir::cleanPath(QFileInfo(dbPath).absoluteFilePath());
    for (MyDocument* doc : allDocuments())
        if (doc->dbOpen_ && doc->dbPath_ == wanted)
            return doc;
    return nullptr;
}

void MyDocument::close()
{
    pendingListing_.reset(); // waits for a listing still running
    cipher_.reset(); // the key is wiped with it
    decipheredIndex_.reset();
    markerNeeded_ = false;
    if (!tempDir_.isEmpty())
        fs::deleteTree(tempDir_);
    tempDir_.clear();
    tree_.reset({});
    history_.clear();
    storedHistory_.reset();
    dbOpen_ = false;
    packageRoot_.reset();
    // Last: nothing of this open touches the package any more.
    lock_.release();
    forReading_ = false;
}

QString MyDocument::attributesPathForPath(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return pkg::AttributesPrefix + path;
    return path.left(slash) + '/' + pkg::AttributesPrefix + path.mid(slash + 1);
}

QString MyDocument::parentFolder(const PackagePath& path) const
{
    // The package root is always writable; only folders inside it are kept read-only.
    return path.parent().isRoot() ? QString() : path.parent().absoluteUnder(dbPath_);
}

QString MyDocument::absolutePath(const QString& relative) const
{
    const auto p = PackagePath::fromString(relative);
    if (!p || dbPath_.isEmpty())
        return {};
    return fs::onDiskPath(p->absoluteUnder(dbPath_));
}

void MyDocument::addProblem(const QString& path, const QString& reason)
{
    problems_.push_back({path, reason});
    appendDebugInfo(QStringLiteral("\n\nIndex entry skipped in %1: \"%2\": %3").arg(dbPath_, path, reason));
}

QString MyDocument::logDateFormat() const
{
    const plist::Value* european = prefs_ ? prefs_->value(QStringLiteral("EuropeanDates")) : nullptr;
    if (!european && appPrefs_)
        european = appPrefs_->value(QStringLiteral("EuropeanDates"));
    return DateFormats::forEuropean(european && european->toBool()).logFormat;
}

void MyDocument::diskError(const QString& step, const QString& path)
{
    const QString detail = fs::lastError();
    // One line per error in the disk-error log, kept under the user's state folder.
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty() || !QDir::isAbsolutePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    const QString dir = stateHome + QStringLiteral("/folivo");
    QDir().mkpath(dir);
    QFile log(dir + QStringLiteral("/Folivo.log"));
    if (log.open(QIODevice::Append | QIODevice::Text)) {
        const QString time = QLocale::c().toString(QDateTime::currentDateTime(), logDateFormat());
        log.write(QStringLiteral("%1 -- %2:%3\n").arg(time, step, path).toUtf8());
    }
    appendDebugInfo(QStringLiteral("\n\nDisk error: %1: %2 (%3)").arg(step, path, detail));
    ui_.progressStop();
    ui_.diskError(step, path, detail);
}

// ---------------------------------------------------------------------------------------
// Writing the package

bool MyDocument::writeArchive(const QString& abs, const plist::Value& root, fs::Durability durability)
{
    const QByteArray bytes = plist::encodeKeyedArchive(root);
    if (bytes.isEmpty())
        return false;
    // Nothing beside the file is removed: "X.old" is the name of another item's file as
    // much as of a copy an interrupted write left.
    return fs::writeFileAtomic(abs, bytes, 0644, durability);
}

bool MyDocument::writeStoredArchive(const QString& abs, const plist::Value& root, fs::Durability durability)
{
    if (!dbEncrypted_)
        return writeArchive(abs, root, durability);
    if (!cipher_)
        return false;
    const QByteArray plain = plist::encodeKeyedArchive(root);
    if (plain.isEmpty())
        return false;
    const auto stored = cipher_->encipher(plain);
    if (!stored || !fs::writeFileAtomic(abs + '.' + pkg::EncFile, *stored, 0644, durability))
        return false;
    // A plain copy of this very file must not outlive the enciphered one. Nothing else
    // beside it is removed (see writeArchive).
    if (fs::exists(abs))
        fs::removeFile(abs);
    return true;
}

std::optional<plist::Value> MyDocument::readStoredArchive(const QString& abs, const QString& itemName) const
{
    // After a crash while the file was being replaced only another copy may be readable:
    // the stored form first, then the ".old" copy the macOS edition makes while it writes.
    // For an attributes file that copy is taken only when its record is the item's own:
    // ".+X.old" is just as well the attributes file of an item "X.old".
    auto ownRecord = [&](std::optional<plist::Value> v) -> std::optional<plist::Value> {
        if (!v || itemName.isEmpty())
            return v;
        const plist::Value* path = v->isDict() ? v->dict().find(keys::Path) : nullptr;
        if (!path || !path->isString() || lastComponentOf(path->string()) != itemName)
            return std::nullopt;
        return v;
    };
    if (!dbEncrypted_) {
        if (auto v = plist::readKeyedArchiveFile(abs))
            return v;
        return ownRecord(plist::readKeyedArchiveFile(abs + pkg::OldSuffix));
    }
    if (!cipher_)
        return std::nullopt;
    const QString enciphered = abs + '.' + pkg::EncFile;
    for (const QString& candidate : {enciphered, abs, enciphered + pkg::OldSuffix}) {
        if (!fs::isRegularFile(candidate))
            continue;
        const auto bytes = fs::readFile(candidate);
        if (!bytes)
            continue;
        if (candidate == abs) {
            if (auto v = plist::decodeKeyedArchive(*bytes))
                return v;
            continue;
        }
        if (const auto plain = cipher_->decipher(*bytes))
            if (auto v = plist::decodeKeyedArchive(*plain))
                return candidate == enciphered ? v : ownRecord(std::move(v));
    }
    return std::nullopt;
}

bool MyDocument::writeAttributesFileForItem(const IndexItem* item, fs::Durability durability)
{
    // Once an attributes file differs from ".index", a crash must lead to a rebuild: the
    // marker goes down first, whoever changes the tree. Without it nothing is written.
    if (dbOpen_ && dbWriteable_ && !createChangedMarker())
        return false;
    ++attributeWrites_;
    if (!item) {
        plist::Array paths;
        paths.reserve(tree_.categoriesArray().size());
        for (const auto& top : tree_.categoriesArray())
            paths.push_back(top->path());
        return writeStoredArchive(dbPath_ + '/' + pkg::DIndex, paths, durability);
    }
    const auto itemPath = PackagePath::fromString(item->path());
    if (!itemPath || itemPath->isRoot())
        return false;
    const QString target = attributesPathForPath(item->path());
    const QString parentDir = parentFolder(*itemPath);
    fs::ScopedWritable writable(parentDir);
    return writeStoredArchive(dbPath_ + '/' + target, item->attributesValue(), durability);
}

bool MyDocument::writeIndexArchive()
{
    plist::Array top;
    top.reserve(tree_.categoriesArray().size());
    for (const auto& item : tree_.categoriesArray())
        top.push_back(item->toValue());
    return writeStoredArchive(categoriesArchiveFile_, top, fs::Durability::Flush);
}

bool MyDocument::changed()
{
    needsBackup_ = true;
    noNeedToSaveNow_ = false;
    return createChangedMarker();
}

bool MyDocument::createChangedMarker()
{
    if (!dbWriteable_)
        return false;
    const QString marker = dbPath_ + '/' + pkg::Changed;
    return fs::exists(marker) || fs::createMarker(marker, pkg::MarkerMode);
}

// ---------------------------------------------------------------------------------------
// Opening

bool MyDocument::dbSpecificInit(const QString& path)
{
    close();
    problems_.clear();
    pendingRepairs_.clear();
    dbPath_ = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    packageRoot_.emplace(dbPath_);
    tempDir_ = createPrivateTempFolder(QFileInfo(dbPath_).fileName());
    if (tempDir_.isEmpty())
        return false;
    dbWriteable_ = fs::isWritable(dbPath_);
    packageWritable_ = dbWriteable_;
    return true;
}

OpenResult MyDocument::lockPackage()
{
    const auto mode = forReading_ ? PackageLock::Mode::Shared : PackageLock::Mode::Exclusive;
    switch (lock_.take(dbPath_, mode)) {
    case PackageLock::Outcome::Held:
        break;
    case PackageLock::Outcome::InUse:
        return {OpenStatus::InUse, msg::DatabaseInUse.arg(QFileInfo(dbPath_).fileName())};
    case PackageLock::Outcome::Unsupported:
        // Refusing would lock the owner out of a database on such a disk; it opens as it
        // did before there was a lock.
        appendDebugInfo(QStringLiteral("\n\n%1 cannot be locked on its disk (%2); opened without a lock")
                            .arg(dbPath_, lock_.error()));
        break;
    case PackageLock::Outcome::Failed:
        return {OpenStatus::Failed, QStringLiteral("\"%1\" cannot be opened: %2").arg(dbPath_, lock_.error())};
    }
    return {OpenStatus::Opened, {}};
}

void MyDocument::readSettings()
{
    const QString drawer = dbPath_ + '/' + pkg::DrawerOpen;
    const QString stateFile = dbPath_ + '/' + pkg::AttributesState;
    if (fs::isReadable(drawer) && dbWriteable_) {
        fs::removeFile(drawer);
        writeArchive(stateFile, drawerOpenReplacementState(), fs::Durability::Flush);
    } else if (fs::isReadable(drawer) && notesRepairs()) {
        notePendingRepair(msg::PendingDrawerOpen);
    }
    settings_ = DatabaseSettings::fromAttributesState(plist::readKeyedArchiveFile(stateFile), prefs_);
    tree_.sorting = settings_.sorting;
}

OpenResult MyDocument::openDatabase(const QString& path, OpenOptions options)
{
    if (!QFileInfo(path).isDir())
        return {OpenStatus::NotFound, QStringLiteral("There is no database at \"%1\".").arg(path)};
    if (!dbSpecificInit(path))
        return {OpenStatus::Failed, QStringLiteral("No private temporary folder could be made: %1").arg(fs::lastError())};
    // The lock comes before anything is read: another program may be changing the package.
    forReading_ = options.forReading;
    if (OpenResult locked = lockPackage(); !locked.ok()) {
        close();
        return locked;
    }
    if (forReading_)
        dbWriteable_ = false;
    readSettings();

    OpenResult checked = checkPackage();
    if (!checked.ok()) {
        close();
        return checked;
    }
    if (dbEncrypted_ && !promptForPassword()) {
        close();
        return {OpenStatus::Cancelled,
                QStringLiteral("\"%1\" was not opened: no password was given or accepted.").arg(QFileInfo(dbPath_).fileName())};
    }

    // The rebuild question is asked only when there is a distributed index to rebuild from.
    bool rebuild = false;
    if (options.rebuildRequested && dindexPresent_) {
        const int choice = ui_.ask({msg::RebuildIndexPrompt, msg::RebuildIndexTitle, msg::RebuildIndexText,
                                    {{msg::OpenNormallyAnswer, msg::OpenNormally},
                                     {msg::RebuildIndexAnswer, msg::RebuildIndexButton},
                                     {msg::CancelAnswer, msg::Cancel}}});
        if (choice != 0 && choice != 1) {
            close();
            return {OpenStatus::Cancelled, QStringLiteral("Opening was cancelled.")};
        }
        rebuild = choice == 1;
    }
    // The check at the end of the open needs the package's listing, which is read on
    // another thread meanwhile: on a large database the two take as long as the longer.
    pendingListing_ = std::make_unique<PackageListing>(PackageListing::start(dbPath_, true));
    OpenResult result = finishDatabaseOpen(rebuild);
    decipheredIndex_.reset(); // unused when the tree was rebuilt instead
    if (!result.ok()) {
        close();
        return result;
    }
    writeMarkerIfNeeded();
    // Every open compares the tree with the package and asks what to do about differences.
    repairDBandFindReminders();
    readHistory();
    return result;
}

OpenResult MyDocument::checkPackage()
{
    noNeedToSaveNow_ = true;
    auto at = [this](const QString& name) { return dbPath_ + '/' + name; };

    // Older databases named the index ".categories". Renaming never replaces an index that
    // is already there.
    if (dbWriteable_) {
        if (fs::exists(at(pkg::LegacyEncryptedIndex)) && !fs::exists(at(pkg::EncryptedIndex)))
            fs::rename(at(pkg::LegacyEncryptedIndex), at(pkg::EncryptedIndex));
        if (fs::exists(at(pkg::LegacyIndex)) && !fs::exists(at(pkg::Index)))
            fs::rename(at(pkg::LegacyIndex), at(pkg::Index));
    } else if (notesRepairs()) {
        for (const auto& [legacy, current] : {std::pair{pkg::LegacyEncryptedIndex, pkg::EncryptedIndex},
                                              std::pair{pkg::LegacyIndex, pkg::Index}})
            if (fs::exists(at(legacy)) && !fs::exists(at(current)))
                notePendingRepair(msg::PendingIndexRename.arg(legacy, current));
    }

    const bool anyIndex = fs::isReadable(at(pkg::Index)) || fs::isReadable(at(pkg::EncryptedIndex))
                          || fs::isReadable(at(pkg::LegacyIndex)) || fs::isReadable(at(pkg::LegacyEncryptedIndex));
    if (!anyIndex) {
        ui_.alert(msg::InvalidDatabasePrompt, msg::InvalidDatabaseTitle, msg::InvalidDatabaseText);
        return {OpenStatus::Invalid, QStringLiteral("\"%1\" is not a valid Folivo database.").arg(dbPath_)};
    }

    dbEncryptedIndex_ = pkg::EncryptedIndex;
    dbEncrypted_ = fs::isReadable(at(dbEncryptedIndex_));
    if (!dbEncrypted_ && fs::isReadable(at(pkg::LegacyEncryptedIndex))) {
        dbEncryptedIndex_ = pkg::LegacyEncryptedIndex;
        dbEncrypted_ = true;
    }

    // The index is kept as this one path; in an encrypted database it is only ever written
    // enciphered, beside it.
    if (dbEncrypted_)
        categoriesArchiveFile_ = at(dbEncryptedIndex_.chopped(pkg::EncFile.size() + 1));
    else if (!dbWriteable_ && !fs::isReadable(at(pkg::Index)))
        categoriesArchiveFile_ = at(pkg::LegacyIndex);
    else
        categoriesArchiveFile_ = at(pkg::Index);

    // Whether folders inside the package can be changed at all (a read-only volume). Asked
    // without trying: a trial chmod would change the folder's time even when only reading.
    const QString unfiled = at(pkg::Unfiled);
    dbReadOnly_ = fs::isDirectory(unfiled) && !fs::modeChangeable(unfiled) && dbEncrypted_;
    dindexPresent_ = fs::isReadable(at(dbEncrypted_ ? pkg::EncryptedDIndex : pkg::DIndex));
    return {OpenStatus::Opened, {}};
}

QStringList MyDocument::readDIndex() const
{
    QStringList paths;
    const auto root = readStoredArchive(dbPath_ + '/' + pkg::DIndex);
    if (root && root->isArray())
        for (const auto& v : root->array())
            paths << (v.isString() ? v.string() : QString());
    return paths;
}

OpenResult MyDocument::finishDatabaseOpen(bool rebuild)
{
    const bool changedMarker = fs::exists(dbPath_ + '/' + pkg::Changed);
    rebuiltAtOpen_ = false;
    if (!rebuild && !changedMarker) {
        ui_.progressStart(msg::OpeningDatabase, QString(), msg::OpenMinimumMs);
        const bool loaded = loadIndexArchive();
        // An index that cannot be read (or holds nothing) must not show an empty tree while
        // the distributed index still lists items: rebuild from it instead.
        if ((!loaded || tree_.empty()) && dindexPresent_ && !readDIndex().isEmpty()) {
            appendDebugInfo(QStringLiteral("\n\nIndex of %1 unreadable or empty; rebuilt from the attributes files").arg(dbPath_));
            rebuildIndex();
            rebuiltAtOpen_ = true;
            changed();
        }
    } else {
        ui_.progressStart(msg::RebuildingIndex, changedMarker ? msg::NotClosedProperly : QString(), msg::RebuildMinimumMs);
        rebuildIndex();
        rebuiltAtOpen_ = true;
        changed();
    }
    if (rebuiltAtOpen_ && notesRepairs())
        notePendingRepair(msg::PendingRebuild);

    readCustomAttributeNames();
    dbOpen_ = true;
    ui_.progressStop();

    // One-time conversions of older packages.
    const bool needsDistributedIndex = dbWriteable_ && !dindexPresent_;
    if (needsDistributedIndex || (dbWriteable_ && !fs::exists(dbPath_ + '/' + pkg::DIndexVer4)))
        convertDistributedIndex(needsDistributedIndex);
    else if (notesRepairs() && !dindexPresent_)
        notePendingRepair(msg::PendingConversion);
    else if (notesRepairs() && !fs::exists(dbPath_ + '/' + pkg::DIndexVer4))
        notePendingRepair(msg::PendingIndexUpdate);

    ui_.reloadBrowser();
    appendDebugInfo(QStringLiteral("\n\nOpened DB=%1; Encrypted=%2").arg(dbPath_, dbEncrypted_ ? "YES" : "NO"));
    return {OpenStatus::Opened, {}};
}

bool MyDocument::acceptLoadedPath(const QString& path, const QString& expectedParent, int depth)
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
    else if (rebuildSeen_.contains(path))
        reason = QStringLiteral("the path is used twice");
    else if (depth > MaxTreeDepth)
        reason = QStringLiteral("folders nest too deeply");
    if (reason.isEmpty())
        return true;
    addProblem(path, reason);
    return false;
}

std::unique_ptr<IndexItem> MyDocument::itemFromRecord(plist::Value&& record, const QString& expectedParent, int depth)
{
    if (!record.isDict()) {
        addProblem(expectedParent, QStringLiteral("an entry that is not a record"));
        return nullptr;
    }
    plist::Dict& d = record.dict();
    const plist::Value* pathValue = d.find(keys::Path);
    const QString path = pathValue && pathValue->isString() ? pathValue->string() : QString();
    if (!acceptLoadedPath(path, expectedParent, depth))
        return nullptr;
    rebuildSeen_.insert(path);

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

bool MyDocument::loadIndexArchive()
{
    std::optional<plist::Value> root;
    if (decipheredIndex_) {
        root = std::move(decipheredIndex_);
        decipheredIndex_.reset();
    } else {
        root = readStoredArchive(categoriesArchiveFile_);
    }
    if (!root || !root->isArray()) {
        tree_.reset({});
        return false;
    }
    rebuildSeen_.clear();
    ItemList top;
    top.reserve(root->array().size());
    for (auto& v : root->array())
        if (auto item = itemFromRecord(std::move(v), QString(), 0))
            top.push_back(std::move(item));
    rebuildSeen_.clear();
    tree_.reset(std::move(top));
    return true;
}

void MyDocument::readCustomAttributeNames()
{
    customAttributeNames_.clear();
    const QString file = dbPath_ + '/' + pkg::CustomAttributeNames;
    const auto names = plist::readKeyedArchiveFile(file);
    if (names && names->isArray()) {
        for (const auto& n : names->array())
            if (n.isString())
                customAttributeNames_ << n.string();
        return;
    }
    if (dbWriteable_ && !fs::exists(file))
        writeArchive(file, plist::Array{}, fs::Durability::Flush);
    else if (notesRepairs() && !fs::exists(file))
        notePendingRepair(msg::PendingCustomAttributeNames);
}

bool MyDocument::backupBeforeConversion(QString* where)
{
    const QFileInfo info(dbPath_);
    const QString base = info.completeBaseName();
    // The name is claimed by making the folder, so that a failed copy removes only what it
    // made itself, never a folder that happened to carry the name.
    QString target = info.path() + '/' + base + QStringLiteral(" (before index conversion).") + pkg::Extension;
    for (int n = 2; !fs::makeDirectory(target, 0700); ++n) {
        if (errno != EEXIST || n > 10000) {
            *where = fs::lastError();
            return false;
        }
        target = info.path() + '/' + base + QStringLiteral(" (before index conversion %1).").arg(n) + pkg::Extension;
    }
    *where = target;
    bool ok = true;
    const QStringList names = QDir(dbPath_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& n : names)
        ok = ok && fs::copyTree(dbPath_ + '/' + n, target + '/' + n);
    if (ok)
        ok = fs::setMode(target, fs::mode(dbPath_).value_or(pkg::ReadWriteMode));
    if (ok)
        return true;
    const QString why = fs::lastError();
    fs::deleteTree(target);
    *where = why;
    return false;
}

bool MyDocument::convertDistributedIndex(bool backUpFirst)
{
    if (backUpFirst) {
        ui_.alert(msg::MustConvertPrompt, QString(), msg::MustConvert);
        QString where;
        if (!backupBeforeConversion(&where)) {
            ui_.alert(msg::ConversionBackupFailedPrompt, msg::ConversionBackupFailedTitle,
                      msg::ConversionBackupFailedText.arg(where));
            return false;
        }
        appendDebugInfo(QStringLiteral("\n\nBacked up %1 to %2 before converting its index").arg(dbPath_, where));
    }
    ui_.progressStart(msg::UpdatingIndex, msg::UpdatingIndexText, msg::UpdateIndexMinimumMs);
    // Thousands of small files: write them without a flush each and flush once at the end.
    for (IndexItem* item : tree_.flatArray()) {
        if (!writeAttributesFileForItem(item, fs::Durability::NoFlush)) {
            diskError(QStringLiteral("Updating Index"), attributesPathForPath(item->path()));
            return false;
        }
    }
    bool ok = writeAttributesFileForItem(nullptr, fs::Durability::NoFlush) && fs::syncFileSystem(dbPath_);
    if (ok)
        ok = fs::createMarker(dbPath_ + '/' + pkg::DIndexVer4, pkg::MarkerMode);
    ui_.progressStop();
    if (!ok) {
        diskError(QStringLiteral("Updating Index"), dbPath_);
        return false;
    }
    dindexPresent_ = true;
    changed();
    return true;
}

// ---------------------------------------------------------------------------------------
// Rebuilding from the distributed index

void MyDocument::rebuildIndex()
{
    const QStringList top = readDIndex();
    if (top.isEmpty()) {
        loadIndexArchive();
        return;
    }
    rebuildSeen_.clear();
    ItemList items;
    items.reserve(std::size_t(top.size()));
    for (const QString& path : top)
        rebuildItemWithPath(path, QString(), items, 0);
    rebuildSeen_.clear();
    keyPool_.clear();
    tree_.reset(std::move(items));
}

void MyDocument::rebuildItemWithPath(const QString& listedPath, const QString& parentPath, ItemList& into, int depth)
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
    auto record = readStoredArchive(dbPath_ + '/' + attributesPathForPath(path), lastComponentOf(path));
    if (!record || !record->isDict()) {
        addProblem(path, QStringLiteral("its attributes file cannot be read"));
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
            addProblem(path, QStringLiteral("its attributes file names another path"));
            return;
        }
        d.set(keys::Path, path);
    }
    rebuildSeen_.insert(path);

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

// ---------------------------------------------------------------------------------------
// Creating

OpenResult MyDocument::createDatabase(const QString& requested)
{
    QString path = requested;
    if (QFileInfo(path).suffix() != pkg::Extension)
        path += '.' + pkg::Extension;
    const QString abs = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (fs::exists(abs))
        return {OpenStatus::Failed, QStringLiteral("\"%1\" already exists; choose another name.").arg(abs)};
    const NameProblem nameProblem = checkName(QFileInfo(abs).fileName());
    if (nameProblem != NameProblem::None)
        return {OpenStatus::Failed, nameProblemMessage(nameProblem)};
    if (!fs::makeDirectories(QFileInfo(abs).path(), 0755) || !fs::makeDirectory(abs, pkg::ReadWriteMode))
        return {OpenStatus::Failed, QStringLiteral("The database cannot be created: %1").arg(fs::lastError())};

    auto fail = [&]() -> OpenResult {
        const QString why = fs::lastError();
        close();
        fs::deleteTree(abs);
        dbPath_.clear();
        return {OpenStatus::Failed, QStringLiteral("The database cannot be created: %1").arg(why)};
    };
    if (!dbSpecificInit(abs))
        return fail();
    if (OpenResult locked = lockPackage(); !locked.ok()) {
        close();
        fs::deleteTree(abs);
        dbPath_.clear();
        return locked;
    }
    settings_ = DatabaseSettings::forNewDatabase(prefs_);
    tree_.sorting = settings_.sorting;
    categoriesArchiveFile_ = dbPath_ + '/' + pkg::Index;
    dbEncrypted_ = false;
    dbReadOnly_ = false;

    if (!fs::makeDirectory(dbPath_ + '/' + pkg::Unfiled, pkg::ReadOnlyMode))
        return fail();
    tree_.reset({});
    IndexItem* unfiled = tree_.insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, pkg::Unfiled}}, true));
    if (!writeIndexArchive() || !writeAttributesFileForItem(nullptr) || !writeAttributesFileForItem(unfiled)
        || !fs::createMarker(dbPath_ + '/' + pkg::DIndexVer4, pkg::MarkerMode)
        || !writeArchive(dbPath_ + '/' + pkg::CustomAttributeNames, plist::Array{}, fs::Durability::Flush))
        return fail();
    dindexPresent_ = true;
    customAttributeNames_.clear();
    dbOpen_ = true;
    ui_.reloadBrowser();
    return {OpenStatus::Opened, {}};
}

// ---------------------------------------------------------------------------------------
// Tree operations on the package

std::optional<QString> MyDocument::pathOrEncryptedPath(const QString& path) const
{
    const QString abs = absolutePath(path);
    if (abs.isEmpty())
        return std::nullopt;
    if (fs::isReadable(abs))
        return path;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (fs::isReadable(abs + '.' + suffix))
            return path + '.' + suffix;
    return std::nullopt;
}

QString MyDocument::uniquePathForPath(const QString& path) const
{
    auto taken = [this](const QString& candidate) {
        if (tree_.itemForPath(candidate))
            return true;
        const auto pp = PackagePath::fromString(candidate);
        if (!pp)
            return true;
        // Not absolutePath: behind a link every name would look taken. The disk calls
        // never look through one anyway.
        const QString abs = pp->absoluteUnder(dbPath_);
        if (fs::exists(abs))
            return true;
        for (const QString& suffix : pkg::EncipheredSuffixes)
            if (fs::exists(abs + '.' + suffix))
                return true;
        const QString attrs = dbPath_ + '/' + attributesPathForPath(candidate);
        return fs::exists(attrs) || fs::exists(attrs + QStringLiteral(".fvdbe"));
    };
    if (!taken(path))
        return path;
    const qsizetype slash = path.lastIndexOf('/');
    const qsizetype dot = path.lastIndexOf('.');
    const bool hasExtension = dot > slash + 1 && dot < path.size() - 1;
    const QString stem = hasExtension ? path.left(dot) : path;
    const QString extension = hasExtension ? path.mid(dot) : QString();
    for (qint64 n = 2;; ++n) {
        const QString candidate = stem + QString::number(n) + extension;
        if (!taken(candidate))
            return candidate;
    }
}

bool MyDocument::createDateCategoryOnDisk(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    bool ok = pp && !pp->isRoot();
    if (ok) {
        fs::ScopedWritable writable(parentFolder(*pp));
        ok = fs::makeDirectories(pp->absoluteUnder(dbPath_), pkg::ReadOnlyMode);
    }
    if (!ok)
        diskError(QStringLiteral("Creating Date Category"), path);
    return ok;
}

IndexItem* MyDocument::createDateCategoryInIndex(const QString& path, IndexItem* parent)
{
    auto item = std::make_unique<IndexItem>(plist::Dict{{keys::Path, path}, {keys::Date, true}}, true);
    IndexItem* raw = tree_.insert(parent, std::move(item));
    tree_.sortDatesOnly(parent);
    if (!writeAttributesFileForItem(raw) || !writeAttributesFileForItem(parent)) {
        diskError(QStringLiteral("Creating Date Category"), attributesPathForPath(path));
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

bool MyDocument::deletePath(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot())
        return false;
    fs::ScopedWritable writable(parentFolder(*pp));
    bool ok = true;
    // Stored forms only where there are any: in a plain database "X.fvdbe" is the name of
    // another item.
    for (const QString& suffix : QStringList{QString()} + (dbEncrypted_ ? pkg::EncipheredSuffixes : QStringList())) {
        const PackagePath target = suffix.isEmpty() ? *pp : pp->withSuffix('.' + suffix);
        if (!fs::deleteInside(dbPath_, target)) {
            ok = false;
            if (pp->depth() == 1)
                appendDebugInfo(QStringLiteral("\n\nDelete of %1 failed: %2\n").arg(target.str(), fs::lastError()));
        }
    }
    return ok;
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

void MyDocument::removeItem(IndexItem* item, bool deleteFiles)
{
    const QString path = item->path(); // the item goes before its files do
    const bool smart = item->isSmartFolder();
    IndexItem* owner = item->parent();
    tree_.take(item); // children and all; observers hear of each item
    if (deleteFiles && !smart)
        deletePath(path);
    if (const auto pp = PackagePath::fromString(path)) {
        const QString attrs = dbPath_ + '/' + attributesPathForPath(path);
        fs::ScopedWritable writable(parentFolder(*pp));
        fs::removeFile(attrs);
        if (dbEncrypted_) // in a plain database, the attributes file of an item "X.fvdbe"
            fs::removeFile(attrs + '.' + pkg::EncFile);
    }
    writeAttributesFileForItem(owner);
}

bool MyDocument::deleteCategoryWithPath(const QString& path, IndexItem* folder)
{
    IndexItem* found = tree_.itemForPath(path);
    if (found && folder) {
        // Only within the folder given.
        const IndexItem* p = found->parent();
        while (p && p != folder)
            p = p->parent();
        if (!p)
            found = nullptr;
    }
    if (!found)
        return false;
    removeItem(found, true);
    return true;
}

void MyDocument::sortAll()
{
    tree_.sortCategories(nullptr);
    writeAttributesFileForItem(nullptr);
    changed();
    ui_.reloadBrowser();
}

// ---------------------------------------------------------------------------------------
// Encrypted databases

bool MyDocument::promptForPassword()
{
    const PasswordRequest request{msg::PasswordTitle, msg::PasswordText.arg(QFileInfo(dbPath_).fileName()),
                                  msg::PasswordWrong};
    return ui_.askPassword(request, [this](const QString& password) { return checkPassword(password); });
}

bool MyDocument::checkPassword(const QString& password)
{
    auto key = crypto::DatabaseKey::fromPassword(password);
    if (!key)
        return false;
    auto decipherFile = [&](const QString& name) -> std::optional<QByteArray> {
        const auto bytes = fs::readFile(dbPath_ + '/' + name, qint64(1) << 30);
        if (!bytes)
            return std::nullopt;
        return crypto::cryptData(key->decryptor(), *bytes);
    };

    // The marker proves the key when it deciphers to its known text. It cannot disprove
    // one: a damaged, truncated, emptied or overwritten marker refuses every key, the
    // right one too. So whenever it does not prove the key (and for older databases
    // without one) the password is right only when the index deciphers to a readable
    // archive: a wrong key gives valid padding about once in 256 tries, but never an
    // archive. A marker that did not prove the right key is written again after the open.
    bool markerChecked = false;
    const QString marker = dbPath_ + '/' + pkg::EncryptedMarkerStored;
    if (fs::isRegularFile(marker) && fs::isReadable(marker)) {
        const auto plain = decipherFile(pkg::EncryptedMarkerStored);
        markerChecked = plain && *plain == pkg::EncryptedMarkerContent;
    }

    std::optional<plist::Value> index;
    if (const auto plain = decipherFile(dbEncryptedIndex_))
        if (auto decoded = plist::decodeKeyedArchive(*plain); decoded && decoded->isArray())
            index = std::move(decoded);
    if (!markerChecked && !index) {
        // An unreadable index with a readable distributed index still proves the key.
        const auto dindex = decipherFile(pkg::EncryptedDIndex);
        const auto decoded = dindex ? plist::decodeKeyedArchive(*dindex) : std::nullopt;
        if (!decoded || !decoded->isArray())
            return false;
    }

    cipher_ = std::make_unique<DocumentCipher>(dbPath_, tempDir_, std::move(key));
    decipheredIndex_ = std::move(index);
    markerNeeded_ = !markerChecked;
    if (markerNeeded_ && fs::exists(marker))
        appendDebugInfo(QStringLiteral("\n\nPassword marker of %1 could not prove the key; the index did").arg(dbPath_));

    const QString unfiled = dbPath_ + '/' + pkg::Unfiled;
    if (dbWriteable_ && !fs::isReadable(unfiled))
        fs::makeDirectories(unfiled, pkg::ReadWriteMode);
    return true;
}

void MyDocument::writeMarkerIfNeeded()
{
    // Only once the database has opened with this key: a marker written with a wrong key
    // would lock the owner out for good.
    if (markerNeeded_ && cipher_ && notesRepairs())
        notePendingRepair(msg::PendingMarker);
    if (!markerNeeded_ || !dbWriteable_ || !cipher_)
        return;
    markerNeeded_ = false;
    const auto stored = cipher_->encipher(pkg::EncryptedMarkerContent);
    const bool ok = stored && fs::writeFileAtomic(dbPath_ + '/' + pkg::EncryptedMarker, pkg::EncryptedMarkerContent)
                    && fs::writeFileAtomic(dbPath_ + '/' + pkg::EncryptedMarkerStored, *stored);
    if (!ok) // the next open tries again
        appendDebugInfo(QStringLiteral("\n\nPassword marker of %1 not written: %2").arg(dbPath_, fs::lastError()));
}

bool MyDocument::historyRestoreOn() const
{
    return appPrefs_ && appPrefs_->boolForKey(prefkeys::HistoryRestore);
}

void MyDocument::readHistory()
{
    // Entries stay paths until they are shown; nothing is selected here, as no window
    // shows this database yet.
    const QString file = dbPath_ + '/' + pkg::History;
    const bool plainCopy = fs::exists(file);
    const bool present = plainCopy || fs::exists(file + '.' + pkg::EncFile);
    const std::optional<plist::Value> stored = present ? readStoredArchive(file) : std::nullopt;
    // What the package holds, so that a save writes only a history that changed (a missing
    // file holds the empty one). A plain copy in an encrypted package must be rewritten.
    storedHistory_.reset();
    if (!present)
        storedHistory_ = history_.archiveValue(false);
    else if (!(dbEncrypted_ && plainCopy))
        storedHistory_ = stored;

    // Without application preferences (a command that does not load them) the stored
    // history is kept as it is; a save then leaves it alone.
    if (appPrefs_ && !historyRestoreOn()) {
        history_.clear();
        return;
    }
    if (!history_.restore(stored) && present)
        appendDebugInfo(QStringLiteral("\n\nThe navigation history of %1 could not be read; it starts empty").arg(dbPath_));
}

bool MyDocument::backupWarningNeeded(bool writable, bool alreadyWarned, bool backupPreference, bool backupFolderGood)
{
    return writable && !alreadyWarned && !(backupPreference && backupFolderGood);
}

bool MyDocument::needsBackupWarning(bool backupPreference, bool backupFolderGood) const
{
    return dbEncrypted_
           && backupWarningNeeded(dbWriteable_, fs::exists(dbPath_ + '/' + pkg::WarnedAboutBackup), backupPreference,
                                  backupFolderGood);
}

bool MyDocument::markWarnedAboutBackup()
{
    return fs::writeFileAtomic(dbPath_ + '/' + pkg::WarnedAboutBackup, QByteArrayLiteral("Warned"));
}

StoreResult MyDocument::encryptFile(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || !cipher_ || !dbWriteable_ || dbReadOnly_) {
        StoreResult r;
        r.error = QStringLiteral("\"%1\" cannot be enciphered here.").arg(path);
        return r;
    }
    return cipher_->encryptFile(*pp);
}

StoreResult MyDocument::decryptFile(const QString& path, bool leaveEncryptedFile, const QString* password)
{
    StoreResult r;
    const auto pp = PackagePath::fromString(path);
    if (!pp || !cipher_) {
        r.error = QStringLiteral("\"%1\" cannot be deciphered here.").arg(path);
        return r;
    }
    if (!leaveEncryptedFile && (!dbWriteable_ || dbReadOnly_)) {
        r.error = QStringLiteral("The database cannot be changed.");
        return r;
    }
    std::unique_ptr<crypto::DatabaseKey> other;
    if (password) {
        other = crypto::DatabaseKey::fromPassword(*password);
        if (!other) {
            r.error = QStringLiteral("No key could be made from the password.");
            return r;
        }
        if (other->key().sameAs(cipher_->key().key()))
            other.reset();
    }
    return cipher_->decryptFile(*pp, leaveEncryptedFile, other.get());
}

bool MyDocument::cryptForCopy(const IndexItem* item, bool encrypt)
{
    if (!dbEncrypted_ || !item || item->isSmartFolder())
        return true;
    if (item->hasChildren()) {
        bool ok = true;
        for (const auto& child : item->children())
            ok = cryptForCopy(child.get(), encrypt) && ok;
        return ok;
    }
    if (!item->isFile())
        return true;
    const StoreResult r = encrypt ? encryptFile(item->path()) : decryptFile(item->path(), false);
    if (!r.ok)
        appendDebugInfo(QStringLiteral("\n\n%1 of %2 failed: %3")
                            .arg(encrypt ? QStringLiteral("Enciphering") : QStringLiteral("Deciphering"), item->path(),
                                 r.error));
    return r.ok;
}

QString MyDocument::encryptedPath(const QString& path) const
{
    if (!dbEncrypted_)
        return path;
    const QString abs = absolutePath(path);
    if (abs.isEmpty())
        return path;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (fs::exists(abs + '.' + suffix))
            return path + '.' + suffix;
    return path;
}

QString MyDocument::decryptedPath(const QString& path) const
{
    if (!dbEncrypted_)
        return path;
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (path.endsWith('.' + suffix))
            return path.chopped(suffix.size() + 1);
    return path;
}

std::optional<PlainCopy> MyDocument::plainCopyForReading(const QString& path, QString* error)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot()) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a path inside the database.").arg(path);
        return std::nullopt;
    }
    if (dbEncrypted_ && cipher_ && cipher_->storedFormOf(*pp) != StoredForm::None)
        return cipher_->plainCopy(*pp, error);
    const QString abs = pp->absoluteUnder(dbPath_);
    if (!fs::exists(abs)) {
        if (error)
            *error = QStringLiteral("\"%1\" is not in the database.").arg(path);
        return std::nullopt;
    }
    return PlainCopy(abs, QString());
}

std::optional<PlainCopy> MyDocument::copyForHandingOut(const QString& path, QString* error)
{
    std::optional<PlainCopy> plain = plainCopyForReading(path, error);
    if (!plain || !plain->valid() || plain->isPrivate())
        return plain;
    // The item itself, inside the package: copied into a folder of its own.
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (tempDir_.isEmpty())
        return fail(QStringLiteral("No private temporary folder."));
    QByteArray holderName = QFile::encodeName(tempDir_ + QStringLiteral("/out-XXXXXX"));
    if (!::mkdtemp(holderName.data())) // mode 0700
        return fail(QStringLiteral("No private temporary folder: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    const QString holder = QFile::decodeName(holderName);
    const QString copy = holder + '/' + QFileInfo(plain->path()).fileName();
    const bool folder = fs::isDirectory(plain->path());
    if (!(folder ? fs::copyTree(plain->path(), copy) : fs::cloneFile(plain->path(), copy))) {
        const QString why = fs::lastError();
        fs::deleteTree(holder);
        return fail(QStringLiteral("\"%1\" could not be copied: %2").arg(path, why));
    }
    if (!folder)
        fs::setMode(copy, 0400);
    return PlainCopy(copy, holder);
}

bool MyDocument::readItemContent(const QString& path, const QString& inner,
                                 const std::function<bool(const char*, qsizetype)>& sink, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot())
        return fail(QStringLiteral("\"%1\" is not a path inside the database.").arg(path));
    if (dbEncrypted_ && cipher_ && cipher_->storedFormOf(*pp) != StoredForm::None)
        return cipher_->readContent(*pp, inner, sink, error);

    std::optional<PackagePath> target = pp;
    if (!inner.isEmpty()) {
        const auto innerPath = PackagePath::fromString(pp->str() + '/' + inner);
        if (!innerPath || !fs::isDirectory(pp->absoluteUnder(dbPath_)))
            return fail(QStringLiteral("\"%1\" has no file \"%2\".").arg(path, inner));
        target = innerPath;
    }
    // A link must not lead the reader anywhere: the path as the disk spells it, with no
    // link on the way.
    const QString abs = fs::onDiskPath(target->absoluteUnder(dbPath_));
    const QString canonical = QFileInfo(abs).canonicalFilePath();
    const QString root = QFileInfo(dbPath_).canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(root + '/'))
        return fail(QStringLiteral("\"%1\" is not in the database.").arg(target->str()));
    if (fs::isDirectory(canonical))
        return fail(QStringLiteral("\"%1\" is a folder; name a file inside it.").arg(target->str()));
    QFile file(canonical);
    if (!fs::isRegularFile(canonical) || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("\"%1\" cannot be read: %2").arg(target->str(), file.errorString()));
    QByteArray buffer(qsizetype(1) << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n < 0)
            return fail(QStringLiteral("\"%1\" cannot be read: %2").arg(target->str(), file.errorString()));
        if (n == 0)
            return true;
        if (!sink(buffer.constData(), n))
            return fail(QStringLiteral("The content of \"%1\" could not be written out.").arg(target->str()));
    }
}

} // namespace folivo
