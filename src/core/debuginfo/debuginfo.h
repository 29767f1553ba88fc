#pragma once
// The debugging information a support request needs, as one plain text: the system, the
// preferences, the run's diagnostic notes, the selected item, the scheduled notifications,
// the tail of Folivo's own logs and the beginnings of its crash reports.
//
// The builder is pure: everything it reads of the machine comes in through
// DebugInfoEnvironment, so that the text can be checked without the machine's own files or
// programs. systemDebugInfoEnvironment() fills it from the running system.

#include "reminders/reminders.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace folivo {

class IndexItem;

// Runs a program with its arguments and answers its standard output; none when the program
// is missing, failed or took too long.
using ProgramRunner = std::function<std::optional<QString>(const QString& program, const QStringList& arguments)>;

struct DebugInfoEnvironment {
    QString appVersion;       // "10.0"
    QString osRelease;        // the text of /etc/os-release
    QString kernel;           // "Linux 6.1.0-18-amd64 x86_64"
    QString qtVersion;        // "6.4.2"
    QString sessionType;      // "x11", "wayland" or empty
    QString desktop;          // XDG_CURRENT_DESKTOP
    QString preferences;      // the preference store's description
    QString debugText;        // the run's diagnostic notes
    std::optional<QString> selectedItem; // the one selected item, described without secrets
    std::vector<ReminderNotice> notices; // the scheduled notifications, in time order
    QString logsFolder;       // $XDG_STATE_HOME/folivo
    ProgramRunner run;        // for coredumpctl; none: no crash reports
};

// The environment of this machine and run; the caller adds the preferences, the selected
// item and the notifications it knows of.
DebugInfoEnvironment systemDebugInfoEnvironment();

// The folder of Folivo's own logs: $XDG_STATE_HOME/folivo (~/.local/state/folivo).
QString folivoLogsFolder();

// "Debian GNU/Linux 12 (bookworm); Linux 6.1.0 x86_64; Qt 6.4.2; X11; GNOME".
QString osDescription(const DebugInfoEnvironment& env);

QString buildDebugInfo(const DebugInfoEnvironment& env);

// An item's stored keys as readable text, for the debugging information: user IDs and
// passwords by their length only, the earlier passwords kept in a login's notes hidden, and
// the user and password an address may carry removed.
QString itemDescriptionForDiagnostics(const IndexItem& item);

// How many of the last lines of each log file the text holds.
inline constexpr int kLogTailLines = 200;
// How many of the most recent crash reports it holds.
inline constexpr int kCrashReports = 3;

} // namespace folivo
