#pragma once
// The texts of the shared widgets (the folder chooser, the hot-key recorder), verbatim.

#include <QString>

namespace folivo::gui {

namespace foldermsg {
inline const QString ChooseTitle = QStringLiteral("Choose %1");
inline const QString SetAs = QStringLiteral("Set As %1");
inline const QString ErrorTitle = QStringLiteral("%1 Error");
inline const QString NotEmpty = QStringLiteral(
    "\"%1\" already exists and is not empty.  Nothing in it was changed.  Choose a new name, or an empty folder.");
inline const QString NotAFolder = QStringLiteral(
    "\"%1\" already exists and is not a folder.  Nothing was changed.  Choose a new name.");
inline const QString NotCreated = QStringLiteral("The folder \"%1\" could not be created: %2");
} // namespace foldermsg

namespace hotkeymsg {
inline const QString NoHotKey = QStringLiteral("None");
inline const QString TypeHotKey = QStringLiteral("Type the hot key…");
} // namespace hotkeymsg

} // namespace folivo::gui
