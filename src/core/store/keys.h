#pragma once
// Names of record keys and package files, defined once.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace folivo::keys {

// IndexItem keys the store reads or writes.
inline const QString Path = QStringLiteral("Path");
inline const QString Children = QStringLiteral("Children");
inline const QString ChildrenPaths = QStringLiteral("ChildrenPaths");
inline const QString Date = QStringLiteral("Date");
inline const QString StartDate = QStringLiteral("StartDate");
inline const QString EndDate = QStringLiteral("EndDate");
inline const QString SmartFolder = QStringLiteral("SmartFolder");
inline const QString SmartFolderType = QStringLiteral("SmartFolderType");
inline const QString NeedsLoading = QStringLiteral("NeedsLoading");
inline const QString SystemLastImportFolder = QStringLiteral("SystemLastImportFolder");
inline const QString UserSetName = QStringLiteral("UserSetName");
inline const QString SmartFile = QStringLiteral("SmartFile");
inline const QString Notes = QStringLiteral("Notes");
inline const QString Tags = QStringLiteral("Tags");
inline const QString CustomAttributes = QStringLiteral("CustomAttributes");
inline const QString Reminder = QStringLiteral("Reminder");
inline const QString ReminderDate = QStringLiteral("ReminderDate");
inline const QString ReminderChecked = QStringLiteral("ReminderChecked");

} // namespace folivo::keys

namespace folivo::pkg {

inline const QString Extension = QStringLiteral("fvdb");
inline const QString Index = QStringLiteral(".index");
inline const QString EncryptedIndex = QStringLiteral(".index.fvdbe");
inline const QString LegacyIndex = QStringLiteral(".categories");
inline const QString LegacyEncryptedIndex = QStringLiteral(".categories.fvdbe");
inline const QString DIndex = QStringLiteral(".dindex");
inline const QString EncryptedDIndex = QStringLiteral(".dindex.fvdbe");
inline const QString DIndexVer4 = QStringLiteral(".dindexVer4");
inline const QString Changed = QStringLiteral(".changed");
inline const QString AttributesState = QStringLiteral(".attributesState");
inline const QString CustomAttributeNames = QStringLiteral(".customAttributeNames");
inline const QString BackupCount = QStringLiteral(".backupCount");
inline const QString History = QStringLiteral(".history");
inline const QString TextCache = QStringLiteral(".textCache"); // and its "-wal" and "-shm"
inline const QString DrawerOpen = QStringLiteral(".drawerOpen");
inline const QString Unfiled = QStringLiteral("Unfiled");
inline const QString LastImport = QStringLiteral("Last Import");
inline const QString AttributesPrefix = QStringLiteral(".+");
// The macOS edition renames a file it is about to replace to this name for the time of
// the write. The name is also that of another item's file ("X" and "X.old"), so a copy
// under it is only ever read as a fallback, and never removed by this name.
inline const QString OldSuffix = QStringLiteral(".old");

// Stored (enciphered) forms of an item, in the order they are looked for.
inline const QString EncFile = QStringLiteral("fvdbe");
inline const QString EncZipR = QStringLiteral("fvdbzre");
inline const QString EncZip = QStringLiteral("fvdbze");
inline const QStringList EncipheredSuffixes = {EncFile, EncZipR, EncZip};
// Transient forms: a zip container of a folder item whose entries begin with the item's
// own name, an older one whose entries are relative to its inside, and the check copy.
inline const QString ZipR = QStringLiteral("fvdbzr");
inline const QString Zip = QStringLiteral("fvdbz");
inline const QString CheckCopy = QStringLiteral("fvdbd");

// Encrypted databases: the password marker (plain and enciphered) and the note that the
// owner was once told to keep backups.
inline const QString EncryptedMarker = QStringLiteral(".encrypted");
inline const QString EncryptedMarkerStored = QStringLiteral(".encrypted.fvdbe");
inline const QByteArray EncryptedMarkerContent = QByteArrayLiteral("Encrypted DB");
inline const QString WarnedAboutBackup = QStringLiteral(".warnedaboutbackup");

// Permission scheme: folders inside a package stay read-only and are writable only
// around a change.
constexpr unsigned ReadWriteMode = 0755;
constexpr unsigned ReadOnlyMode = 0555;
constexpr unsigned MarkerMode = 0600;

} // namespace folivo::pkg
