#pragma once
// The texts the store shows to people, kept verbatim in one place.

#include "store/promptid.h"

#include <QString>

namespace folivo::msg {

inline const QString InvalidDatabaseTitle = QStringLiteral("Invalid Database");
inline const QString InvalidDatabaseText = QStringLiteral(
    "The .fvdb file you tried to open is not a valid Folivo database and cannot be opened.  This could be "
    "because:\r\r1) The Folivo internal format has changed, in which case you should use the most recent "
    "version;\r\r2) You renamed some other type of file to one with a .fvdb extension; or\r\r3) An actual "
    ".fvdb file was corrupted or partially copied, in which case you should use a backup copy instead.");
inline constexpr PromptId InvalidDatabasePrompt{"invalid-database"};

inline const QString RebuildIndexTitle = QStringLiteral("Rebuild Index?");
inline const QString RebuildIndexText = QStringLiteral(
    "You opened this database with the OPTION or SHIFT key held down.  Do you want to open the database "
    "normally or try to rebuild the index (e.g., because Folivo hangs trying to open normally)?\r\rRebuilding "
    "the index means that there might be an internal inconsistency in the database, necessitating corrective "
    "action, which Folivo will explain to you if needed.\r\rIf you choose to rebuild, it is STRONGLY "
    "suggested you do it on a copy of your database.");
inline const QString OpenNormally = QStringLiteral("Open Normally");
inline const QString RebuildIndexButton = QStringLiteral("Rebuild Index");
inline const QString Cancel = QStringLiteral("Cancel");
inline const QString OK = QStringLiteral("OK");
// The rebuild question and its answers.
inline constexpr PromptId RebuildIndexPrompt{"rebuild-index"};
inline constexpr PromptId OpenNormallyAnswer{"open-normally"};
inline constexpr PromptId RebuildIndexAnswer{"rebuild-index"};
inline constexpr PromptId CancelAnswer{"cancel"};

inline const QString OpeningDatabase = QStringLiteral("Opening Database ...");
inline const QString RebuildingIndex = QStringLiteral("Rebuilding Index ...");
inline const QString NotClosedProperly = QStringLiteral(
    "Database was not closed properly last time. If internal inconsistency results, corrective action will "
    "be explained to you.");
inline const QString UpdatingIndex = QStringLiteral("Updating Index ...");
inline const QString UpdatingIndexText =
    QStringLiteral("This a one-time conversion to an improved index format.  Please do not interrupt.");
inline const QString MustConvert = QStringLiteral(
    "Your database must be converted to the new index format.  This is done only once.  Your database will "
    "be backed up first.");
inline constexpr PromptId MustConvertPrompt{"must-convert"};

// Texts of this edition where the store needs words of its own.
// The password sheet of an encrypted database.
inline const QString PasswordTitle = QStringLiteral("Encrypted Database");
inline const QString PasswordText = QStringLiteral("Enter the password of the encrypted database \"%1\".");
inline const QString PasswordWrong = QStringLiteral("Wrong password. Please try again.");
inline const QString BackupWarning = QStringLiteral(
    "Your database is encrypted, making it secure, but also increasing the chance that a disk error leaves it "
    "unopenable.  It is STRONGLY suggested that you use Time Machine or set up automatic backups to allow you "
    "to go back to a recent copy if this happens.");
inline const QString ConversionBackupFailedTitle = QStringLiteral("Backup Failed");
inline const QString ConversionBackupFailedText = QStringLiteral(
    "The database could not be backed up before its index is converted, so it was not converted. It opens "
    "as it is. Free some disk space next to the database and open it again to convert it.\r\r%1");
inline constexpr PromptId ConversionBackupFailedPrompt{"conversion-backup-failed"};
inline const QString RebuildProblemsTitle = QStringLiteral("Index Entries Skipped");
// A part of the database kept beside the index could not be saved ("navigation history").
inline const QString PartNotSaved = QStringLiteral("The %1 of the database could not be saved: %2");

// One program at a time has a database open: two writers would each rewrite the index and
// the attributes files from their own tree and lose what the other stored.
inline const QString DatabaseInUseTitle = QStringLiteral("Database In Use");
inline const QString DatabaseInUse = QStringLiteral(
    "The database \"%1\" is open in another program: a Folivo window or a folivo-cli command. A database is "
    "open in one program at a time. Close it there, or wait until the command has finished, and try again.");

// What an open for reading left undone that an open for writing does (each completes
// "Opened to be changed, the database would first ...").
inline const QString PendingRepairsIntro =
    QStringLiteral("Nothing was changed. Opened to be changed, the database would first:");
inline const QString PendingIndexRename = QStringLiteral("rename its index \"%1\" to \"%2\"");
inline const QString PendingDrawerOpen = QStringLiteral("replace \".drawerOpen\" with \".attributesState\"");
inline const QString PendingRebuild =
    QStringLiteral("rebuild the index from the attributes files and mark the database changed");
inline const QString PendingCustomAttributeNames = QStringLiteral("write an empty \".customAttributeNames\"");
inline const QString PendingConversion =
    QStringLiteral("back the database up and convert it to the distributed index format");
inline const QString PendingIndexUpdate =
    QStringLiteral("write every attributes file once in the improved index format and create \".dindexVer4\"");
inline const QString PendingMarker = QStringLiteral("write the password marker \".encrypted.fvdbe\"");
inline const QString PendingUnfiled = QStringLiteral("make the folder \"Unfiled\" again");
inline const QString PendingLeftovers =
    QStringLiteral("delete what interrupted writes and deletes left behind: %1");
inline const QString PendingPlainCopies =
    QStringLiteral("delete plain copies left beside their enciphered forms: %1");
inline const QString PendingPlainOnly = QStringLiteral("encipher files that are stored only in plain form: %1");

// ---- Recorded operations ----
inline const QString ImportFailed =
    QStringLiteral("File \"%1\" cannot be imported for an unknown reason.  Please try again.");
// The same failure when the system said why.
inline const QString ImportFailedNoSpace = QStringLiteral(
    "File \"%1\" cannot be imported: there is no space left on the disk that holds the database.  Free some "
    "space and try again.");
inline const QString ImportFailedNoPermission = QStringLiteral(
    "File \"%1\" cannot be imported: the permission to read it or to write into the database is missing.");
inline const QString ImportFailedReadOnly = QStringLiteral(
    "File \"%1\" cannot be imported: the disk that holds the database is read-only.");
// Any of the four, shown when an import fails.
inline constexpr PromptId ImportFailedPrompt{"import-failed"};
// Refusals of this edition: a change that would break the database is not carried out.
inline const QString NoDatabaseOpen = QStringLiteral("No database is open.");
inline const QString DatabaseNotWritable = QStringLiteral("The database cannot be changed: it is on a read-only disk or folder.");
inline const QString DatabaseLocked = QStringLiteral("The database is encrypted and its password has not been given.");
inline const QString NoSuchItem = QStringLiteral("There is no item \"%1\" in the database.");
inline const QString InvalidPath = QStringLiteral("\"%1\" is not a valid place in the database.");
inline const QString NotInsideParent = QStringLiteral("\"%1\" is not inside the folder \"%2\".");
inline const QString CannotHoldItems = QStringLiteral("\"%1\" is not a folder that can hold items.");
inline const QString NameTaken = QStringLiteral("The name \"%1\" is already taken in this folder. Please choose another name.");
inline const QString RenameStaysInFolder = QStringLiteral("A rename keeps the item in its folder; move it to put it elsewhere.");
inline const QString CannotRename = QStringLiteral("\"%1\" cannot be renamed.");
inline const QString CannotDeleteUnfiled = QStringLiteral("The folder \"Unfiled\" cannot be deleted.");
inline const QString CannotMoveUnfiled = QStringLiteral("The folder \"Unfiled\" stays at the top level.");
inline const QString MoveIntoItself = QStringLiteral("\"%1\" cannot be put inside itself.");
inline const QString NoDateFolder = QStringLiteral("The year and month folders for the date could not be made.");
inline const QString OnlyFilesDuplicate = QStringLiteral("Only files can be duplicated.");
inline const QString SourceNotOpen = QStringLiteral("The database \"%1\" is no longer open.");
inline const QString NothingToImport = QStringLiteral("There is nothing to import.");

// ---- Consistency check ----
inline const QString RepairTitle = QStringLiteral("Database Check");
inline const QString RepairHeader = QStringLiteral(
    "%1: Your database has some internal inconsistancies, which likely occurred because Folivo was force-quit, "
    "crashed, or the system froze during a disk operation.\r\r");
// The report, answered with a RepairChoice.
inline constexpr PromptId RepairReportPrompt{"repair-report"};
inline const QString RepairMissingWritable = QStringLiteral(
    "The following items in the Browser had no corresponding file or folder in the database, and will be removed "
    "from the Browser.\r\r");
inline const QString RepairMissingReadOnly = QStringLiteral(
    "The following items in the Browser had no corresponding file or folder in the database, but cannot be removed "
    "because the database is not writeable.\r\r");
inline const QString RepairExtraWritable = QStringLiteral(
    "The following files were found in the database but not in the Browser.  You can choose to delete these files "
    "or recover them.  If you choose to recover them, you will be prompted to create a folder to hold the recovered "
    "file(s), which will then be deleted from the database.  You can then import the recovered files into the "
    "database if desired.\r\r");
inline const QString RepairExtraReadOnly = QStringLiteral(
    "The following files were found in the database but not in the Browser.  Do you want to recover them?  If you "
    "choose to recover them, you will be prompted to create a folder to hold the recovered file(s).  They cannot be "
    "deleted because the database is not writeable.\r\r");
// A symbolic link in the package where an item's folder or file should be: files written
// through it would land outside the database, and a backup would copy only the link.
inline const QString RepairLinks = QStringLiteral(
    "The following items in the Browser are symbolic links in the database, where the folder or file itself "
    "should be.  Folivo does not change anything through them, and backups of the database cannot be made while "
    "they are there.  Replace each link with the folder or file it leads to (quit Folivo first).\r\r");
inline const QString Recover = QStringLiteral("Recover");
inline const QString Delete = QStringLiteral("Delete");
inline const QString Yes = QStringLiteral("Yes");
inline const QString No = QStringLiteral("No");
inline const QString RecoveredFilesName = QStringLiteral("Recovered Files (%1)");
inline const QString RecoverFolderFailedTitle = QStringLiteral("Cannot Create Folder");
inline const QString RecoverFolderFailed = QStringLiteral(
    "The folder you specified cannot be created.  Repair will stop without recovering or deleting the extra files.");
inline constexpr PromptId RecoverFolderFailedPrompt{"recover-folder-failed"};
inline const QString RecoveringFiles = QStringLiteral("Recovering Files ...");
inline const QString DeletingFiles = QStringLiteral("Deleting Files ...");
inline const QString RecoverPassword = QStringLiteral(
    "The file \"%1\" cannot be decrypted. This is likely because the database was previously encrypted%2. You can "
    "enter a password below to try to decrypt the file, or click Cancel to recover the file as it is stored, still "
    "encrypted.");
inline const QString RecoverPasswordDifferent = QStringLiteral(" with a different password than the current one");
inline const QString CannotRecoverTitle = QStringLiteral("Cannot Recover File");
inline const QString CannotRecoverText = QStringLiteral("Sorry, the file \"%1\" cannot be recovered.");
inline constexpr PromptId CannotRecoverPrompt{"cannot-recover"};
// Texts of this edition.
inline const QString OpenCheckNoticeTitle = QStringLiteral("Database Check");
inline const QString OpenCheckNotice = QStringLiteral(
    "Each time a database is opened, Folivo checks that every item in the Browser has its file or folder in the "
    "database and that every file in the database belongs to an item.  If it finds a difference, for example after "
    "a crash or a force-quit, it tells you and lets you decide what to do.  This notice is shown only once.");
inline constexpr PromptId OpenCheckNoticePrompt{"open-check-notice"};

// ---- Saving and backups ----
inline const QString BackingUpDatabase = QStringLiteral("Backing Up Database ...");
inline const QString CopyingToBackupFolder = QStringLiteral("Copying database to backup folder...");
inline const QString DeletingOldestBackupCopy = QStringLiteral("Deleting oldest backup copy...");
inline const QString ProgressDone = QStringLiteral("DONE");
inline const QString BackupFailed = QStringLiteral("\n\nBackup Failed.");
inline constexpr PromptId BackupFailedPrompt{"backup-failed"};
inline const QString BackupFolderNotFoundTitle = QStringLiteral("Backup Folder Not Found");
inline const QString BackupFolderNotFoundText = QStringLiteral(
    "Your backup folder is specified as \"%1\".  It cannot be found or is not writeable (probably because it was "
    "renamed or noved after you specified it).  Databases cannot be backed up until a new backup folder is "
    "specified in the Preferences.");
inline constexpr PromptId BackupFolderNotFoundPrompt{"backup-folder-not-found"};
// Texts of this edition: a backup folder inside the database would copy the database into itself, and
// a failed index write no longer loses changes (the change marker stays, so the next open rebuilds).
inline const QString BackupFolderInsideTitle = QStringLiteral("Backup Folder Inside Database");
inline const QString BackupFolderInsideText = QStringLiteral(
    "Your backup folder is specified as \"%1\", which is inside the database \"%2\" (or is the database "
    "itself).  A database cannot be backed up into itself.  Please specify a backup folder outside the "
    "database in the Preferences.");
inline constexpr PromptId BackupFolderInsidePrompt{"backup-folder-inside"};
inline const QString IndexNotReencrypted = QStringLiteral(
    "Index could not be re-encrypted for an unknown reason.  Your changes are kept: the index will be rebuilt "
    "the next time the database is opened.  If this happens again, close the database and retrieve the latest "
    "copy from your backup.");
inline constexpr PromptId IndexNotReencryptedPrompt{"index-not-reencrypted"};
// The progress sheet of a backup stays up at least this long, so that it can be read.
constexpr int BackupMinimumMs = 1000;

// Minimum display times of the progress sheets, in milliseconds.
constexpr int OpenMinimumMs = 1000;
constexpr int RebuildMinimumMs = 5000;
constexpr int UpdateIndexMinimumMs = 5000;

} // namespace folivo::msg

