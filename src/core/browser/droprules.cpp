#include "browser/droprules.h"

#include "browser/selection.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "store/packagepath.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace folivo {

namespace {

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QString() : path.left(slash);
}

// Login keys of a folder's record, in the order a record lists them.
namespace login {
const QString URL = QStringLiteral("websiteURL");
const QString UserID = QStringLiteral("websiteUserID");
const QString Password = QStringLiteral("websitePassword");
const QStringList UserIDOptions = {QStringLiteral("websiteUserID2"), QStringLiteral("websiteNewUserIDOptions"),
                                   QStringLiteral("websiteUserIDTabSwitch"), QStringLiteral("websiteUserIDTabCount"),
                                   QStringLiteral("websiteUserIDReturnSwitch")};
const QStringList PasswordOptions = {QStringLiteral("websitePasswordOptions"),
                                     QStringLiteral("websitePasswordTabSwitch"),
                                     QStringLiteral("websitePasswordTabCount"), QStringLiteral("websitePasswordEnter")};
const QStringList BrowserKeys = {QStringLiteral("websiteBrowser"), QStringLiteral("websiteBrowserBundleID")};
// Keys whose value is text; the others are numbers or switches.
const QSet<QString> TextKeys = {URL,
                                UserID,
                                QStringLiteral("websiteUserID2"),
                                Password,
                                QStringLiteral("websiteBrowser"),
                                QStringLiteral("websiteBrowserBundleID"),
                                keys::Notes};
} // namespace login

bool hasLogin(const IndexItem& item)
{
    return item.has(login::URL) || item.has(login::UserID) || item.has(login::Password);
}

plist::Dict loginRecord(const IndexItem& item)
{
    plist::Dict out;
    auto copy = [&](const QString& key) {
        if (const plist::Value* v = item.value(key))
            out.set(key, *v);
    };
    copy(login::URL);
    if (item.has(login::UserID)) {
        copy(login::UserID);
        for (const QString& key : login::UserIDOptions)
            copy(key);
    }
    if (item.has(login::Password)) {
        copy(login::Password);
        for (const QString& key : login::PasswordOptions)
            copy(key);
    }
    const plist::Value* notes = item.value(keys::Notes);
    out.set(keys::Notes, notes && notes->isString() ? *notes : plist::Value(QString()));
    out.set(keys::Path, item.path());
    for (const QString& key : login::BrowserKeys)
        copy(key);
    return out;
}

void collectLogins(const IndexItem& item, plist::Array& into)
{
    if (hasLogin(item))
        into.push_back(loginRecord(item));
    if (item.isSmartFolder())
        return; // its contents are other folders' items
    for (const auto& child : item.children())
        collectLogins(*child, into);
}

