#pragma once
// The texts of the login page of a folder, of the password generator, of Go To and of the
// typing of a login.

#include <QString>
#include <QStringList>

namespace folivo::gui::loginmsg {

inline const QString Address = QStringLiteral("Website:");
inline const QString UserID = QStringLiteral("User ID:");
inline const QString UserID2 = QStringLiteral("Second user ID:");
inline const QString Password = QStringLiteral("Password:");
inline const QString ShowSecrets = QStringLiteral("Show ID/Password");
inline const QString HideSecrets = QStringLiteral("Hide ID/Password");
inline const QString Generate = QStringLiteral("Generate…");
inline const QString Browser = QStringLiteral("Browser:");
inline const QStringList UserIDOptions = {QStringLiteral("Go To only opens the website"),
                                          QStringLiteral("Go To also logs in")};
inline const QString TabBeforeUserID = QStringLiteral("Tab before the user ID");
inline const QString ReturnAfterUserID = QStringLiteral("Return after the user ID");
inline const QStringList PasswordOptions = {
    QStringLiteral("Password on the same page"), QStringLiteral("Password on the next page"),
    QStringLiteral("Password not typed"), QStringLiteral("Password shown for 10 seconds")};
inline const QString TabBeforePassword = QStringLiteral("Tab before the password");
inline const QString ReturnAfterPassword = QStringLiteral("Return after the password");
inline const QString Tabs = QStringLiteral("%n Tab(s)");

inline const QString GeneratorTitle = QStringLiteral("Generate Password");
inline const QString Length = QStringLiteral("Length:");
inline const QString IncludeSpecials = QStringLiteral("Include special characters");
inline const QString GeneratorNote = QStringLiteral("The password it replaces is kept in the folder's notes.");

// The hot keys of the logins, held by another program.
inline const QString HotKeyInUseTitle = QStringLiteral("Hot Key In Use");
inline const QString HotKeyInUse = QStringLiteral(
    "The hot key %1 is in use by another program. Choose another one in Preferences ▸ Logins.");
inline const QString GoTo = QStringLiteral("Go To");
inline const QString GoToWebsite = QStringLiteral("Go To Website");
inline const QString RecentWebsites = QStringLiteral("Go To Recent Website");
inline const QString ClearMenu = QStringLiteral("Clear Menu");

inline const QString TypingWarning = QStringLiteral("Typing your login\u2026 Keep the browser in front.");
inline const QString StoppedOwnWindow =
    QStringLiteral("Typing stopped: Folivo was in front of the browser. Use the hot keys to type the login.");
inline const QString StoppedWindowChanged =
    QStringLiteral("Typing stopped: another window came to the front. Use the hot keys to type the login.");
inline const QString StoppedModifiersHeld = QStringLiteral("Typing stopped: the keys of the hot key were still held down.");
inline const QString StoppedNoBrowser = QStringLiteral("Typing stopped: Folivo's browser window did not come to the front.");

inline const QString NotOpenedTitle = QStringLiteral("Go To");
inline const QString NotOpened = QStringLiteral(
    "The website \"%1\" could not be opened: no web browser could be started. Nothing was typed.");
inline const QString TypingUnavailableTitle = QStringLiteral("Typing Not Available");
inline const QString TypingUnavailable =
    QStringLiteral("%1\n\nGo To still opens the website; type the user ID and the password yourself.");

} // namespace folivo::gui::loginmsg
