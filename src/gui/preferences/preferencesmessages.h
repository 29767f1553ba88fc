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
// The logins page.
inline const QString TypeLogin = QStringLiteral("Type the user ID and password key by key (otherwise they are pasted)");
inline const QString TypingSpeed = QStringLiteral("Typing speed:");
inline const QString Slow = QStringLiteral("Slow");
inline const QString Fast = QStringLiteral("Fast");
inline const QString PageLoadDelay = QStringLiteral("Wait for a page to load:");
inline const QString SecondsSuffix = QStringLiteral(" s");
inline const QString GeneratedLength = QStringLiteral("Generated password length:");
inline const QString UserIDHotKey = QStringLiteral("Hot key for the user ID:");
inline const QString PasswordHotKey = QStringLiteral("Hot key for the password:");
inline const QString HotKeysNote = QStringLiteral(
    "Click a hot key and type the new combination: Control, Alt or Super with a key, or a function key alone.  "
    "Escape keeps the old one; Backspace leaves none.");
inline const QString HotKeyInUseHere = QStringLiteral("In use by another program.");
inline const QString HotKeySameAsUserID = QStringLiteral("This is the hot key for the user ID already.");
} // namespace prefsmsg

} // namespace folivo::gui
