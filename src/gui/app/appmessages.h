#pragma once
// The texts the application's start and its database windows show to people, verbatim.

#include <QString>

namespace folivo::gui {

namespace appmsg {
inline const QString NoDatabaseTitle = QStringLiteral("No Database");
inline const QString NoDatabaseText = QStringLiteral(
    "You cannot import any files because you have no database open, and the previous database you were using (if "
    "any) cannot be found.  Create or open a database and try again.");
} // namespace appmsg

} // namespace folivo::gui