// Descriptions of the steps of the recorded operations, as the disk-error log and panel
// name them.
namespace folivo::step {
inline const QString CreatingFolder = QStringLiteral("Creating folder");
inline const QString RenamingItem = QStringLiteral("Renaming item to");
inline const QString RenamingEncrypted = QStringLiteral("Renaming encrypted file to");
inline const QString MovingItem = QStringLiteral("Moving item to");
inline const QString MovingEncrypted = QStringLiteral("Moving encrypted item to");
inline const QString Duplicating = QStringLiteral("Duplicating file");
inline const QString DuplicatingEncrypted = QStringLiteral("Duplicating encrypted file");
inline const QString Copying = QStringLiteral("Copying item to");
inline const QString EncryptingImported = QStringLiteral("Encrypting imported file");
// Steps whose failure is reported too, so that no disk error passes unnoticed.
inline const QString Deleting = QStringLiteral("Deleting item");
inline const QString WritingAttributes = QStringLiteral("Writing attributes file of");
inline const QString MarkingChanged = QStringLiteral("Marking the database changed");
// Date folders and the one-time index conversion.
inline const QString CreatingDateCategory = QStringLiteral("Creating Date Category");
inline const QString UpdatingIndex = QStringLiteral("Updating Index");
} // namespace folivo::step
