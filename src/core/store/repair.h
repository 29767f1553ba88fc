#pragma once
// The consistency check that runs at every open: it compares the tree with what is in the
// package, and lets the person remove items whose files are gone and delete or recover
// files that no item accounts for.
//
// It runs in two steps. checkConsistency() only looks: it answers a report of what is
// wrong and changes nothing. applyConsistencyReport() then carries out the silent repairs
// and what the person decided. MyDocument::repairDBandFindReminders() strings the two
// together with the questions in between.

#include "store/documentui.h"
#include "store/repair/packagelisting.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace folivo {

class MyDocument;

struct ConsistencyReport {
    // The package can be changed (decides the texts, the buttons and whether anything is
    // deleted at all).
    bool writable = false;
    bool encrypted = false;

    // Items whose file or folder is not in the package, in tree order.
    QStringList itemsWithoutFiles;
    // Everything in the package that no item accounts for (package paths).
    QStringList extraEntries;
    // The part of extraEntries the report lists and recovery copies out.
    QStringList filesToRecover;
    // Encrypted database: plain copies left beside their stored form; deleted silently in
    // a writable package.
    QStringList plainCopies;
    // Encrypted database: file items that exist only as a plain file; enciphered in a
    // writable package (in a read-only one they are left as they are).
    QStringList plainOnlyItems;
    // Items whose folder or file (or stored form) is a symbolic link: reported, kept, and
    // never changed through; what lies behind such a folder is neither missing nor extra.
    QStringList linkedItems;
    // Hidden leftovers of a delete a crash interrupted; removed silently when writable.
    QStringList deletionLeftovers;
    // "Unfiled" is in the tree but its folder is gone; it is made again, never removed.
    bool unfiledMissing = false;
    // Paths of items carrying a reminder.
    QStringList remindersFound;

    bool foundOrphanedFile = false;
    // The body of the report shown to the person (without its first line); empty when
    // there is nothing to ask about.
    QString text;

    bool needsDecision() const { return !text.isEmpty(); }
    // The buttons of the report, the default first, and what each decides.
    QStringList buttons() const;
    QList<RepairChoice> choices() const;
    // The report as the person sees it, its first line stamped with `time`.
    Prompt prompt(const QString& time) const;
};

// What the person chose in the report.
enum class RepairChoice {
    Delete,  // "Delete", "No" or "OK": delete what does not belong (nothing when read-only)
    Recover, // "Recover" or "Yes": copy the listed files out first
};

ConsistencyReport checkConsistency(MyDocument& doc);

struct RepairOutcome {
    QStringList deleted;          // package entries deleted
    QStringList kept;             // listed entries kept because they could not be recovered
    QStringList recovered;        // where recovered files went (absolute paths)
    QStringList itemsRemoved;     // items taken out of the tree
    QStringList adopted;          // plain-only items now enciphered
    bool stopped = false;         // recovery stopped before anything was deleted
};

// The silent repairs (Unfiled, plain copies, adoption); done before the report is shown.
void applySilentRepairs(MyDocument& doc, const ConsistencyReport& report, RepairOutcome* outcome = nullptr);
// Carries out the person's decision on the report.
RepairOutcome applyConsistencyReport(MyDocument& doc, const ConsistencyReport& report, RepairChoice choice);

} // namespace folivo
