// Opening a database (the package checks, the optional rebuild question, loading or
// rebuilding the tree, the one-time conversions of older packages) and creating one.

#include "store/mydocument.h"

#include "plist/keyedarchive.h"
#include "store/indexloader.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/repair.h"
#include "util/debuglog.h"
#include "util/tempfolder.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace folivo {

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
        plist::writeKeyedArchiveFile(stateFile, drawerOpenReplacementState());
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
    if (crypto_.encrypted() && !crypto_.promptForPassword()) {
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
    crypto_.dropDecipheredIndex(); // unused when the tree was rebuilt instead
    if (!result.ok()) {
        close();
        return result;
    }
    crypto_.writeMarkerIfNeeded();
    // Every open compares the tree with the package and asks what to do about differences.
    repairDBandFindReminders();
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

    crypto_.detect();
    const bool encrypted = crypto_.encrypted();

    // The index is kept as this one path; in an encrypted database it is only ever written
    // enciphered, beside it.
    if (encrypted)
        categoriesArchiveFile_ = at(crypto_.encryptedIndexName().chopped(pkg::EncFile.size() + 1));
    else if (!dbWriteable_ && !fs::isReadable(at(pkg::Index)))
        categoriesArchiveFile_ = at(pkg::LegacyIndex);
    else
        categoriesArchiveFile_ = at(pkg::Index);

    // Whether folders inside the package can be changed at all (a read-only volume). Asked
    // without trying: a trial chmod would change the folder's time even when only reading.
    const QString unfiled = at(pkg::Unfiled);
    dbReadOnly_ = fs::isDirectory(unfiled) && !fs::modeChangeable(unfiled) && encrypted;
    dindexPresent_ = fs::isReadable(at(encrypted ? pkg::EncryptedDIndex : pkg::DIndex));
    return {OpenStatus::Opened, {}};
}

QStringList MyDocument::readDIndex() const
{
    QStringList paths;
    const auto root = crypto_.readStoredArchive(dbPath_ + '/' + pkg::DIndex);
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

    dbOpen_ = true;
    // The parts stored beside the index (the navigation history, the custom attribute
    // names, and those of the subsystems that joined the document) once the tree exists.
    for (DocumentPart* part : parts_)
        part->read(*this);
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
    appendDebugInfo(QStringLiteral("\n\nOpened DB=%1; Encrypted=%2").arg(dbPath_, crypto_.encrypted() ? "YES" : "NO"));
    return {OpenStatus::Opened, {}};
}

bool MyDocument::loadIndexArchive()
{
    std::optional<plist::Value> root = crypto_.takeDecipheredIndex();
    if (!root)
        root = crypto_.readStoredArchive(categoriesArchiveFile_);
    std::optional<ItemList> top = root ? IndexLoader(*this).fromArchive(std::move(*root)) : std::nullopt;
    if (!top) {
        tree_.reset({});
        return false;
    }
    tree_.reset(std::move(*top));
    return true;
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
            diskError(step::UpdatingIndex, attributesPathForPath(item->path()));
            return false;
        }
    }
    bool ok = writeAttributesFileForItem(nullptr, fs::Durability::NoFlush) && fs::syncFileSystem(dbPath_);
    if (ok)
        ok = fs::createMarker(dbPath_ + '/' + pkg::DIndexVer4, pkg::MarkerMode);
    ui_.progressStop();
    if (!ok) {
        diskError(step::UpdatingIndex, dbPath_);
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
    tree_.reset(IndexLoader(*this).rebuild(top));
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
    crypto_.setPlain();
    dbReadOnly_ = false;

    if (!fs::makeDirectory(dbPath_ + '/' + pkg::Unfiled, pkg::ReadOnlyMode))
        return fail();
    tree_.reset({});
    IndexItem* unfiled = tree_.insert(nullptr, std::make_unique<IndexItem>(plist::Dict{{keys::Path, pkg::Unfiled}}, true));
    if (!writeIndexArchive() || !writeAttributesFileForItem(nullptr) || !writeAttributesFileForItem(unfiled)
        || !fs::createMarker(dbPath_ + '/' + pkg::DIndexVer4, pkg::MarkerMode))
        return fail();
    for (DocumentPart* part : parts_)
        if (!part->create(*this))
            return fail();
    dindexPresent_ = true;
    dbOpen_ = true;
    ui_.reloadBrowser();
    return {OpenStatus::Opened, {}};
}

} // namespace folivo
