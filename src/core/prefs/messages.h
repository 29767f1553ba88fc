#pragma once
// The texts of the application's launch, verbatim.

#include <QString>

namespace folivo {

namespace launchmsg {
inline const QString FirstRunTitle = QStringLiteral("Folivo First Run");
inline const QString FirstRunText = QStringLiteral(
    "Folivo is similar to, but not identical to the legacy application Stackmere.  It has an updated look, and "
    "now optionally produces user notifications for reminders.  Also, graphing of custom attributes is not "
    "supported.");
} // namespace launchmsg

} // namespace folivo
