#include "debuginfo/debuginfo.h"

#include "debuginfo/messages.h"
#include "folivo-config.h"
#include "logins/loginrecord.h"
#include "plist/typedjson.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "util/debuglog.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <algorithm>

namespace folivo {

namespace {

QString osReleaseName(const QString& text)
{
    QString pretty, name, version;
    for (const QString& line : text.split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        if (key == QLatin1String("PRETTY_NAME"))
            pretty = value;
        else if (key == QLatin1String("NAME"))
            name = value;
        else if (key == QLatin1String("VERSION"))
            version = value;
    }
    if (!pretty.isEmpty())
        return pretty;
    if (!name.isEmpty())
        return version.isEmpty() ? name : name + u' ' + version;
    return QStringLiteral("unknown distribution");
}

QString sessionName(const QString& type)
{
    if (type.compare(QLatin1String("x11"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("X11");
    if (type.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Wayland");
    return type.isEmpty() ? QStringLiteral("no graphical session") : type;
}

QStringList lastLines(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Only the end is wanted: a log at its size limit need not be read whole.
    constexpr qint64 kTailBytes = 256 * 1024;
    if (file.size() > kTailBytes)
        file.seek(file.size() - kTailBytes);
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (file.size() > kTailBytes && !lines.isEmpty())
        lines.removeFirst(); // begun in the middle of a line
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() > count)
        lines = lines.mid(lines.size() - count);
    return lines;
}

QString logEntries(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    // The older half of a rotated log first, so that the lines read in time order.
    QStringList names = dir.entryList({QStringLiteral("Folivo*.log"), QStringLiteral("Folivo*.log.*")}, QDir::Files);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const auto base = [](const QString& n) { return n.left(n.indexOf(QLatin1String(".log")) + 4); };
        if (base(a) != base(b))
            return base(a) < base(b);
        return a.size() > b.size(); // "Folivo-run.log.1" before "Folivo-run.log"
    });
    QString text;
    for (const QString& name : names) {
        const QStringList lines = lastLines(dir.filePath(name), kLogTailLines);
        if (lines.isEmpty())
            continue;
        text += QStringLiteral("%1:\n").arg(name);
        for (const QString& line : lines)
            text += line + u'\n';
    }
    return text;
}

// A crash report up to the second thread's stack: the crashing thread's comes first.
QString crashReportBeginning(const QString& info)
{
    static const QString marker = QStringLiteral("Stack trace of thread");
    const qsizetype first = info.indexOf(marker);
    if (first < 0)
        return info;
    const qsizetype second = info.indexOf(marker, first + marker.size());
    if (second < 0)
        return info;
    // Back to the start of the line that names the second thread.
    const qsizetype lineStart = info.lastIndexOf(u'\n', second);
    return info.left(lineStart < 0 ? second : lineStart + 1);
}

QStringList crashReports(const ProgramRunner& run)
{
    if (!run)
        return {};
    const std::optional<QString> listing = run(QStringLiteral("coredumpctl"),
                                               {QStringLiteral("--no-pager"), QStringLiteral("--json=short"),
                                                QStringLiteral("list"), QStringLiteral("folivo"),
                                                QStringLiteral("folivo-cli")});
    if (!listing)
        return {};
    const QJsonDocument json = QJsonDocument::fromJson(listing->toUtf8());
    if (!json.isArray())
        return {};
    QList<qint64> pids;
    for (const QJsonValue& entry : json.array()) {
        const qint64 pid = entry.toObject().value(QLatin1String("pid")).toInteger(-1);
        if (pid > 0)
            pids.push_back(pid);
    }
    // coredumpctl lists the oldest first; the newest are the interesting ones.
    if (pids.size() > kCrashReports)
        pids = pids.mid(pids.size() - kCrashReports);
    QStringList reports;
    for (auto it = pids.crbegin(); it != pids.crend(); ++it) {
        const std::optional<QString> info =
            run(QStringLiteral("coredumpctl"), {QStringLiteral("--no-pager"), QStringLiteral("info"), QString::number(*it)});
        if (info && !info->isEmpty())
            reports.push_back(crashReportBeginning(*info));
    }
    return reports;
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.read(64 * 1024)) : QString();
}

} // namespace

QString folivoLogsFolder()
{
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty() || !QDir::isAbsolutePath(stateHome))
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/folivo");
}

