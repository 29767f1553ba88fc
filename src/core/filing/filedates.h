#pragma once
// The dates of the shown file and the filing tools of its folder: checking and storing the
// two typed dates (a new ending date files the file into its year and month folders), the
// folder's match string, date phrases and day-first switch, and the preview of the dates the
// phrases find in the shown file's text.

#include <QDate>
#include <QString>
#include <optional>

namespace folivo {

class IndexItem;
class MyDocument;
struct OperationResult;

// What storing a pair of dates on a file does, from the dates it had.
struct FileDatesChange {
    std::optional<QDate> start; // stored as "StartDate"; none removes it
    std::optional<QDate> end;   // stored as "EndDate"; none removes it
    bool endChanged = false;    // the file goes into the date folders of the new ending date
    bool startChanged = false;  // only the file's attributes file is written again
    bool changed() const { return endChanged || startChanged; }
};
// A starting date alone ends on the same day; an ending date alone starts as the reminder of
// `reminderFolder` says (see defaultStartDateForEndDate).
FileDatesChange fileDatesChanged(std::optional<QDate> oldStart, std::optional<QDate> oldEnd, std::optional<QDate> start,
                                 std::optional<QDate> end, const IndexItem* reminderFolder);

// The two date fields after editing: what they show and what is stored.
struct DateFieldsEdit {
    bool ok = false;
    QString warning;  // shown in the warning line; empty hides it
    QString fromText; // the fields' text now
    QString toText;
    FileDatesChange change; // when ok
};
// Checks the typed texts; a failure keeps the old dates (and shows them again).
DateFieldsEdit editDateFields(const QString& fromText, const QString& toText, std::optional<QDate> oldStart,
                              std::optional<QDate> oldEnd, const IndexItem* reminderFolder, bool european,
                              QDate today = QDate::currentDate());

// The item's "StartDate" / "EndDate" as days.
std::optional<QDate> itemStartDate(const IndexItem& item);
std::optional<QDate> itemEndDate(const IndexItem& item);

// The plain folder a file lies in (above its year and month folders); its reminder sets the
// assumed starting dates and its phrases and match string are the file's filing tools.
IndexItem* filingFolderOf(const MyDocument& doc, const QString& filePath);

// Stores the dates on the file at `path`. A changed ending date moves the file into the date
// folders of its folder for the new date (a recorded move); a changed starting date only
// writes the file's attributes file. Nothing happens in a database that cannot change; on a
// failed move the file keeps its old dates. The result's resultPath is where the file is now.
OperationResult storeFileDates(MyDocument& doc, const QString& path, std::optional<QDate> start,
                               std::optional<QDate> end);

// ---- The folder's filing settings -----------------------------------------------------

// Stores `text` as the folder's "categoryMatch", "startingDateMatch" or "endingDateMatch"
// (empty removes the key), writes the folder's attributes file and marks the database
// changed. False when nothing changed or the database cannot change.
bool setFolderFilingText(MyDocument& doc, const QString& folderPath, const QString& key, const QString& text);
// The same for the day-first switch "EuropeanDates".
bool setFolderEuropeanDates(MyDocument& doc, const QString& folderPath, bool european);
// "Use Selection": the selected text becomes the folder's string. Nothing selected changes
// nothing (the field and the stored string stay).
bool useSelectionFor(MyDocument& doc, const QString& folderPath, const QString& key, const QString& selectedText);

// ---- The phrases' preview ---------------------------------------------------------------

struct PhrasePreviewInput {
    bool textOrPdf = false; // the shown file is text or a PDF: only then is there a preview
    QString text;           // the shown file's whole text
    QString startPhrase;
    QString endPhrase;
    bool european = false;             // the folder's day-first switch
    bool displayEuropean = false;      // the application's date format for the labels
    std::optional<QDate> currentStart; // the file's dates now
    std::optional<QDate> currentEnd;
    const IndexItem* reminderFolder = nullptr;
    QDate today = QDate::currentDate();
};

struct PhrasePreview {
    bool shown = false;         // false: labels, warnings and the apply button are all hidden
    std::optional<QDate> start; // found or assumed
    std::optional<QDate> end;
    bool startFound = false;
    bool endFound = false;
    QString startLabel; // "Date Found: …" or "Date Assumed: …"; empty hides it
    QString endLabel;
    bool startWarning = false; // no date after a non-empty phrase
    bool endWarning = false;
    bool applyShown = false;
    QString textAfterStart; // the text searched for the ending date
};
PhrasePreview previewPhrases(const PhrasePreviewInput& in);

} // namespace folivo
