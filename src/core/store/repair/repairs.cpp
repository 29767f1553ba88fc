// What the check repairs: silently (Unfiled, leftovers of interrupted deletes, plain copies,
// plain-only items) and as the person decided (deleting what does not belong, after
// recovering it when asked).

#include "store/repair/consistencycheck.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair/repairsupport.h"
#include "util/debuglog.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace folivo {

using repair::BundleExtensions;
using repair::extensionOf;
using repair::ignoredName;
using repair::isEncipheredExtension;
using repair::lastComponent;

void ConsistencyCheck::silentRepairs(const ConsistencyReport& r, RepairOutcome& out)
{
    if (!writable())
        return;
    if (r.unfiledMissing) {
        const QString unfiled = d_.dbPath() + '/' + pkg::Unfiled;
        if (!fs::exists(unfiled) && !fs::makeDirectory(unfiled, pkg::ReadOnlyMode))
            appendDebugInfo(QStringLiteral("\n\nUnfiled of %1 could not be made again: %2").arg(d_.dbPath(), fs::lastError()));
    }
    for (const QString& path : r.deletionLeftovers) {
        const auto pp = PackagePath::fromString(path);
        fs::ScopedWritable writable(d_.parentFolder(*pp));
        if (pp && fs::deleteInside(d_.dbPath(), *pp))
            out.deleted << path;
    }
    for (const QString& path : r.plainCopies) {
        const auto pp = PackagePath::fromString(path);
        // Only beside a stored form that is really there; an empty one cannot hold
        // the item and the plain copy is then all there is. (One that differs from its
        // stored form was reported instead.)
        bool stored = false;
        for (const QString& suffix : pkg::EncipheredSuffixes) {
            const QString s = absOf(pp->withSuffix('.' + suffix));
            stored = stored || (fs::isRegularFile(s) && QFileInfo(s).size() > 0);
        }
        if (!stored)
            continue;
        fs::ScopedWritable writable(d_.parentFolder(*pp));
        if (fs::deleteInside(d_.dbPath(), *pp))
            out.deleted << path;
    }
    for (const QString& path : r.plainOnlyItems) {
        const auto pp = PackagePath::fromString(path);
        const StoreResult stored = d_.encryptFile(path);
        if (!stored.ok) {
            appendDebugInfo(QStringLiteral("\n\nEnciphering %1 found plain failed: %2").arg(path, stored.error));
            continue; // the plain file stays; it is still the item
        }
        fs::ScopedWritable writable(d_.parentFolder(*pp));
        if (fs::deleteInside(d_.dbPath(), *pp))
            out.adopted << path;
    }
}

// What silentRepairs would do, noted by an open for reading instead.
void ConsistencyCheck::notePending(const ConsistencyReport& r)
{
    if (!r.writable)
        return;
    auto quoted = [](QStringList paths) {
        std::sort(paths.begin(), paths.end()); // the same words every time
        for (QString& p : paths)
            p = '"' + p + '"';
        return paths.join(QStringLiteral(", "));
    };
    if (r.unfiledMissing)
        d_.notePendingRepair(msg::PendingUnfiled);
    if (!r.deletionLeftovers.isEmpty())
        d_.notePendingRepair(msg::PendingLeftovers.arg(quoted(r.deletionLeftovers)));
    if (!r.plainCopies.isEmpty())
        d_.notePendingRepair(msg::PendingPlainCopies.arg(quoted(r.plainCopies)));
    if (!r.plainOnlyItems.isEmpty())
        d_.notePendingRepair(msg::PendingPlainOnly.arg(quoted(r.plainOnlyItems)));
}

