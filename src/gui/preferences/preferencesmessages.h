#pragma once
// The texts of the preferences window, verbatim.

#include <QString>

namespace folivo::gui {

namespace prefsmsg {
inline const QString BackupFolderName = QStringLiteral("Backup Folder");
inline const QString BackupFolderDefaultName = QStringLiteral("Folivo Backup Folder");
inline const QString CreateBackupFolder = QStringLiteral("Create Backup Folder");
inline const QString BackupFolderUnusable = QStringLiteral(
    "This folder cannot be found or is not writable.  Databases are not backed up until a usable folder is set.");
inline const QString BackupFolderInPackage = QStringLiteral(
    "This folder is inside a database (\"%1\").  Backups must go to a folder outside every database.");
inline const QString NotSavedTitle = QStringLiteral("Preferences Not Saved");
inline const QString NotSavedText = QStringLiteral(
    "The preferences could not be written to \"%1\".  They apply until Folivo quits, but will be lost then.");
} // namespace prefsmsg

} // namespace folivo::gui
