#pragma once
// The texts the browser's commands and renaming in place show to people, verbatim.

#include "store/promptid.h"

#include <QString>

namespace folivo {

// The browser's commands.
namespace cmdmsg {

inline const QString DeleteTitle = QStringLiteral("Delete");
inline const QString UnfiledCannotBeDeleted = QStringLiteral("The folder \"Unfiled\" cannot be deleted.  ");
inline const QString SmartFilesCannotBeDeleted =
    QStringLiteral("Individual smart files cannot be deleted, though smart folders can be deleted.  ");
inline const QString ReallyDelete = QStringLiteral("Do you really want to delete the %@selected item%@?");
inline const QString Remaining = QStringLiteral("remaining ");
inline const QString ReallyDeleteDragged =
    QStringLiteral("Do you really want delete the file%@ you dragged to the trash?");
inline const QString Deleting = QStringLiteral("Deleting ...");
inline const QString SelectedItemsDeleted = QStringLiteral("Selected Item(s) Deleted");
inline const QString DraggedFilesDeleted = QStringLiteral("Dragged File%@ Deleted");
inline const QString Yes = QStringLiteral("Yes");
inline const QString No = QStringLiteral("No");
inline const QString OK = QStringLiteral("OK");
// The delete question (or, when nothing can be deleted, the message why) and its answers.
inline constexpr PromptId DeletePrompt{"delete"};
inline constexpr PromptId KeepAnswer{"keep"};
inline constexpr PromptId DeleteAnswer{"delete"};

inline const QString NewFolderName = QStringLiteral("New");

inline const QString ClipboardEmpty = QStringLiteral("The clipboard is empty.");
inline const QString ClipboardBaseName = QStringLiteral("Clipboard");

inline const QString FileMissingRemoved = QStringLiteral(
    "The selected file cannot be displayed because it is missing from the database.  It will be removed "
    "from the Browser.");
inline const QString FileMissing =
    QStringLiteral("The selected file cannot be displayed because it is missing from the database.");
// A file that is there but cannot be read (or deciphered) is the user's data: it stays.
inline const QString FileUnreadableKept = QStringLiteral(
    "The selected file cannot be displayed because it cannot be read.  It was kept in the Browser; check "
    "its permissions, or whether the disk has a problem.");

inline const QString NoItemsSelected = QStringLiteral("No Items Selected in Browser");
inline const QString MultipleItemsSelected = QStringLiteral("Multiple Items Selected in Browser");
inline const QString DraggedItemsSelected = QStringLiteral("Dragged Items Selected In Browser");
inline const QString FolderSelected =
    QStringLiteral("No File is Displayed Because a Folder is Selected in Browser");

} // namespace cmdmsg

namespace renamemsg {
inline const QString BadName = QStringLiteral(
    "Folder and file names cannot be blank, must be < 255 characters, and cannot contain /, return, tab, or "
    "start with a \".\"");
inline const QString InUse = QStringLiteral("\"%1\" is already in use.");
inline const QString LastImportReserved = QStringLiteral(
    "You cannot create a folder named \"%1\" when the \"Maintain Last Import Folder\" preference is specified.");
inline const QString EncipheredEnding = QStringLiteral(
    "\"%1\" cannot be used: names ending in \".fvdbe\", \".fvdbze\" or \".fvdbzre\" are kept for encrypted files.");
} // namespace renamemsg

} // namespace folivo
