#pragma once
// The steps of saving and backing up that work on an open database from outside it: the
// index and, in an encrypted database, the sweep of plain copies; the close counter of
// backups; a failed backup's cleanup. MyDocument's saveChanges, closeDatabase and backups
// (save.cpp and backup.cpp of this folder) string them together.
//
// It works on the document through its public calls only.

#include "store/mydocument.h"

#include <QString>

namespace folivo {

class PackagePath;

class DocumentSaver {
public:
    explicit DocumentSaver(MyDocument& doc) : doc_(doc) {}

    struct SweepResult {
        bool indexWritten = true; // the index archive is current (or was not due)
        bool plainCopiesGone = true;
        QString error;
    };

    // The index archive when ".changed" exists, then the plain copies of an encrypted
    // database. Nothing in a database that cannot be changed.
    SweepResult writeIndexAndSweep();
    // Advances ".backupCount" for a close with changes and answers the new count.
    int advanceBackupCount(int interval);
    // Cleans up after a backup that failed and tells the person.
    BackupOutcome backupFailed(BackupOutcome out, const QString& error, const QString& partial);

private:
    // Removes what viewing, searching or a crash left plain inside an encrypted package. A
    // plain copy goes only when its enciphered form holds the same content: the plain one
    // may be the only copy of the owner's file (an older version, or an interrupted store).
    bool sweepPlainCopies(SweepResult& r);
    // False only when a plain copy that may go could not be deleted.
    bool sweepPlainItem(const PackagePath& pp);

    MyDocument& doc_;
};

} // namespace folivo
