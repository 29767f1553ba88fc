#pragma once
// The texts of the debugging information and of sending it, as the person sees them.

#include <QString>

namespace folivo::debuginfo::msg {

// Where support requests go.
inline const QString SupportAddress = QStringLiteral("support@folivo.example");

inline const QString Intro = QStringLiteral(
    "Folivo %1 Debugging info is included below.  You can delete it if irrelevant to your email, or review it to "
    "assure that it contains no information that you do not want sent.  It contains your preferences (with no "
    "clipboard data), information from recent crashes (if any), and information about the size of your "
    "clipboards.\n");
inline const QString OsLine = QStringLiteral("\nOS %1\n");
inline const QString PreferencesHeader =
    QStringLiteral("\n\n--------------------------   Preferences   --------------------------\n\n");
inline const QString DebugInfoHeader = QStringLiteral("\n\n--------------------------   Debug Info   --------------------------");
inline const QString SelectedItemHeader =
    QStringLiteral("\n\n--------------------------   Selected Item Distributed Index   --------------------------\n\n");
inline const QString NotificationsHeader =
    QStringLiteral("\n\n--------------------------   Scheduled User Notifications   --------------------------\n\n");
inline const QString LogEntriesHeader =
    QStringLiteral("\n\n--------------------------   Log Entries   --------------------------\n\n");
inline const QString CrashReportHeader =
    QStringLiteral("\n\n--------------------------   Crash Report   --------------------------\n");

inline const QString MailSubject = QStringLiteral("Folivo Debugging Info");
// Ends a body that was cut to fit into a mail address; the whole text is on the clipboard.
inline const QString BodyCutNote = QStringLiteral(
    "\n\n[The debugging information is too long for a new message and was cut here. The whole text is on "
    "the clipboard: please paste it over this message.]\n");

inline const QString SheetTitle = QStringLiteral("Debugging Information");
inline const QString SheetText = QStringLiteral(
    "This function produces debugging information to be emailed to the author.  If you use a mail program this "
    "will produce an email message in your program.  If you use web browser-based mail, this will put the "
    "debugging information in the clipboard so you can paste it into an email to %1.\n\nWhich do you use?");
inline const QString MailProgram = QStringLiteral("Mail Program");
inline const QString WebMail = QStringLiteral("Web Mail");
inline const QString Cancel = QStringLiteral("Cancel");
inline const QString OnClipboard = QStringLiteral(
    "The debugging information is on your clipboard.  Please paste it into an email to %1");

} // namespace folivo::debuginfo::msg
