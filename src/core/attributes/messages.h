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

} // namespace folivo::attributesmsg
