// The state of one open database, the paths and files of its package, and the tree
// operations the recorded operations are made of. Opening and creating are in opening.cpp,
// the recorded operations in operations/, the check at every open in repair/, saving and
// backups in save/.

#include "store/mydocument.h"

#include "filing/ktdate.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/repair.h"
#include "util/debuglog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace folivo {

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
    parts_ = {&customAttributeNames_, &historyFile_, &reminders_, &textCache_};
    addOperationObserver(&reminders_);
    addOperationObserver(&textCache_);
    addOperationObserver(&smartFolders_);
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
    crypto_.reset();
    if (!tempDir_.isEmpty())
        fs::deleteTree(tempDir_);
    tempDir_.clear();
    tree_.reset({});
    for (DocumentPart* part : parts_)
        part->clear();
    dbOpen_ = false;
    packageRoot_.reset();
    // Last: nothing of this open touches the package any more.
    lock_.release();
    forReading_ = false;
}

void MyDocument::addOperationObserver(OperationObserver* observer)
{
    if (observer && std::find(operationObservers_.begin(), operationObservers_.end(), observer) == operationObservers_.end())
        operationObservers_.push_back(observer);
}

void MyDocument::removeOperationObserver(OperationObserver* observer)
{
    operationObservers_.erase(std::remove(operationObservers_.begin(), operationObservers_.end(), observer),
                              operationObservers_.end());
}

void MyDocument::addPart(DocumentPart* part)
{
    if (part && std::find(parts_.begin(), parts_.end(), part) == parts_.end())
        parts_.push_back(part);
}

void MyDocument::removePart(DocumentPart* part)
{
    parts_.erase(std::remove(parts_.begin(), parts_.end(), part), parts_.end());
}

std::unique_ptr<PackageListing> MyDocument::takePendingListing()
{
    return std::move(pendingListing_);
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
    const plist::Value* european = prefs_ ? prefs_->value(prefkeys::EuropeanDates) : nullptr;
    if (!european && appPrefs_)
        european = appPrefs_->value(prefkeys::EuropeanDates);
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
        return crypto_.writeStoredArchive(dbPath_ + '/' + pkg::DIndex, paths, durability);
    }
    const auto itemPath = PackagePath::fromString(item->path());
    if (!itemPath || itemPath->isRoot())
        return false;
    const QString target = attributesPathForPath(item->path());
    const QString parentDir = parentFolder(*itemPath);
    fs::ScopedWritable writable(parentDir);
    return crypto_.writeStoredArchive(dbPath_ + '/' + target, item->attributesValue(), durability);
}

bool MyDocument::writeIndexArchive()
{
    plist::Array top;
    top.reserve(tree_.categoriesArray().size());
    for (const auto& item : tree_.categoriesArray())
        top.push_back(item->toValue());
    return crypto_.writeStoredArchive(categoriesArchiveFile_, top, fs::Durability::Flush);
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

bool MyDocument::deletePath(const QString& path)
{
    const auto pp = PackagePath::fromString(path);
    if (!pp || pp->isRoot())
        return false;
    fs::ScopedWritable writable(parentFolder(*pp));
    bool ok = true;
    // Stored forms only where there are any: in a plain database "X.fvdbe" is the name of
    // another item.
    for (const QString& suffix : QStringList{QString()} + (crypto_.encrypted() ? pkg::EncipheredSuffixes : QStringList())) {
        const PackagePath target = suffix.isEmpty() ? *pp : pp->withSuffix('.' + suffix);
        if (!fs::deleteInside(dbPath_, target)) {
            ok = false;
            if (pp->depth() == 1)
                appendDebugInfo(QStringLiteral("\n\nDelete of %1 failed: %2\n").arg(target.str(), fs::lastError()));
        }
    }
    return ok;
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
        if (crypto_.encrypted()) // in a plain database, the attributes file of an item "X.fvdbe"
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

} // namespace folivo
