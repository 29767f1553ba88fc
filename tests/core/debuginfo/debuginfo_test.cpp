#include "debuginfo/debuginfo.h"
#include "debuginfo/messages.h"
#include "logins/loginrecord.h"
#include "store/indexitem.h"
#include "store/keys.h"
#include "support/testsecrets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace folivo;
namespace msg = folivo::debuginfo::msg;

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

struct Runner {
    QString listing; // empty: coredumpctl is not installed
    QMap<QString, QString> infos; // pid -> info text
    QList<QStringList> calls;
    ProgramRunner fn()
    {
        return [this](const QString& program, const QStringList& args) -> std::optional<QString> {
            calls.push_back(QStringList{program} + args);
            if (program != QLatin1String("coredumpctl") || listing.isEmpty())
                return std::nullopt;
            if (args.contains(QLatin1String("list")))
                return listing;
            if (args.contains(QLatin1String("info")))
                return infos.value(args.last());
            return std::nullopt;
        };
    }
};

DebugInfoEnvironment baseEnvironment(const QString& logs)
{
    DebugInfoEnvironment env;
    env.appVersion = QStringLiteral("10.0");
    env.osRelease = QStringLiteral("NAME=\"Debian GNU/Linux\"\nVERSION=\"12 (bookworm)\"\n"
                                   "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
    env.kernel = QStringLiteral("Linux 6.1.0-18-amd64 x86_64");
    env.qtVersion = QStringLiteral("6.4.2");
    env.sessionType = QStringLiteral("wayland");
    env.desktop = QStringLiteral("GNOME");
    env.preferences = QStringLiteral("{\"Last DB File\": \"/home/a/Bank.fvdb\"}");
    env.logsFolder = logs;
    return env;
}

} // namespace

TEST(DebugInfo, SectionsComeInOrderWithTheirExactHeaders)
{
    QTemporaryDir logs;
    writeFile(logs.filePath("Folivo.log"), "12/11/2026 10:00 -- Moving item to:/Bank/a.pdf\n");
    writeFile(logs.filePath("Folivo-run.log.1"), "old line\n");
    writeFile(logs.filePath("Folivo-run.log"), "new line\n");
    writeFile(logs.filePath("other.txt"), "not ours\n");
    Runner runner;
    runner.listing = QStringLiteral(R"([{"time":1,"pid":4242,"exe":"/usr/bin/folivo"}])");
    runner.infos[QStringLiteral("4242")] = QStringLiteral(
        "PID: 4242 (folivo)\nSignal: 11 (SEGV)\nStack trace of thread 4242:\n#0 crash\n\nStack trace of thread 4243:\n#0 poll\n");

    DebugInfoEnvironment env = baseEnvironment(logs.path());
    env.debugText = QStringLiteral("\n\nDisk error: Moving item to: /Bank/a.pdf (No space left on device)");
    env.selectedItem = QStringLiteral("{\"Path\": \"/Bank\"}");
    ReminderNotice n;
    n.title = QStringLiteral("Finances");
    n.when = QDateTime(QDate(2026, 3, 5), QTime(0, 0));
    n.subtitle = QStringLiteral("Bank");
    n.body = QStringLiteral("Visa");
    env.notices = {n};
    env.run = runner.fn();

    const QString text = buildDebugInfo(env);
    const QString expected = msg::Intro.arg("10.0") +
                             "\nOS Debian GNU/Linux 12 (bookworm); Linux 6.1.0-18-amd64 x86_64; Qt 6.4.2; Wayland; GNOME\n" +
                             msg::PreferencesHeader + env.preferences + msg::DebugInfoHeader + env.debugText +
                             msg::SelectedItemHeader + *env.selectedItem + msg::NotificationsHeader +
                             "Finances 3/05/2026:   Bank/Visa\n" + msg::LogEntriesHeader +
                             "Folivo-run.log.1:\nold line\nFolivo-run.log:\nnew line\n"
                             "Folivo.log:\n12/11/2026 10:00 -- Moving item to:/Bank/a.pdf\n" +
                             msg::CrashReportHeader +
                             "PID: 4242 (folivo)\nSignal: 11 (SEGV)\nStack trace of thread 4242:\n#0 crash\n\n";
    EXPECT_EQ(text.toStdString(), expected.toStdString());
    ASSERT_FALSE(runner.calls.isEmpty());
    EXPECT_EQ(runner.calls.first().mid(0, 4).join(' '), QStringLiteral("coredumpctl --no-pager --json=short list"));
}

