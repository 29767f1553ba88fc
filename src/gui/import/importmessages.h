#pragma once
// The texts of the import folder's settings sheet, verbatim.

#include <QString>

namespace folivo::gui {

namespace importsheetmsg {
inline const QString FolderName = QStringLiteral("Import Folder");
inline const QString NotSavedTitle = QStringLiteral("Import Folder Settings Not Saved");
inline const QString NotSavedText = QStringLiteral(
    "The import folder settings could not be written into the database.  They apply while it is open, and "
    "Folivo tries again when it next saves the database.");
} // namespace importsheetmsg

} // namespace folivo::gui
