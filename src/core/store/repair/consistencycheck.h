#pragma once
// The consistency check of an open database and what it repairs: it compares the tree with
// the package's listing (check), carries out the repairs that need no question
// (silentRepairs) and what the person decided about the report (apply), recovering files
// out of the package first when asked. The functions of store/repair.h and
// MyDocument::repairDBandFindReminders run it; its steps live in check.cpp, repairs.cpp and
// recovery.cpp of this folder.
//
// Paths come from two untrusted places here: the tree (read from files anyone could have
// edited) and the directory listing. Every one goes through PackagePath before the disk
// sees it, every deletion goes through fs::deleteInside (which never follows a link and
// never leaves the package), and nothing is deleted that the person might still need: a
// file is deleted after recovery only once its copy is safely outside the package.
//
// It works on the document through its public calls only.

#include "store/repair.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace folivo {

class MyDocument;
class PackagePath;
namespace crypto {
class DatabaseKey;
}
class DocumentCipher;

class ConsistencyCheck {
public:
    explicit ConsistencyCheck(MyDocument& doc) : d_(doc) {}

    // Only looks: what is wrong, and the report's text and buttons.
    ConsistencyReport check();
    // The repairs that need no question (Unfiled, leftovers, plain copies, adoption);
    // nothing in a database that cannot change.
    void silentRepairs(const ConsistencyReport& r, RepairOutcome& out);
    // What silentRepairs would do, noted by an open for reading instead.
    void notePending(const ConsistencyReport& r);
    // Carries out the person's decision on the report.
    RepairOutcome apply(const ConsistencyReport& r, RepairChoice choice);
    // The one-time notice that every open checks the database.
    void noticeOnce();

private:
    // Whether this document may change the package.
    bool writable() const;
    // Whether the report speaks of a package that can be changed: an open for reading
    // reports what an open for writing would do.
    bool reportWritable() const;
    QString absOf(const PackagePath& p) const;

    // ---- The package listing
    // What one entry of the package listing is.
    enum class EntryKind {
        File,      // a file, a symbolic link or anything else that is not a directory
        Bundle,    // a directory that is one document (or a check copy): listed as one entry
        Directory, // an ordinary folder; its contents are listed on their own
    };
    struct Inventory {
        QHash<QString, EntryKind> kinds; // what remains unaccounted for
        QSet<QString> listedDirs;        // folders whose every entry was seen
        QStringList deletionLeftovers;   // what a delete interrupted by a crash left hidden
    };
    // Sorts the raw listing into the inventory. `fileItems` are the tree's file items: a
    // directory among them is one document whatever its extension, and a folder item is
    // never one even when named "x.rtfd", so its children are always found. What lies
    // inside a document is not listed on its own.
    static void classify(const PackageListing::Data& listing, const QSet<QString>& fileItems, const QSet<QString>& folderItems,
                         Inventory& inv);
    // Whether the listing can answer for `p`: its folder was listed and its name is one
    // the listing keeps. Otherwise only the disk can say whether it is there.
    static bool listingCovers(const Inventory& inv, const PackagePath& p);

    // ---- Recovery
    // The folder the person chose, made new; empty when it cannot be used. Nothing that
    // exists is reused (it would be emptied or mixed with recovered files), and nothing
    // inside the package (it would be found and deleted at the next check).
    QString makeRecoveryFolder(const QString& chosen) const;
    static QString uniqueIn(const QString& folder, const QString& name);
    // A copy deciphered for recovery, in the private temporary folder.
    struct Deciphered {
        QString path;        // empty when nothing could be deciphered
        bool proven = false; // surely the file that was enciphered (see provenRecovery)
    };
    void discard(Deciphered& copy) const;
    // Whether `copy`, deciphered with `key` from the stored form `ext` of `plain`, is the
    // file that was enciphered. Valid padding alone proves little: a wrong key ends in one
    // padding byte about once in 256 tries, and the garbage it gives would then stand in
    // for the only copy. A container that unpacked is a valid zip, checked entry by entry.
    // A file proves itself by a padding of four bytes or more (a wrong key gives k valid
    // bytes about once in 256^k tries), by its kind (the signature of a PDF or an image, or
    // a zip-based document that reads back whole), or by its attributes file, which
    // deciphers with the same key to a record that names it.
    bool provenRecovery(const PackagePath& plain, const QString& ext, const QString& copy, crypto::DatabaseKey& key) const;
    // A plain copy of the stored form `ext` of the plain item `plain`, with the current key
    // when that proves to be the right one, else with a password the person gives. A copy
    // the current key gave without proof is what a Cancel answers; one from a password the
    // person typed is taken as it comes (they chose it), still unproven. Empty when nothing
    // could be deciphered.
    Deciphered decipherForRecovery(const PackagePath& plain, const QString& ext);
    enum class Recovered {
        Copied,         // copied out (deciphered with proof where it was enciphered): it may go
        CopiedUnproven, // deciphered without proof, copied out with its stored form beside it: it may go
        Kept,           // not deciphered: copied out as it is stored, and it stays
        Failed,
    };
    Recovered recoverOne(const QString& entry, const QString& folder);

    // ---- Deleting
    void deleteExtraFiles(const QStringList& entries, const QStringList& items, const QStringList& kept,
                          RepairOutcome& out);

    MyDocument& d_;
};

} // namespace folivo
