// The check itself: the package's entries sorted into what the tree accounts for and what
// it does not, and the report of what is wrong. Nothing is changed here.

#include "store/repair/consistencycheck.h"

#include "store/keys.h"
#include "store/messages.h"
#include "store/mydocument.h"
#include "store/repair/repairsupport.h"
#include "util/debuglog.h"

#include <algorithm>

namespace folivo {

using repair::BundleExtensions;
using repair::extensionOf;
using repair::ignoredName;
using repair::isEncipheredExtension;
using repair::lastComponent;

bool ConsistencyCheck::writable() const
{
    return d_.canChange();
}

bool ConsistencyCheck::reportWritable() const
{
    return (d_.openForReading() ? d_.packageWritable() : d_.dbWriteable()) && !d_.dbReadOnly();
}

QString ConsistencyCheck::absOf(const PackagePath& p) const
{
    return p.absoluteUnder(d_.dbPath());
}

// Sorts the raw listing into the inventory. `fileItems` are the tree's file items: a
// directory among them is one document whatever its extension, and a folder item is
// never one even when named "x.rtfd", so its children are always found. What lies
// inside a document is not listed on its own.
void ConsistencyCheck::classify(const PackageListing::Data& listing, const QSet<QString>& fileItems, const QSet<QString>& folderItems,
                     Inventory& inv)
{
    inv.deletionLeftovers = listing.leftovers;
    if (listing.rootListed)
        inv.listedDirs.insert(QString());
    // Entries come parents first; a skipped or bundled parent hides its entries.
    std::vector<char> hidden(listing.entries.size(), 0);
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
        const PackageListing::Entry& e = listing.entries[i];
        if (e.parent >= 0 && hidden[std::size_t(e.parent)]) {
            hidden[i] = 1;
            continue;
        }
        EntryKind kind = EntryKind::File;
        if (e.isDir) { // a link to a folder is a file here
            const QString ext = extensionOf(lastComponent(e.rel));
            if (fileItems.contains(e.rel)
                || (!folderItems.contains(e.rel)
                    && (ext == pkg::CheckCopy || BundleExtensions.contains(ext.toLower()))))
                kind = EntryKind::Bundle;
            else
                kind = EntryKind::Directory;
        }
        inv.kinds.insert(e.rel, kind);
        if (kind == EntryKind::Directory && e.listed)
            inv.listedDirs.insert(e.rel);
        if (kind != EntryKind::Directory)
            hidden[i] = 1;
    }
}

// Whether the listing can answer for `p`: its folder was listed and its name is one
// the listing keeps. Otherwise only the disk can say whether it is there.
bool ConsistencyCheck::listingCovers(const Inventory& inv, const PackagePath& p)
{
    return inv.listedDirs.contains(p.parent().str()) && !ignoredName(p.name());
}

