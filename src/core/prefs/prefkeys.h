#pragma once
// The keys of the application's global preference store, written once here. The modules
// that read a key may still spell it where they read it; new code takes it from here.

#include <QString>

namespace folivo::prefkeys {

// The application's identity: the name of its preference store and of its per-user folders.
inline const QString ApplicationId = QStringLiteral("org.folivo.Folivo");

inline const QString EuropeanDates = QStringLiteral("EuropeanDates");
inline const QString BackupKeep = QStringLiteral("BackupKeep");
inline const QString NotifyOpenIndexCheck = QStringLiteral("NotifyOpenIndexCheck");
inline const QString BackupDatabase = QStringLiteral("BackupDatabase");
inline const QString BackupInterval = QStringLiteral("BackupInterval");
inline const QString BackupFolderPath = QStringLiteral("backupFolderPath");
inline const QString HistoryRestore = QStringLiteral("HistoryRestore");
inline const QString ConfirmDelete = QStringLiteral("ConfirmDelete");
inline const QString MaintainLastImport = QStringLiteral("MaintainLastImport");
inline const QString UserSetMaintainLastImport = QStringLiteral("UserSetMaintainLastImport");
inline const QString AutofilePriorities = QStringLiteral("autofilePriorities");
inline const QString DoubleClickMeaning = QStringLiteral("DoubleClickMeaning");
inline const QString ImportLog = QStringLiteral("ImportLog");
inline const QString MatchType = QStringLiteral("MatchType");
inline const QString IgnoreCase = QStringLiteral("IgnoreCase");
inline const QString IgnoreDateAtBeginning = QStringLiteral("ignoreDateAtBeginning");
inline const QString GeneratedPasswordLength = QStringLiteral("generatedPasswordLength");
// Typing a login into another program: 0 pastes, 1 and up types at that speed; the wait for
// a page in seconds.
inline const QString TypeSpeed = QStringLiteral("typeSpeed");
inline const QString BrowserPageLoadDelay = QStringLiteral("browserPageLoadDelay");

inline const QString HotkeyCodeUserID = QStringLiteral("hotkeyCodeUserID");
inline const QString HotkeyUserIDModifierFlags = QStringLiteral("hotkeyUserIDModifierFlags");
inline const QString HotkeyCodePassword = QStringLiteral("hotkeyCodePassword");
inline const QString HotkeyPasswordModifierFlags = QStringLiteral("hotkeyPasswordModifierFlags");
// Older forms: the key as a one-character string. Converted at launch, then removed.
inline const QString LegacyHotkeyUserID = QStringLiteral("hotkeyUserID");
inline const QString LegacyHotkeyPassword = QStringLiteral("hotkeyPassword");

inline const QString BrowserEnablePlugins = QStringLiteral("fvBrowserEnablePlugins");
inline const QString BrowserEnableJava = QStringLiteral("fvBrowserEnableJava");
inline const QString BrowserEnableJavascript = QStringLiteral("fvBrowserEnableJavascript");
inline const QString BrowserAllowJavascriptToOpenWindows = QStringLiteral("fvBrowserAllowJavascriptToOpenWindows");
inline const QString BrowserAutomaticallyLoadImages = QStringLiteral("fvBrowserAutomaticallyLoadImages");
inline const QString BrowserAllowAnimatedImages = QStringLiteral("fvBrowserAllowAnimatedImages");
inline const QString BrowserAllowAnimatedImageLooping = QStringLiteral("fvBrowserAllowAnimatedImageLooping");
inline const QString BrowserKeepWindowsAbove = QStringLiteral("fvBrowserKeepWindowsAbove");

inline const QString Find = QStringLiteral("find");
// Older forms of the last find, folded into "find" at launch, then removed.
inline const QString LegacyFindBackwards = QStringLiteral("findBackwards");
inline const QString LegacyFindName = QStringLiteral("findName");
inline const QString LegacyFindDate = QStringLiteral("findDate");
inline const QString LegacyFindExpandFoundCategory = QStringLiteral("findExpandFoundCategory");
inline const QString LegacyFindByDate = QStringLiteral("findByDate");
inline const QString LegacyFindIgnoreCase = QStringLiteral("findIgnoreCase");

inline const QString LastDBFile = QStringLiteral("Last DB File");
inline const QString MaxFutureReminders = QStringLiteral("maxFutureReminders");
inline const QString UserNotificationsForReminders = QStringLiteral("userNotificationsForReminders");
inline const QString UserNotificationsForRemindersHandling = QStringLiteral("userNotificationsForRemindersHandling");
inline const QString DroppedFilesToImport = QStringLiteral("droppedFilesToImport");

} // namespace folivo::prefkeys