bool hasEncipheredEnding(const QString& name)
{
    for (const QString& suffix : pkg::EncipheredSuffixes)
        if (name.endsWith('.' + suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

bool sameDatabase(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) == QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

QList<DragEntry> entriesToDrop(const QList<DragEntry>& entries)
{
    QStringList paths;
    for (const DragEntry& e : entries)
        paths << e.path;
    const QStringList kept = withoutNestedPaths(paths);
    QSet<QString> wanted(kept.cbegin(), kept.cend());
    QList<DragEntry> out;
    for (const DragEntry& e : entries)
        if (wanted.remove(e.path))
            out << e;
    return out;
}

int dropIndex(const DropDescription& d)
{
    if (d.childIndex >= 0 || d.topLevel)
        return d.childIndex;
    return 0;
}

bool dragHoldsUnfiledOrSmartFolder(const QList<DragEntry>& entries)
{
    for (const DragEntry& e : entries)
        if (e.type == dragkeys::SmartFolder || e.path == pkg::Unfiled)
            return true;
    return false;
}

bool springsOpenWhileDragging(const IndexItem& folder, bool draggingUnfiledOrSmartFolder)
{
    // "Unfiled" and smart folders only ever go to the top level: nothing opens for them.
    if (draggingUnfiledOrSmartFolder)
        return false;
    const bool unfiled = !folder.parent() && folder.path() == pkg::Unfiled;
    return folder.isPlainFolder() && !unfiled;
}

DropDecision decideDrop(const DropDescription& d)
{
    if (!d.writable || !(d.hasItems || d.hasLogins || d.hasFileNames))
        return DropDecision::None;
    // Onto the top level itself (below the last row) there is no place to put anything.
    const int index = dropIndex(d);
    if (index < 0)
        return DropDecision::None;
    if (!d.topLevel) {
        if (d.folderPath.isEmpty() || d.folderIsDateFolder || d.folderIsSmartFolder || d.folderIsFile)
            return DropDecision::None;
        // Date folders are kept at the end of their folder.
        if (d.firstDateFolderIndex >= 0 && index > d.firstDateFolderIndex)
            return DropDecision::None;
    }
    const QString target = d.topLevel ? QString() : d.folderPath;

    if (d.hasItems) {
        if (!d.hasDBPath)
            return DropDecision::None; // items of an unknown database cannot be read
        const bool same = sameDatabase(d.sourceDBPath, d.thisDBPath);
        if (!same && !d.sourceOpen)
            return DropDecision::None;
        const QList<DragEntry> entries = entriesToDrop(d.entries);
        if (entries.isEmpty())
            return DropDecision::None;
        bool anyFile = false;
        bool unfiledOrSmartFolder = false;
        for (const DragEntry& e : entries) {
            const bool isFile = e.type == dragkeys::File;
            if (isFile) {
                if (d.topLevel)
                    return DropDecision::None;
                anyFile = true;
            }
            if (same && d.keepSorted && parentOf(e.path) == target)
                return DropDecision::None; // sorting would put it back where it is
            if (e.type == dragkeys::SmartFolder || e.path == pkg::Unfiled)
                unfiledOrSmartFolder = true;
            if (same && !d.topLevel && isSameOrInsidePath(target, e.path))
                return DropDecision::None; // into itself or below itself
            if (d.folderIsUnfiled && !isFile)
                return DropDecision::None;
        }
        if (same && unfiledOrSmartFolder && (!d.topLevel || anyFile))
            return DropDecision::None;
        return same && !d.copyModifier ? DropDecision::Move : DropDecision::Copy;
    }

    if (d.hasLogins)
        return DropDecision::Copy;

    if (d.externalFiles.isEmpty())
        return DropDecision::None;
    if (!d.topLevel)
        return DropDecision::Copy;
    // At the top level only folders, which become top-level folders.
    for (const ExternalFile& f : d.externalFiles)
        if (!f.isFolder || f.isPackage)
            return DropDecision::None;
    return DropDecision::Copy;
}

const QStringList& loginTransferKeys()
{
    static const QStringList all = [] {
        QStringList k{login::URL, login::UserID};
        k << login::UserIDOptions << login::Password << login::PasswordOptions << login::BrowserKeys << keys::Notes;
        return k;
    }();
    return all;
}

plist::Array loginRecordsFromItem(const IndexItem& item)
{
    plist::Array out;
    collectLogins(item, out);
    return out;
}

plist::Dict loginKeysOfRecord(const plist::Value& record)
{
    plist::Dict out;
    if (!record.isDict())
        return out;
    for (const QString& key : loginTransferKeys()) {
        const plist::Value* v = record.dict().find(key);
        if (!v)
            continue;
        // A record from elsewhere is outside data: a value of the wrong kind is left out
        // rather than handed to code that reads it as text or as a number.
        const bool ok = login::TextKeys.contains(key) ? v->isString() : v->isNumber();
        if (ok)
            out.set(key, *v);
    }
    return out;
}

QString folderPathForLoginRecord(const plist::Value& record, const QString& targetFolder,
                                 const std::function<QString(const QString&)>& unique)
{
    if (!record.isDict())
        return {};
    const plist::Value* path = record.dict().find(keys::Path);
    // Only the folder's own name: the folders above it in the other database are not ours.
    const QString last = path && path->isString() ? path->string().section('/', -1, -1, QString::SectionSkipEmpty)
                                                  : QString();
    QString name = makeValidName(last);
    if (hasEncipheredEnding(name))
        name[name.lastIndexOf('.')] = QLatin1Char('-');
    const QString candidate = targetFolder.isEmpty() ? name : targetFolder + '/' + name;
    return unique ? unique(candidate) : candidate;
}

} // namespace folivo
