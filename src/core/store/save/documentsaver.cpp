#include "store/save/documentsaver.h"

#include "crypto/storedforms.h"
#include "store/keys.h"
#include "store/messages.h"
#include "util/debuglog.h"

namespace folivo {

DocumentSaver::SweepResult DocumentSaver::writeIndexAndSweep()
{
    SweepResult r;
    if (!doc_.canChange())
        return r;
    if (fs::exists(doc_.dbPath() + '/' + pkg::Changed) && !doc_.writeIndexArchive()) {
        r.indexWritten = false;
        r.error = QStringLiteral("The index could not be written: %1").arg(fs::lastError());
        appendDebugInfo(QStringLiteral("\n\nSaving the index of %1 failed: %2").arg(doc_.dbPath(), fs::lastError()));
    }
    if (doc_.dbEncrypted() && doc_.cipher())
        r.plainCopiesGone = sweepPlainCopies(r);
    return r;
}

// Removes what viewing, searching or a crash left plain inside an encrypted package. A
// plain copy goes only when its enciphered form holds the same content: the plain one
// may be the only copy of the owner's file (an older version, or an interrupted store).
bool DocumentSaver::sweepPlainCopies(SweepResult& r)
{
    bool ok = true;
    auto failed = [&](const QString& what) {
        ok = false;
        const QString line = QStringLiteral("%1: %2").arg(what, fs::lastError());
        if (r.error.isEmpty())
            r.error = line;
        appendDebugInfo(QStringLiteral("\n\nRemoving a plain copy in %1 failed: %2").arg(doc_.dbPath(), line));
    };

    // A plain index whose enciphered form is current is stale; writing the index from the
    // tree replaces the enciphered form and only then removes the plain one.
    if (r.indexWritten && fs::exists(doc_.categoriesArchiveFile()) && !doc_.writeIndexArchive()) {
        r.indexWritten = false;
        failed(QStringLiteral("the plain index"));
    }

    for (IndexItem* item : doc_.tree().flatArray()) {
        const auto pp = PackagePath::fromString(item->path());
        if (!pp || pp->isRoot())
            continue;
        // The tree holds the item's attributes; writing them enciphered removes the plain
        // file only after the enciphered one is in place.
        if (fs::exists(doc_.dbPath() + '/' + MyDocument::attributesPathForPath(item->path()))
            && !doc_.writeAttributesFileForItem(item))
            failed(MyDocument::attributesPathForPath(item->path()));
        if (item->isFile() && !sweepPlainItem(*pp))
            failed(item->path());
    }
    return ok;
}

// False only when a plain copy that may go could not be deleted.
bool DocumentSaver::sweepPlainItem(const PackagePath& pp)
{
    const QString abs = pp.absoluteUnder(doc_.dbPath());
    if (!fs::exists(abs))
        return true;
    const StoredForm form = doc_.cipher()->storedFormOf(pp);
    if (!doc_.crypto().plainCopyMatchesStoredForm(pp)) {
        appendDebugInfo(QStringLiteral("\n\nPlain copy of %1 in %2 kept: %3")
                            .arg(pp.str(), doc_.dbPath(),
                                 form == StoredForm::None ? QStringLiteral("it has no enciphered form")
                                                          : QStringLiteral("it differs from its enciphered form")));
        return true;
    }
    fs::ScopedWritable writable(doc_.parentFolder(pp));
    return fs::deleteInside(doc_.dbPath(), pp);
}

// Advances ".backupCount" for a close with changes and answers the new count.
int DocumentSaver::advanceBackupCount(int interval)
{
    const QString counter = doc_.dbPath() + '/' + pkg::BackupCount;
    int count = 0;
    if (const auto bytes = fs::readFile(counter, 16); bytes && !bytes->isEmpty())
        count = static_cast<unsigned char>(bytes->at(0));
    const int next = interval > count ? count + 1 : 0;
    if (doc_.dbWriteable()
        && !fs::writeFileAtomic(counter, QByteArray(1, static_cast<char>(static_cast<unsigned char>(next)))))
        appendDebugInfo(QStringLiteral("\n\nBackup count of %1 not written: %2").arg(doc_.dbPath(), fs::lastError()));
    return next;
}

BackupOutcome DocumentSaver::backupFailed(BackupOutcome out, const QString& error, const QString& partial)
{
    if (!partial.isEmpty() && fs::exists(partial) && !fs::deleteTree(partial))
        appendDebugInfo(QStringLiteral("\n\nPartial backup %1 not removed: %2").arg(partial, fs::lastError()));
    doc_.ui().progressStop();
    appendDebugInfo(QStringLiteral("\n\nError: %1").arg(error));
    doc_.ui().alert(msg::BackupFailedPrompt, QString(), msg::BackupFailed);
    out.ok = false;
    out.error = error;
    return out;
}

} // namespace folivo
