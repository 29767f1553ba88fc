#pragma once
// The texts of the panel that picks the tags and dates of a tag smart folder, verbatim.

#include <QString>

namespace folivo::tagpanelmsg {

// "%1" takes the selected titles joined by spaces, or NoTitlesSelected.
inline const QString FilesWith = QStringLiteral("Files With %1");
inline const QString NoTitlesSelected = QStringLiteral("Selected Tags and or Date");
inline const QString CreateMessage = QStringLiteral("Create a smart folder named:");
inline const QString ModifyMessage = QStringLiteral("Modify smart folder:");
inline const QString NothingToSelect = QStringLiteral("There are no tags or dates to select.");
inline const QString NewTagSmartFolder = QStringLiteral("New Tag Smart Folder…");
inline const QString EditTagSmartFolder = QStringLiteral("Edit Tag Smart Folder…");
inline const QString FolderGone = QStringLiteral("The smart folder is no longer in the database.");

} // namespace folivo::tagpanelmsg
