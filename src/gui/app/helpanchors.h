#pragma once
// The anchors of the help book that the window opens: the Help menu's rows and the help
// buttons of dialogs. Each must be defined in the book (a test reads it).

#include <QString>

#include <array>

namespace folivo::gui::helpanchors {

inline const QString Contents = QStringLiteral("Contents");
inline const QString GettingStarted = QStringLiteral("GettingStarted");
inline const QString Databases = QStringLiteral("Databases");
inline const QString Importing = QStringLiteral("Importing");
inline const QString Finding = QStringLiteral("Finding");
inline const QString Logins = QStringLiteral("WebsiteLogins");
inline const QString CommandLine = QStringLiteral("CommandLine");
inline const QString Preferences = QStringLiteral("Preferences");

inline const std::array<const QString*, 8> All = {&Contents, &GettingStarted, &Databases, &Importing,
                                                 &Finding,   &Logins,         &CommandLine, &Preferences};

} // namespace folivo::gui::helpanchors
