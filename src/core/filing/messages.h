#pragma once
// The texts filing, the import and the import folder show to people, verbatim.

#include "store/promptid.h"

#include <QString>

namespace folivo {

namespace filingmsg {
inline const QString InvalidDate = QStringLiteral("\"%1\" is an invalid date.");
inline const QString MissingDate = QStringLiteral("Missing date.");
inline const QString StartAfterEnd = QStringLiteral("Starting date must be on or before ending date.");
// The labels of the dates the folder's phrases find in the shown file, before the date.
inline const QString DateFound = QStringLiteral("Date Found: ");
inline const QString DateAssumed = QStringLiteral("Date Assumed: ");
// The step of a disk error when an item's attributes file could not be written.
inline const QString WritingAttributesStep = QStringLiteral("Writing attributes file of");
} // namespace filingmsg

namespace importmsg {
inline const QString Importing = QStringLiteral("Importing ...");
inline const QString ImportedItemsSelected = QStringLiteral("Imported Items Selected In Browser");
inline const QString MultipleItemsSelected = QStringLiteral("Multiple Items Selected In Browser");
inline const QString LogHeader = QStringLiteral("%1 import at %2:\n\n");
inline const QString LogLine = QStringLiteral("%1 -> %2\n");
inline const QString FolderOptionsTitle = QStringLiteral("Folder Import Options");
inline const QString FolderOptionsText = QStringLiteral(
    "You have asked to import the folder \"%1\".\r\rDo you want to 1) import this folder and all its contents as a "
    "hierarchy, with no automatic filing, or 2) import all of the files in this folder (and any folders it contains), "
    "automatically filing the files based on their names or contents if text files?");
inline const QString ImportFilesOnly = QStringLiteral("Import Files Only");
inline const QString ImportAsHierarchy = QStringLiteral("Import As Hierarchy");
inline const QString Cancel = QStringLiteral("Cancel");
// The folder question and its answers.
inline constexpr PromptId FolderOptionsPrompt{"import-folder-options"};
inline constexpr PromptId ImportFilesOnlyAnswer{"files-only"};
inline constexpr PromptId ImportAsHierarchyAnswer{"hierarchy"};
inline constexpr PromptId CancelAnswer{"cancel"};
inline const QString SkipTitle = QStringLiteral("While importing, a FOLDER or FOLIVO DATABASE was skipped.");
inline const QString SkipText = QStringLiteral(
    "Folders cannot be imported from the Import Folder.\r\rFolivo databases can never be imported.\r\rAt least 1 folder "
    "or Folivo database was skipped.  Any other files were imported however.\r\rFolders can be imported using the "
    "Import command under the File menu, or by dropping them on the Folivo icon.");
inline constexpr PromptId SkipPrompt{"import-skipped"};
inline const QString LastImportExistsTitle = QStringLiteral("\"Last Import\" Folder Exists");
inline const QString LastImportExistsText = QStringLiteral(
    "The preferences specify that a Smart Folder named \"Last Import\" be maintained that contains references to the "
    "files imported the last time you did an import.\r\rHowever, you already have top-level folder with that name.  "
    "If you want to use the Last Import feature, you need to rename or delete your \"Last Import\" folder.");
inline constexpr PromptId LastImportExistsPrompt{"last-import-exists"};
inline const QString ImportLogsFolder = QStringLiteral("Import Logs");
} // namespace importmsg

namespace importfoldermsg {
inline const QString NotFoundTitle = QStringLiteral("Import Folder Not Found");
inline const QString NotFoundText = QStringLiteral(
    "The import folder you previously specified for this database (%1) cannot be found or is not readable.  Click "
    "\"OK\" and make sure the folder exists and is readable, or click \"Specify New Import Folder\" to specify or "
    "create a different folder.");
inline const QString SpecifyNew = QStringLiteral("Specify New Import Folder");
// The question when the folder is gone, and its answers.
inline constexpr PromptId NotFoundPrompt{"import-folder-not-found"};
inline constexpr PromptId OKAnswer{"ok"};
inline constexpr PromptId SpecifyNewAnswer{"specify-new"};
inline const QString WarningTitle = QStringLiteral("Import Folder Warning");
inline const QString WarningText = QStringLiteral(
    "Warning: All files in the specified Import Folder will be imported the next time Folivo is started or brought "
    "forward, AND THEN DELETED.  To import files without deleting them, use the import command or drop them on the "
    "Folivo icon or in the upper left panel of this window.");
inline const QString MustBeEmpty = QStringLiteral(
    "The %Import Folder you select must be empty at the time you select it, to avoid importing and deleting by "
    "mistake.");
inline const QString DefaultFolderName = QStringLiteral("Folivo Import Folder");
inline const QString CreateType = QStringLiteral("Create Import Folder");
inline const QString NotWritableTitle = QStringLiteral("Import Folder Not Emptied");
inline const QString NotWritableText = QStringLiteral(
    "The files in the import folder (%1) were not imported, because Folivo may not delete files there: they would "
    "be imported again every time.  Make the folder writable, or choose another import folder.");
inline constexpr PromptId NotWritablePrompt{"import-folder-not-writable"};
inline const QString MovedTitle = QStringLiteral("Import Into This Copy?");
inline const QString MovedText = QStringLiteral(
    "This database empties the import folder \"%1\", but that was set up for the database at \"%2\", and this one is "
    "at \"%3\" (a copy or a backup?).\r\rImport the files of that folder into this database and delete them from the "
    "folder?");
inline const QString DontImport = QStringLiteral("Don't Import");
inline const QString Import = QStringLiteral("Import");
// The question for a copy of the database, and its answers.
inline constexpr PromptId MovedPrompt{"import-into-copy"};
inline constexpr PromptId DontImportAnswer{"dont-import"};
inline constexpr PromptId ImportAnswer{"import"};
} // namespace importfoldermsg

} // namespace folivo