DebugInfoEnvironment systemDebugInfoEnvironment()
{
    DebugInfoEnvironment env;
    env.appVersion = QStringLiteral(FOLIVO_VERSION_STRING);
    env.osRelease = readFile(QStringLiteral("/etc/os-release"));
    if (env.osRelease.isEmpty())
        env.osRelease = readFile(QStringLiteral("/usr/lib/os-release"));
    const QString kernelType = QSysInfo::kernelType();
    env.kernel = QStringLiteral("%1 %2 %3").arg(kernelType == QLatin1String("linux") ? QStringLiteral("Linux") : kernelType,
                                                QSysInfo::kernelVersion(),
                                                QSysInfo::currentCpuArchitecture());
    env.qtVersion = QString::fromLatin1(qVersion());
    env.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    if (env.sessionType.isEmpty())
        env.sessionType = qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ? QStringLiteral("wayland")
                          : qEnvironmentVariableIsSet("DISPLAY")       ? QStringLiteral("x11")
                                                               : QString();
    env.desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    env.debugText = debugInfo();
    env.logsFolder = folivoLogsFolder();
    env.run = [](const QString& program, const QStringList& arguments) -> std::optional<QString> {
        // FOLIVO_COREDUMPCTL names a stand-in for coredumpctl (the tests' fake journal).
        const QString standIn = program == QLatin1String("coredumpctl") ? qEnvironmentVariable("FOLIVO_COREDUMPCTL") : QString();
        const QString found = standIn.isEmpty() ? QStandardPaths::findExecutable(program) : standIn;
        if (found.isEmpty())
            return std::nullopt;
        QProcess p;
        p.start(found, arguments, QIODevice::ReadOnly);
        // coredumpctl answers from the journal at once; a hung one must not hold the window.
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(1000);
            return std::nullopt;
        }
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    return env;
}

QString osDescription(const DebugInfoEnvironment& env)
{
    QStringList parts{osReleaseName(env.osRelease)};
    if (!env.kernel.isEmpty())
        parts << env.kernel;
    parts << QStringLiteral("Qt %1").arg(env.qtVersion) << sessionName(env.sessionType);
    if (!env.desktop.isEmpty())
        parts << env.desktop;
    return parts.join(QLatin1String("; "));
}

QString buildDebugInfo(const DebugInfoEnvironment& env)
{
    namespace msg = debuginfo::msg;
    QString text;
    text.reserve(50000);
    text += msg::Intro.arg(env.appVersion);
    text += msg::OsLine.arg(osDescription(env));
    text += msg::PreferencesHeader + env.preferences;
    if (!env.debugText.isEmpty())
        text += msg::DebugInfoHeader + env.debugText;
    if (env.selectedItem)
        text += msg::SelectedItemHeader + *env.selectedItem;
    text += msg::NotificationsHeader;
    for (const ReminderNotice& n : env.notices)
        text += QStringLiteral("%1 %2:   %3/%4\n")
                    .arg(n.title, QLocale::c().toString(n.when.date(), QStringLiteral("M/dd/yyyy")), n.subtitle, n.body);
    text += msg::LogEntriesHeader + logEntries(env.logsFolder);
    const QStringList reports = crashReports(env.run);
    if (reports.isEmpty())
        text += msg::CrashReportHeader;
    for (const QString& report : reports)
        text += msg::CrashReportHeader + report;
    return text;
}

QString itemDescriptionForDiagnostics(const IndexItem& item)
{
    plist::Dict shown = item.keys();
    for (const QString& key : {loginkeys::UserID, loginkeys::UserID2, loginkeys::Password}) {
        plist::Value* v = shown.find(key);
        if (!v)
            continue;
        const qsizetype length = v->isString() ? v->string().size() : 0;
        *v = plist::Value(QStringLiteral("(%1 characters)").arg(length));
    }
    if (plist::Value* url = shown.find(loginkeys::URL); url && url->isString()) {
        QUrl address(url->string());
        if (!address.userInfo().isEmpty()) {
            address.setUserInfo(QString());
            *url = plist::Value(address.toString());
        }
    }
    // A changed password leaves the old one in the notes ("…: Password was: …").
    if (plist::Value* notes = shown.find(keys::Notes); notes && notes->isString()) {
        static const QRegularExpression oldPassword(QStringLiteral("(Password was: ).*$"),
                                                    QRegularExpression::MultilineOption);
        QString hidden = notes->string();
        hidden.replace(oldPassword, QStringLiteral("\\1(hidden)"));
        *notes = plist::Value(hidden);
    }
    return QString::fromUtf8(plist::toTypedJson(plist::Value(std::move(shown))));
}

} // namespace folivo