ConsistencyReport ConsistencyCheck::check()
{
    ConsistencyReport r;
    r.writable = reportWritable();
    r.encrypted = d_.dbEncrypted();

    const std::vector<IndexItem*>& flat = d_.tree().flatArray();
    QSet<QString> fileItems, folderItems;
    for (const IndexItem* item : flat) {
        if (item->isSmartFolder())
            continue;
        (item->hasChildren() ? folderItems : fileItems).insert(item->path());
    }
    // The listing of the package was usually started on another thread while the tree
    // loaded; otherwise it is made now.
    std::unique_ptr<PackageListing> listing = d_.takePendingListing();
    if (!listing || !listing->valid())
        listing = std::make_unique<PackageListing>(PackageListing::start(d_.dbPath(), false));
    Inventory inv;
    classify(listing->get(), fileItems, folderItems, inv);
    QSet<QString> links;
    for (const PackageListing::Entry& e : listing->get().entries)
        if (e.isLink)
            links.insert(e.rel);
    listing.reset();
    r.deletionLeftovers = inv.deletionLeftovers;

    // An entry is found when the listing has it, or (for names the listing leaves out,
    // such as a hidden name an older version let in) when the disk has it: an item
    // must never be reported missing, and its file deleted, while the file is there.
    auto take = [&](const PackagePath& p) {
        if (inv.kinds.remove(p.str()))
            return true;
        return !listingCovers(inv, p) && fs::exists(absOf(p));
    };

    QSet<QString> seen;
    QSet<QString> behindLink;
    for (const IndexItem* item : flat) {
        if (item->isSmartFolder())
            continue;
        const QString path = item->path();
        const auto pp = PackagePath::fromString(path);
        // Loading refuses such paths; a second item with a path already checked would
        // find its entry taken and be reported missing, and its removal would take
        // the first item's file with it.
        if (!pp || pp->isRoot() || seen.contains(path))
            continue;
        seen.insert(path);
        if (item->has(keys::ReminderDate))
            r.remindersFound << path;

        // A link where the item's folder or file should be: the item stays as it is,
        // and so does everything behind the link (the disk calls refuse to reach it).
        if (!links.isEmpty()) {
            const bool behind = behindLink.contains(pp->parent().str());
            bool isLink = links.contains(path);
            for (const QString& suffix : pkg::EncipheredSuffixes)
                isLink = isLink || links.contains(path + '.' + suffix);
            if (behind || isLink) {
                behindLink.insert(path);
                inv.kinds.remove(path);
                for (const QString& suffix : pkg::EncipheredSuffixes)
                    inv.kinds.remove(path + '.' + suffix);
                if (!behind)
                    r.linkedItems << path;
                continue;
            }
        }

        const bool folder = item->hasChildren();
        bool found = false;
        if (!r.encrypted || folder) {
            found = take(*pp);
        } else {
            for (const QString& suffix : pkg::EncipheredSuffixes)
                if (take(pp->withSuffix('.' + suffix))) {
                    found = true;
                    break;
                }
            const bool listed = inv.kinds.contains(path);
            const EntryKind plainKind = inv.kinds.value(path, EntryKind::File);
            const bool plainThere = inv.kinds.remove(path) || (!listingCovers(inv, *pp) && fs::exists(absOf(*pp)));
            if (found && plainThere) {
                // A plain copy goes only when it holds what its stored form holds (a
                // bundle folder compared file by file, as the save compares it). One
                // that differs, or that cannot be compared, may hold the owner's
                // changes: it is reported for recovery instead of being deleted.
                if (d_.crypto().plainCopyMatchesStoredForm(*pp)) {
                    r.plainCopies << path;
                } else if (listed) {
                    inv.kinds.insert(path, plainKind);
                }
            } else if (!found && plainThere) {
                // Only the plain file is there: it is the item, not a stray file. A
                // writable database enciphers it; a read-only one reads it as it is.
                if (r.writable)
                    r.plainOnlyItems << path;
                found = true;
            }
        }
        if (found)
            continue;
        if (!item->parent() && path == pkg::Unfiled && folder) {
            r.unfiledMissing = true; // made again, never removed
            continue;
        }
        r.itemsWithoutFiles << path;
    }

    // In name order, for a report that reads the same every time.
    r.extraEntries = inv.kinds.keys();
    std::sort(r.extraEntries.begin(), r.extraEntries.end());

    if (!r.itemsWithoutFiles.isEmpty()) {
        r.text += r.writable ? msg::RepairMissingWritable : msg::RepairMissingReadOnly;
        for (const QString& p : r.itemsWithoutFiles)
            r.text += p + '\r';
        r.text += QStringLiteral("\r\r");
    }

    if (!r.linkedItems.isEmpty()) {
        r.text += msg::RepairLinks;
        for (const QString& p : r.linkedItems)
            r.text += p + '\r';
        r.text += QStringLiteral("\r\r");
    }

    const QSet<QString> extra(r.extraEntries.begin(), r.extraEntries.end());
    for (const QString& e : r.extraEntries) {
        if (inv.kinds.value(e) == EntryKind::Directory)
            continue; // a folder without an item is not listed; its files are
        if (!r.foundOrphanedFile) {
            r.text += r.writable ? msg::RepairExtraWritable : msg::RepairExtraReadOnly;
            r.foundOrphanedFile = true;
        }
        const QString ext = extensionOf(lastComponent(e));
        QString shown = e;
        if (isEncipheredExtension(ext)) {
            shown = e.chopped(ext.size() + 1);
        } else {
            bool hasStoredSibling = false;
            for (const QString& suffix : pkg::EncipheredSuffixes)
                hasStoredSibling = hasStoredSibling || extra.contains(e + '.' + suffix);
            if (hasStoredSibling)
                continue; // its stored form is listed instead
        }
        r.text += shown + '\r';
        r.filesToRecover << e;
    }
    return r;
}

} // namespace folivo
