#pragma once
// The texts the attributes area shows, verbatim. "%1" takes "view/edit" or "view"; a second
// argument names a folder.

#include <QString>

namespace folivo::attributesmsg {

inline const QString ViewEdit = QStringLiteral("view/edit");
inline const QString View = QStringLiteral("view");

inline const QString NothingAttributes = QStringLiteral(
    "You must select a single file or a regular (non-red) folder to be able to %1 attributes, or a smart folder to be "
    "able to produce reports.");
inline const QString NothingNotes = QStringLiteral("You must select a single file or a folder to be able to %1 notes.");
inline const QString RedFolderNotes = QStringLiteral("You can %1 notes for the folder \"Unfiled\".");
inline const QString SmartFolderNotes = QStringLiteral("You can %1 the notes for the Smart Folder \"%2\".");
inline const QString FolderAttributes = QStringLiteral("You can %1 the attributes for the folder \"%2\".");
inline const QString FolderNotes = QStringLiteral("You can %1 the notes for the folder \"%2\".");
inline const QString SmartFileAttributes =
    QStringLiteral("You can view the attributes for the selected Smart File.  %1");
inline const QString SmartFileNotes = QStringLiteral("You can view the notes for the selected Smart File.  %1");
inline const QString SmartFileAttributesHint =
    QStringLiteral("To edit the attributes, double-click the selected filename above to be taken to the real file.");
// "selectedfilename" is one word in the system's own text.
inline const QString SmartFileNotesHint =
    QStringLiteral("To edit the notes, double-click the selectedfilename above to be taken to the real file.");
inline const QString UnfiledFileAttributes = QStringLiteral("You can %1 the attributes for the selected file.");
inline const QString UnfiledFileNotes = QStringLiteral("You can %1 the notes for the selected file.");
inline const QString FileAttributes =
    QStringLiteral("You can %1 the attributes for the selected file or folder \"%2\".");
inline const QString FileNotes = QStringLiteral("You can %1 the notes for the selected file or folder \"%2\".");

// The auto-tagging dialog's error line and progress text.
inline const QString PrefixDuplicateDeleted =
    QStringLiteral("Error: Prefix you specified below already exists; duplicate deleted.");
inline const QString PrefixOriginalNotChanged =
    QStringLiteral("Error: Prefix you specified below already exists; original not changed.");
inline const QString LookingForTags = QStringLiteral("Looking for tags ...");

// Custom attributes: the names editor's error line and delete question, the alert of a name
// given twice to one item, and what the names file and a rename through the database say.
inline const QString CustomAttributesTitle = QStringLiteral("Custom Attributes");
inline const QString NameDuplicateDeleted =
    QStringLiteral("Error: Name you specified below already exists; duplicate deleted.");
inline const QString NameOriginalNotChanged =
    QStringLiteral("Error: Name you specified below already exists; original not changed.");
inline const QString NameLettersDeleted = QStringLiteral("Error: Only letters allowed in names; name deleted.");
inline const QString NameLettersNotChanged =
    QStringLiteral("Error: Only letters allowed in names; original not changed.");
inline const QString DeleteNameInUse = QStringLiteral(
    "The attribute name \"%1\" is in use for at least one file.  If you delete this name all attributes using it "
    "will also be deleted.\r\rAre you sure you want to delete?");
inline const QString No = QStringLiteral("No");
inline const QString Yes = QStringLiteral("Yes");
inline const QString AttributeExistsTitle = QStringLiteral("Custom Attribute Already Exists");
inline const QString AttributeExists = QStringLiteral(
    "A custom attribute named \"%1\" already exists for this file.  You cannot assign the same attribute twice.");
// Texts of this edition.
inline const QString UpdatingAttributes = QStringLiteral("Updating Custom Attributes ...");
inline const QString UpdatingAttributesText = QStringLiteral("%1 of %2 items written");
inline const QString NamesFileDamagedTitle = QStringLiteral("Custom Attribute Names Unreadable");
inline const QString NamesFileDamaged = QStringLiteral(
    "The list of custom attribute names of this database (\".customAttributeNames\") could not be read. It was "
    "kept as \"%1\" and an empty list was started; the attributes of your files are unchanged. Add the names "
    "again with Custom Attributes... in the Edit menu (or folivo-cli attr-names DB --add NAME).");
inline const QString NamesFileUnreadable = QStringLiteral(
    "The list of custom attribute names of this database (\".customAttributeNames\") could not be read, so no "
    "names are offered. The database cannot be changed, so the file is left as it is.");
inline const QString NamesFileDamagedKept = QStringLiteral(
    "The list of custom attribute names of this database (\".customAttributeNames\") could not be read, and it "
    "could not be moved aside either: %1. It is left as it is, and names added now are not saved until it is "
    "moved or removed. The attributes of your files are unchanged.");
inline const QString WritingAttributesStep = QStringLiteral("Writing attributes file of");
// What an open for reading leaves undone about an unreadable names file.
inline const QString PendingDamagedNames =
    QStringLiteral("move the unreadable \".customAttributeNames\" aside and start an empty list");

} // namespace folivo::attributesmsg