void ConsistencyCheck::deleteExtraFiles(const QStringList& entries, const QStringList& items, const QStringList& kept,
                      RepairOutcome& out)
{
    if (!writable())
        return;
    if (!entries.isEmpty()) {
        d_.ui().progressStart(msg::DeletingFiles, QString(), 0);
        for (const QString& e : entries) {
            const auto pp = PackagePath::fromString(e);
            if (!pp || pp->isRoot())
                continue;
            d_.ui().progressSetText(e);
            fs::ScopedWritable writable(d_.parentFolder(*pp));
            if (fs::deleteInside(d_.dbPath(), *pp))
                out.deleted << e;
            else
                appendDebugInfo(QStringLiteral("\n\nRepair could not delete %1: %2").arg(e, fs::lastError()));
        }
        d_.ui().progressStop();
    }
    for (const QString& path : items) {
        if (!d_.tree().itemForPath(path))
            continue; // went with a folder removed before it
        // The delete takes whatever forms of the item exist; one the person could not
        // recover must stay, so the item stays with it.
        bool holdsKept = false;
        const auto pp = PackagePath::fromString(path);
        for (const QString& k : kept) {
            const auto kp = PackagePath::fromString(k);
            holdsKept = holdsKept || !pp || (kp && (kp->isInside(*pp) || k == path));
            for (const QString& suffix : pkg::EncipheredSuffixes)
                holdsKept = holdsKept || k == path + '.' + suffix;
        }
        if (holdsKept)
            continue;
        const OperationResult r = d_.recordDelete(path);
        if (r.status == OperationResult::Status::Done)
            out.itemsRemoved << path;
    }
}

RepairOutcome ConsistencyCheck::apply(const ConsistencyReport& r, RepairChoice choice)
{
    RepairOutcome out;
    if (d_.openForReading()) {
        out.stopped = true; // neither deleted nor copied out: reading changes nothing
        return out;
    }
    if (choice == RepairChoice::Delete || !r.foundOrphanedFile) {
        deleteExtraFiles(r.extraEntries, r.itemsWithoutFiles, {}, out);
        return out;
    }

    // "/" cannot be part of a name, so the short date is written with dashes.
    const QString proposed =
        msg::RecoveredFilesName.arg(QLocale::c().toString(QDate::currentDate(), QStringLiteral("M-dd-yyyy")));
    const auto chosen = d_.ui().chooseRecoveryFolder(proposed);
    if (!chosen) {
        out.stopped = true; // the person changed their mind: nothing is lost
        return out;
    }
    const QString folder = makeRecoveryFolder(*chosen);
    if (folder.isEmpty()) {
        d_.ui().alert(msg::RecoverFolderFailedPrompt, msg::RecoverFolderFailedTitle, msg::RecoverFolderFailed);
        out.stopped = true;
        return out;
    }

    const QSet<QString> extra(r.extraEntries.begin(), r.extraEntries.end());
    QSet<QString> deletable;
    QStringList kept;
    d_.ui().progressStart(msg::RecoveringFiles, QString(), 0);
    for (const QString& e : r.filesToRecover) {
        const Recovered result = recoverOne(e, folder);
        if (result == Recovered::Copied || result == Recovered::CopiedUnproven)
            deletable.insert(e);
        else
            kept << e;
        const QString ext = extensionOf(lastComponent(e));
        if (!isEncipheredExtension(ext))
            continue;
        // A plain file beside this stored form is not listed. It goes with the stored
        // form when that was deciphered with proof; otherwise it may be the only
        // readable copy, so it is recovered too.
        const QString plain = e.chopped(ext.size() + 1);
        if (!extra.contains(plain) || deletable.contains(plain) || kept.contains(plain))
            continue;
        if (result == Recovered::Copied)
            deletable.insert(plain);
        else if (recoverOne(plain, folder) == Recovered::Copied)
            deletable.insert(plain);
        else
            kept << plain;
    }
    d_.ui().progressStop();
    out.kept = kept;

    QStringList toDelete;
    for (const QString& e : r.extraEntries) {
        if (deletable.contains(e)) {
            toDelete << e;
            continue;
        }
        if (r.filesToRecover.contains(e) || kept.contains(e))
            continue;
        // Folders without an item go unless something kept lies inside them.
        const auto ep = PackagePath::fromString(e);
        bool holdsKept = !ep;
        for (const QString& k : kept) {
            const auto kp = PackagePath::fromString(k);
            holdsKept = holdsKept || (kp && ep && kp->isInside(*ep));
        }
        if (!holdsKept)
            toDelete << e;
    }
    deleteExtraFiles(toDelete, r.itemsWithoutFiles, kept, out);
    return out;
}

void ConsistencyCheck::noticeOnce()
{
    KTPrefs* prefs = d_.applicationPreferences();
    if (!prefs || prefs->objectForKey(prefkeys::NotifyOpenIndexCheck))
        return;
    d_.ui().alert(msg::OpenCheckNoticePrompt, msg::OpenCheckNoticeTitle, msg::OpenCheckNotice);
    prefs->setBool(true, prefkeys::NotifyOpenIndexCheck);
    prefs->synchronize();
}

} // namespace folivo
