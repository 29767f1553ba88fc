#pragma once
// Taking files out of a database: copies of items written to a place in the file system,
// and plain copies of them handed to the person's mail program. The rules here decide the
// names and places and do the copying; asking the person (which place, whether to replace)
// is the caller's.
//
// Nothing that is already at a destination is ever emptied: a name that is taken gets a
// unique variant, or, after the person said "Replace", the old one goes to the Trash. A
// failure of one item never hides behind the success of the next: every failure is kept.

#include "reports/report.h"
#include "util/result.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace folivo {

class IndexItem;
class MyDocument;

// ---- The report question ------------------------------------------------------------
enum class HandOffCommand { Export, Mail, Print };
struct ReportQuestion {
    QString text;
    QString defaultButton; // the folder's files
    QString otherButton;   // the report
};
// The question asked when `count` (one or more) selected smart folders have a report.
ReportQuestion reportQuestion(HandOffCommand command, qsizetype count);

// ---- Names ------------------------------------------------------------------------------
// A PDF's name ending in ".pdf": an extension "pdf" in any case is replaced, any other name
// gets ".pdf" added.
QString pdfExtensionFixed(const QString& name);
// The name proposed for several items: "Exported 3-07-2024" (the long-year date, with "-"
// for "/", which cannot be in a file name).
QString exportedFolderName(QDate today, bool europeanDates);
// `folder`/`name` when nothing is there, else the first of name2, name3, ... (before the
// extension) that is free.
QString uniqueDiskPath(const QString& folder, const QString& name);
// The database package that `destination` is in or is (one of `openPackages`, or any
// folder named "*.fvdb" above it); none when it is outside every package.
std::optional<QString> packageHolding(const QString& destination, const QStringList& openPackages = {});

// ---- Results ------------------------------------------------------------------------------
struct ExportFailure {
    QString what; // the item's path in the database, or the file concerned
    QString why;
    friend bool operator==(const ExportFailure&, const ExportFailure&) = default;
};
struct ExportOutcome {
    QString destination;     // the file or folder made
    QStringList written;     // every file written, in order
    QList<ExportFailure> failures;
    bool ok() const { return failures.isEmpty(); }
};
// "item: why" lines for an alert or a terminal.
QString describeFailures(const QList<ExportFailure>& failures);

// What to do with something already at a destination the person chose.
enum class ExistingDestination {
    MakeUnique, // leave it and use a free variant of the name
    Replace,    // the person agreed: it goes to the Trash first
};

struct ExportSelection {
    QList<const IndexItem*> items;
    // The person chose the reports of smart folders that have one.
    bool reportChosen = false;
    // Makes a smart folder's report (loading the folder first); none when it cannot.
    std::function<std::optional<Report>(const IndexItem&)> makeReport;
    // Told each file's name as it goes, for the progress sheet.
    std::function<void(const QString&)> progress;
};

// Whether an item is a smart folder whose report the selection means.
bool takesReport(const ExportSelection& selection, const IndexItem& item);

class Exporter {
public:
    explicit Exporter(MyDocument& doc) : doc_(doc) {}

    // The displayed file to `destination`, its final name (the ".pdf" fix already made,
    // see finalFileDestination). What is there is replaced only once the copy is
    // complete (a folder there goes to the Trash); a file the database keeps read-only is
    // written read-only.
    ExportOutcome exportFile(const IndexItem& item, const QString& destination);
    // Where the file ends up when the person chose `chosen`.
    QString finalFileDestination(const IndexItem& item, const QString& chosen);

    // The items as a new folder at `destination` (several items, or one folder's children).
    ExportOutcome exportAsFolder(const ExportSelection& selection, const QString& destination,
                                 ExistingDestination existing);
    // Each item into the existing `folder`, at a unique path there.
    ExportOutcome exportInto(const ExportSelection& selection, const QString& folder);

private:
    void exportItem(const ExportSelection& selection, const IndexItem& item, const QString& folder,
                    ExportOutcome& outcome);
    bool copyPlain(const IndexItem& item, const QString& destination, ExportOutcome& outcome);
    MyDocument& doc_;
};

// Moves what is at `path` to the Trash; true when nothing is there any more.
bool moveAsideToTrash(const QString& path);

// ---- Hand-offs to other programs ----------------------------------------------------------
// The plain files for one hand-off (a mail): each in a folder of its own inside a folder for
// this hand-off in the database's private temporary folder, so that two files of the same
// name never meet and a later hand-off never removes the files of an earlier one. They stay
// until the database closes (the other program reads them whenever it likes).
struct HandOffFiles {
    QString folder;          // this hand-off's folder
    QStringList attachments; // plain files, in the selection's order
    QList<ExportFailure> failures;
};
HandOffFiles prepareHandOff(MyDocument& doc, const ExportSelection& selection);

} // namespace folivo