TEST(DebugInfo, AbsentPartsLeaveTheirSectionsEmpty)
{
    // No notes, no selection, no notifications, no logs folder, no coredumpctl.
    DebugInfoEnvironment env = baseEnvironment(QStringLiteral("/nonexistent/folivo-logs"));
    env.osRelease.clear();
    env.sessionType.clear();
    env.desktop.clear();
    Runner runner;
    env.run = runner.fn();
    const QString text = buildDebugInfo(env);
    EXPECT_FALSE(text.contains(msg::DebugInfoHeader));
    EXPECT_FALSE(text.contains(msg::SelectedItemHeader));
    EXPECT_TRUE(text.contains("\nOS unknown distribution; Linux 6.1.0-18-amd64 x86_64; Qt 6.4.2; no graphical session\n"));
    EXPECT_TRUE(text.endsWith(msg::NotificationsHeader + msg::LogEntriesHeader + msg::CrashReportHeader));
}

TEST(DebugInfo, CrashReports)
{
    struct Case {
        const char* name;
        QString listing;
        QMap<QString, QString> infos;
        QString expectedTail;
    };
    const QString one = QStringLiteral("Stack trace of thread 1:\n#0 a\n");
    const std::vector<Case> cases{
        {"damaged listing", "not json", {}, msg::CrashReportHeader},
        {"no entries", "[]", {}, msg::CrashReportHeader},
        {"report without a second thread is whole", R"([{"pid":7}])", {{"7", one}}, msg::CrashReportHeader + one},
        // The newest three, newest first.
        {"only the newest",
         R"([{"pid":1},{"pid":2},{"pid":3},{"pid":4}])",
         {{"1", "r1\n"}, {"2", "r2\n"}, {"3", "r3\n"}, {"4", "r4\n"}},
         msg::CrashReportHeader + "r4\n" + msg::CrashReportHeader + "r3\n" + msg::CrashReportHeader + "r2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Runner runner;
        runner.listing = c.listing;
        runner.infos = c.infos;
        DebugInfoEnvironment env = baseEnvironment({});
        env.run = runner.fn();
        const QString text = buildDebugInfo(env);
        EXPECT_TRUE(text.endsWith(msg::LogEntriesHeader + c.expectedTail)) << text.toStdString();
    }
}

TEST(DebugInfo, LogTailKeepsTheLastLines)
{
    QTemporaryDir logs;
    QByteArray many;
    for (int i = 0; i < kLogTailLines + 50; ++i)
        many += "line " + QByteArray::number(i) + '\n';
    writeFile(logs.filePath("Folivo.log"), many);
    DebugInfoEnvironment env = baseEnvironment(logs.path());
    const QString text = buildDebugInfo(env);
    EXPECT_FALSE(text.contains("\nline 49\n"));
    EXPECT_TRUE(text.contains("\nline 50\n"));
    EXPECT_TRUE(text.contains(QStringLiteral("\nline %1\n").arg(kLogTailLines + 49)));
}

TEST(DebugInfo, SelectedLoginFolderShowsSecretsByLengthOnly)
{
    using namespace folivo::test;
    plist::Dict keys;
    keys.set(QStringLiteral("Path"), plist::Value(QStringLiteral("/Bank/Visa")));
    keys.set(loginkeys::URL, plist::Value(QStringLiteral("https://") + secrets::UserID2 + ":" + secrets::Password2 +
                                          "@bank.example/login"));
    keys.set(loginkeys::UserID, plist::Value(secrets::UserID));
    keys.set(loginkeys::UserID2, plist::Value(secrets::UserID2));
    keys.set(loginkeys::Password, plist::Value(secrets::Password));
    keys.set(keys::Notes, plist::Value(notesWithPasswordHistory(QStringLiteral("Card ends 1234"), secrets::Password2,
                                                                QDateTime(QDate(2026, 1, 2), QTime(9, 0)))));
    const IndexItem folder(keys, true);

    const QString text = itemDescriptionForDiagnostics(folder);
    for (const QString& secret : {secrets::Password, secrets::Password2, secrets::UserID, secrets::UserID2})
        EXPECT_TRUE(!text.contains(secret));
    EXPECT_TRUE(text.contains(QStringLiteral("(%1 characters)").arg(secrets::Password.size())));
    EXPECT_TRUE(text.contains("bank.example/login"));
    EXPECT_TRUE(text.contains("Card ends 1234"));
    EXPECT_TRUE(text.contains("Password was: (hidden)"));
    EXPECT_TRUE(text.contains("/Bank/Visa"));
}
