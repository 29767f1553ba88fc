// notify-due [--wait SECONDS] [--watch]: shows the reminder notifications that fell due while
// Folivo was not running (the desktop keeps no schedule; a systemd user timer or the session's
// autostart runs this). A click on "Go" or on the notification starts Folivo at the folder,
// or hands the request to the Folivo that runs.

#include "command.h"
#include "console.h"
#include "registry.h"

#include "platform/linux/linuxnotifications.h"
#include "reminders/noticestore.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>

namespace folivo::cli {
namespace {

constexpr int kDefaultWaitSeconds = 600;
constexpr int kWatchIntervalMs = 60 * 1000;

platform::Notification notificationFor(const ReminderNotice& notice)
{
    platform::Notification n;
    n.identifier = notice.identifier;
    n.title = notice.title;
    n.subtitle = notice.subtitle;
    n.body = notice.body;
    n.deliverAt = notice.when;
    n.actionTitle = QStringLiteral("Go");
    n.userInfo = {{QStringLiteral("Reminded Folder"), notice.folderPath}, {QStringLiteral("DB Path"), notice.dbPath}};
    return n;
}

// The program a click starts: FOLIVO_PROGRAM when set (tests), else the folivo beside this
// program, else the one on the PATH.
QString folivoProgram()
{
    if (const QString named = qEnvironmentVariable("FOLIVO_PROGRAM"); !named.isEmpty())
        return named;
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/folivo");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString found = QStandardPaths::findExecutable(QStringLiteral("folivo"));
    return found.isEmpty() ? QStringLiteral("folivo") : found;
}

class NotifyDueCommand : public Command {
public:
    NotifyDueCommand()
        : Command({"notify-due",
                   UsageGroup::Reading,
                   75,
                   {{"notify-due",
                     {"show the reminder notifications that fell due while Folivo was not running;",
                      "a click opens the database at the folder (this is what the timer runs)"}}},
                   0,
                   {},
                   {{"--wait", 1, "--wait SECONDS",
                     {"stay that long for a click on what was shown (default 600; 0: do not stay)"}},
                    {"--watch", 0, "--watch", {"keep running and look again every minute (the autostart entry)"}}}})
    {
    }

    QString checkUsage(const Invocation& call) const override
    {
        for (const auto& [name, values] : call.options.own)
            if (name == QLatin1String("--wait")) {
                bool ok = false;
                const int seconds = values.first().toInt(&ok);
                if (!ok || seconds < 0)
                    return QStringLiteral("--wait needs a number of seconds.");
            }
        return {};
    }

    int run(Invocation& call) const override
    {
        int waitSeconds = kDefaultWaitSeconds;
        bool watch = false;
        for (const auto& [name, values] : call.options.own) {
            if (name == QLatin1String("--wait"))
                waitSeconds = values.first().toInt();
            watch = watch || name == QLatin1String("--watch");
        }
        Console& console = call.console;
        NoticeStore store;
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()->isServiceRegistered(platform::LinuxNotifications::Service)) {
            console.err(QStringLiteral("No notification service on the session bus: nothing can be shown."));
            return 2;
        }
        platform::LinuxNotifications notifications(bus);

        QEventLoop loop;
        QSet<QString> open; // shown by this run and still on the desktop
        int failures = 0;
        QObject::connect(&notifications, &platform::LinuxNotifications::shownOnDesktop, &loop,
                         [&](const QString& identifier, const QString& error) {
                             if (!error.isEmpty()) {
                                 open.remove(identifier);
                                 ++failures;
                                 console.err(QStringLiteral("The desktop did not show a reminder: %1").arg(error));
                             } else if (Result<bool> marked = store.markShown(identifier); !marked) {
                                 console.err(QStringLiteral("Cannot note a shown reminder: %1")
                                                 .arg(marked.error().describe()));
                             }
                             if (open.isEmpty() && !watch)
                                 loop.quit();
                         });
        QObject::connect(&notifications, &platform::LinuxNotifications::closed, &loop, [&](const QString& identifier) {
            open.remove(identifier);
            if (open.isEmpty() && !watch)
                loop.quit();
        });
        QObject::connect(&notifications, &platform::Notifications::activated, &loop,
                         [&](const platform::Notification& n) {
                             // Only a request of our own store, naming a database that is there.
                             const std::optional<ReminderNotice> request = store.request(n.identifier);
                             if (!request)
                                 return;
                             const QString program = folivoProgram();
                             if (!QProcess::startDetached(program, {QStringLiteral("--reminder"), request->identifier}))
                                 console.err(QStringLiteral("Cannot start %1.").arg(program));
                         });

        const auto showDue = [&] {
            int shown = 0;
            for (const ReminderNotice& notice : store.due(QDateTime::currentDateTime())) {
                if (open.contains(notice.identifier))
                    continue;
                open.insert(notice.identifier);
                notifications.schedule(notificationFor(notice));
                console.outLine(QStringLiteral("%1: %2").arg(notice.title, notice.folderPath));
                ++shown;
            }
            return shown;
        };

        const int shown = showDue();
        if (shown == 0 && !watch)
            return 0;
        QTimer again;
        if (watch) {
            QObject::connect(&again, &QTimer::timeout, &loop, showDue);
            again.start(kWatchIntervalMs);
        } else {
            // Shown: the run stays for clicks as long as one is on the desktop, or the wait.
            QTimer::singleShot(std::max(waitSeconds, 0) * 1000, &loop, &QEventLoop::quit);
        }
        // Until the desktop answered every Notify at least, even without a wait.
        if (!watch && waitSeconds == 0) {
            QObject::disconnect(&notifications, &platform::LinuxNotifications::closed, &loop, nullptr);
            QDeadlineTimer answered(5000);
            while (!answered.hasExpired() && notifications.pending().size() + failures < shown)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            return failures ? 1 : 0;
        }
        loop.exec();
        return failures ? 1 : 0;
    }
};

} // namespace
FOLIVO_REGISTER_COMMAND(NotifyDueCommand);
} // namespace folivo::cli
