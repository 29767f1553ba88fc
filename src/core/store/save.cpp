// Saving an open database at quiet moments and closing it. Changes reach the attributes
// files as they happen; a save brings the rest of the package up to date: the
// per-database preferences, the index archive, in an encrypted database the removal of
// plain copies, and the document's parts (the navigation history and those of the
// subsystems that joined it). ".changed" goes only once the index it guards and the parts
// are safely on disk, so a failed or interrupted save is repaired by a rebuild at the next
// open. Backups are in save/backup.cpp.

#include "store/mydocument.h"

#include "plist/keyedarchive.h"
#include "prefs/ktprefs.h"
#include "prefs/prefkeys.h"
#include "store/keys.h"
#include "store/messages.h"
#include "store/save/documentsaver.h"
#include "util/debuglog.h"

namespace folivo {

namespace {

// The splitter widths the macOS edition always stores.
constexpr double LeftPaneWidth = 315.0;

} // namespace

bool MyDocument::saveDBSpecificPreferences()
{
    // Answers false only when the preferences had to be written and could not be.
    if (!canChange())
        return true;
    const QString file = dbPath_ + '/' + pkg::AttributesState;
    const auto stored = plist::readKeyedArchiveFile(file);

    // Keys this edition does not keep (the attributes view's height, keys of later
    // versions) are carried over as they were stored.
    plist::Dict state = stored && stored->isDict() ? stored->dict() : plist::Dict{};
    auto put = [&](const char* key, plist::Value value) { state.set(QString::fromLatin1(key), std::move(value)); };
    put("attributesViewState", settings_.attributesViewState ? 1 : 0);
    put("leftHandSplitViewWidth", LeftPaneWidth);
    put("leftHandSplitViewAttributesWidth", LeftPaneWidth);
    put("notesHeight", settings_.notesHeight);
    if (!settings_.paneSizes.isEmpty()) {
        plist::Array sizes;
        for (int size : settings_.paneSizes)
            sizes.push_back(plist::Value(std::int64_t(size)));
        put("paneSizesLinux", std::move(sizes));
    }
    put("sortingKeepSorted", settings_.sorting.keepSorted);
    put("sortingYearDescending", settings_.sorting.yearDescending);
    put("sortingMonthDescending", settings_.sorting.monthDescending);
    put("sortingIgnoreCase", settings_.sorting.ignoreCase);
    put("ImportFolder", settings_.importFolderEnabled);
    put("ImportFolderPath", settings_.importFolderPath);
    if (!settings_.importFolderSetFor.isEmpty())
        put("ImportFolderPackagePath", settings_.importFolderSetFor);
    if (!settings_.importFolderKept.empty())
        put("ImportFolderKept", settings_.importFolderKept);
    else
        state.remove(QStringLiteral("ImportFolderKept"));
    plist::Array titles;
    for (const QString& t : settings_.recentWebsiteTitles)
        titles.push_back(t);
    put("gotoRecentWebsiteMenuTitles", std::move(titles));
    put("attributesMoveable", settings_.attributesMoveable);
    if (settings_.attributesX)
        put("attributesX", *settings_.attributesX);
    if (settings_.attributesY)
        put("attributesY", *settings_.attributesY);
    for (const auto& [key, value] : settings_.tagSettings)
        state.set(key, value);

    if (stored && stored->isDict() && stored->dict() == state)
        return true;
    if (!plist::writeKeyedArchiveFile(file, state)) {
        appendDebugInfo(QStringLiteral("\n\nSaving the preferences of %1 failed: %2").arg(dbPath_, fs::lastError()));
        return false;
    }
    changed();
    return true;
}

bool MyDocument::deleteDecrypted()
{
    const DocumentSaver::SweepResult r = DocumentSaver(*this).writeIndexAndSweep();
    return r.indexWritten && r.plainCopiesGone;
}

SaveOutcome MyDocument::saveChanges(bool fromTimer)
{
    SaveOutcome out;
    // An open for reading leaves the package as it found it, ".changed" included.
    if (!dbOpen_ || noNeedToSaveNow_ || forReading_)
        return out;
    // Timers fire inside operations and modal prompts; the next tick tries again.
    if (busy()) {
        out.deferred = true;
        return out;
    }
    BusyScope guard(*this);

    // Ticked reminders advance, and reminders that fell due move to the due list, with
    // every save.
    reminders_.update();
    bool complete = saveDBSpecificPreferences();
    if (!complete)
        out.error = QStringLiteral("The preferences of the database could not be saved: %1").arg(fs::lastError());

    const DocumentSaver::SweepResult sweep = DocumentSaver(*this).writeIndexAndSweep();
    // The parts come after the index, which matters more to the person; ".changed" stays
    // until both are written.
    QString partError;
    const bool partsWritten = writeParts(&partError);
    if (sweep.indexWritten && partsWritten) {
        const QString marker = dbPath_ + '/' + pkg::Changed;
        if (fs::exists(marker) && !fs::removeFile(marker))
            appendDebugInfo(QStringLiteral("\n\nRemoving %1 failed: %2").arg(marker, fs::lastError()));
    } else if (!sweep.indexWritten) {
        // ".changed" stays, so the next open rebuilds the index from the attributes files.
        complete = false;
        out.error = sweep.error;
        if (crypto_.encrypted() && !fromTimer)
            ui_.alert(msg::IndexNotReencryptedPrompt, QString(), msg::IndexNotReencrypted);
    }
    if (!partsWritten) {
        complete = false;
        if (out.error.isEmpty())
            out.error = partError;
    }
    if (!sweep.plainCopiesGone) {
        complete = false;
        if (out.error.isEmpty())
            out.error = sweep.error;
    }

    if (appPrefs_ && !appPrefs_->synchronize())
        appendDebugInfo(QStringLiteral("\n\nThe application preferences could not be written."));
    // A save that left something undone runs again at the next tick.
    if (complete)
        noNeedToSaveNow_ = true;
    out.saved = true;
    return out;
}

bool MyDocument::writeParts(QString* error)
{
    if (!canChange())
        return true;
    bool ok = true;
    for (DocumentPart* part : parts_) {
        if (!part->changed(*this) || part->write(*this))
            continue;
        const QString why = fs::lastError();
        appendDebugInfo(QStringLiteral("\n\nSaving the %1 of %2 failed: %3").arg(part->partName(), dbPath_, why));
        if (!part->essential())
            continue;
        if (ok && error)
            *error = msg::PartNotSaved.arg(part->partName(), why);
        ok = false;
    }
    return ok;
}

CloseOutcome MyDocument::closeDatabase()
{
    CloseOutcome out;
    if (!dbOpen_) {
        close();
        return out;
    }
    // An operation or prompt still running holds items of the tree: it must end first.
    if (busy())
        return out;

    noNeedToSaveNow_ = false; // a close always saves
    const SaveOutcome saved = saveChanges(false);
    out.saved = saved.saved && saved.error.isEmpty();

    if (appPrefs_)
        appPrefs_->setObject(plist::Value(dbPath_), prefkeys::LastDBFile);

    if (needsBackup_) {
        const BackupSettings settings = BackupSettings::from(appPrefs_ ? appPrefs_ : prefs_);
        // The counter runs whenever the preference exists, on or off.
        if (settings.enabled) {
            out.backupCount = DocumentSaver(*this).advanceBackupCount(settings.interval);
            if (*settings.enabled && settings.interval <= out.backupCount)
                out.backup = doBackup(settings);
        }
    }

    if (appPrefs_ && !appPrefs_->synchronize())
        appendDebugInfo(QStringLiteral("\n\nThe application preferences could not be written."));
    close();
    return out;
}


} // namespace folivo
