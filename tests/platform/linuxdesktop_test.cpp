// The Linux desktop: what it starts (xdg-open, xdg-email, a chosen program) with which
// arguments, how it asks the file manager to show a file and what it does when no file
// manager answers, on a recorded bus and on a real one of the test's own.

#include "platform/linux/linuxdesktop.h"
#include "platformtest.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>

using namespace folivo::platform;
using namespace folivo::platform::test;

namespace {

class OnTheDesktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(writeFile(file_, "%PDF-1.4\n"));
        auto runner = std::make_unique<RecordingRunner>();
        auto bus = std::make_unique<ScriptedBus>();
        runner_ = runner.get();
        bus_ = bus.get();
        desktop_ = std::make_unique<LinuxDesktop>(std::move(runner), std::move(bus), catalogue());
    }
    ApplicationCatalogue catalogue() const
    {
        return ApplicationCatalogue({dir_.filePath("applications")}, "C", {});
    }
    QString path(const QString& rel) const { return dir_.filePath(rel); }

    QTemporaryDir dir_;
    // A name with blanks that starts like an option.
    const QString file_ = dir_.filePath("My Papers/-statement 2024.pdf");
    RecordingRunner* runner_ = nullptr;
    ScriptedBus* bus_ = nullptr;
    std::unique_ptr<LinuxDesktop> desktop_;
};

} // namespace

TEST_F(OnTheDesktop, OpensFilesAndAddressesWithXdgOpenAsOneArgument)
{
    const struct {
        QUrl url;
        QStringList started; // empty: refused
    } cases[] = {
        {QUrl("https://example.com/a b?q=x&y=1#top"), {"xdg-open", "https://example.com/a%20b?q=x&y=1#top"}},
        {QUrl("mailto:help@folivo.org?subject=Two words"), {"xdg-open", "mailto:help@folivo.org?subject=Two%20words"}},
        {QUrl::fromLocalFile(file_), {"xdg-open", file_}},
        {QUrl("example.com/no-scheme"), {}},
        {QUrl::fromLocalFile(path("missing.pdf")), {}},
        {QUrl(), {}},
    };
    for (const auto& c : cases) {
        runner_->started.clear();
        EXPECT_EQ(desktop_->openUrl(c.url), !c.started.isEmpty()) << c.url.toString();
        EXPECT_EQ(runner_->started, c.started.isEmpty() ? QList<QStringList>() : QList<QStringList>{c.started})
            << c.url.toString();
    }

    runner_->started.clear();
    EXPECT_TRUE(desktop_->openFile(file_));
    EXPECT_FALSE(desktop_->openFile(path("missing.pdf")));
    EXPECT_FALSE(desktop_->openFile(QString()));
    EXPECT_EQ(runner_->started, starts({{"xdg-open", file_}}));

    // A program that cannot be started is a failure, not a success.
    runner_->succeed = false;
    EXPECT_FALSE(desktop_->openFile(file_));
    EXPECT_FALSE(desktop_->openUrl(QUrl("https://example.com/")));
}

TEST_F(OnTheDesktop, RevealAsksTheFileManagerAndOpensTheFolderWhenNoneAnswers)
{
    const QString uri = QUrl::fromLocalFile(file_).toString(QUrl::FullyEncoded);
    ASSERT_EQ(uri, "file://" + dir_.path() + "/My%20Papers/-statement%202024.pdf");

    ASSERT_TRUE(desktop_->reveal(file_));
    ASSERT_EQ(bus_->calls.size(), 1);
    const DBusCall& call = bus_->calls.front();
    EXPECT_EQ(call.service, "org.freedesktop.FileManager1");
    EXPECT_EQ(call.path, "/org/freedesktop/FileManager1");
    EXPECT_EQ(call.interface, "org.freedesktop.FileManager1");
    EXPECT_EQ(call.method, "ShowItems");
    EXPECT_EQ(call.arguments, QVariantList({QStringList{uri}, QString()}));
    EXPECT_TRUE(runner_->started.isEmpty()); // the file manager answered

    bus_->error = "org.freedesktop.DBus.Error.ServiceUnknown";
    ASSERT_TRUE(desktop_->reveal(file_));
    EXPECT_EQ(runner_->started, starts({{"xdg-open", path("My Papers")}}));

    // A link whose target has gone is still there to be shown; nothing at all is not.
    ASSERT_TRUE(QFile::link(path("gone"), path("dangling")));
    EXPECT_TRUE(desktop_->reveal(path("dangling")));
    const qsizetype calls = bus_->calls.size();
    EXPECT_FALSE(desktop_->reveal(path("missing.pdf")));
    EXPECT_FALSE(desktop_->reveal(QString()));
    EXPECT_EQ(bus_->calls.size(), calls);
}

TEST_F(OnTheDesktop, OpenWithAsksThePortalsChooserWithTheFileReadOnlyAndFallsBackWithoutIt)
{
    int fallbacks = 0;
    ASSERT_TRUE(desktop_->openWithChooser(file_, [&] { ++fallbacks; }));
    ASSERT_EQ(bus_->calls.size(), 1);
    const DBusCall& call = bus_->calls.front();
    EXPECT_EQ(call.service, "org.freedesktop.portal.Desktop");
    EXPECT_EQ(call.path, "/org/freedesktop/portal/desktop");
    EXPECT_EQ(call.interface, "org.freedesktop.portal.OpenURI");
    EXPECT_EQ(call.method, "OpenFile");
    ASSERT_EQ(call.arguments.size(), 3);
    EXPECT_EQ(call.arguments[0], QString());
    const auto fd = call.arguments[1].value<QDBusUnixFileDescriptor>();
    ASSERT_TRUE(fd.isValid());
    EXPECT_EQ(::fcntl(fd.fileDescriptor(), F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(call.arguments[2].toMap(), QVariantMap({{"ask", true}}));
    EXPECT_EQ(fallbacks, 0);
    EXPECT_TRUE(runner_->started.isEmpty());

    // No portal on the bus: the caller's own list.
    bus_->error = "org.freedesktop.DBus.Error.ServiceUnknown";
    ASSERT_TRUE(desktop_->openWithChooser(file_, [&] { ++fallbacks; }));
    EXPECT_EQ(fallbacks, 1);

    // Nothing to open: nothing is asked.
    EXPECT_FALSE(desktop_->openWithChooser(path("missing.pdf"), [&] { ++fallbacks; }));
    EXPECT_FALSE(desktop_->openWithChooser(path("My Papers"), [&] { ++fallbacks; }));
    EXPECT_EQ(bus_->calls.size(), 2);
    EXPECT_EQ(fallbacks, 1);
}

TEST_F(OnTheDesktop, MailPassesEveryAttachmentAndTextAsItsOwnArgument)
{
    const QString first = path("Mail/Statement May, 2024.pdf");
    const QString second = path("Mail/it's \"quoted\" & $HOME.txt");
    ASSERT_TRUE(writeFile(first, "%PDF-1.4\n"));
    ASSERT_TRUE(writeFile(second, "text"));
    MailMessage message;
    message.to = {"help@folivo.org", "second+tag@example.com"};
    message.subject = "Statements: 'May' & \"June\"";
    message.body = "-- Hello,\n\nthe statements are attached.\n";
    message.attachments = {first, second};
    ASSERT_TRUE(desktop_->composeMail(message));
    EXPECT_EQ(runner_->started,
              starts({{"xdg-email", "--utf8", "--subject", message.subject, "--body", message.body,
                                   "--attach", first, "--attach", second,
                                   "mailto:help@folivo.org,second+tag@example.com"}}));

    // xdg-email refuses an empty subject or body: they are left out, as is the recipient.
    runner_->started.clear();
    ASSERT_TRUE(desktop_->composeMail({{}, {}, {}, {first}}));
    EXPECT_EQ(runner_->started, starts({{"xdg-email", "--utf8", "--attach", first}}));

    // What would go unseen once xdg-email runs on its own is refused here, before anything starts.
    runner_->started.clear();
    const struct {
        QStringList to;
        QStringList attachments;
    } refused[] = {
        {{}, {path("Mail/missing.pdf")}},
        {{}, {path("Mail")}}, // a folder
        {{}, {first, ""}},
        {{"-oProxyCommand=x@example.com"}, {}},
        {{"a@example.com,b@example.com"}, {}},
        {{"a@example.com?body=more"}, {}},
        {{"a b@example.com"}, {}},
        {{"no-at-sign"}, {}},
        {{""}, {}},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(desktop_->composeMail({r.to, "Subject", {}, r.attachments})) << r.to.join(" ").toStdString();
    EXPECT_TRUE(runner_->started.isEmpty());
}

TEST_F(OnTheDesktop, OpensWithAChosenProgramByItsCommandLine)
{
    const QString viewer = path("bin/my viewer");
    ASSERT_TRUE(writeFile(viewer, "#!/bin/sh\n", true));
    const auto app = [&](const QString& id, const QString& keys) {
        ASSERT_TRUE(writeFile(path("applications/" + id),
                              ("[Desktop Entry]\nType=Application\nName=Viewer\n" + keys).toUtf8()));
    };
    app("viewer.desktop", "Exec=\"" + viewer + "\" --page 1 %f\nMimeType=application/pdf;\n");
    app("browser.desktop", "Exec=\"" + viewer + "\" %U\nNoDisplay=true\n");
    app("deleted.desktop", "Exec=\"" + viewer + "\" %U\nHidden=true\n");

    const QString other = path("My Papers/b.pdf");
    ASSERT_TRUE(writeFile(other, "%PDF-1.4\n"));
    ASSERT_TRUE(desktop_->openWith("viewer.desktop", {QUrl::fromLocalFile(file_), QUrl::fromLocalFile(other)}));
    EXPECT_EQ(runner_->started, starts({{viewer, "--page", "1", file_}, {viewer, "--page", "1", other}}));

    runner_->started.clear();
    ASSERT_TRUE(desktop_->openWith("browser.desktop", {QUrl("https://example.com/a b"), QUrl("https://folivo.org")}));
    EXPECT_EQ(runner_->started, starts({{viewer, "https://example.com/a%20b", "https://folivo.org"}}));

    // Each of these leaves the caller to fall back to the desktop's own program.
    runner_->started.clear();
    EXPECT_FALSE(desktop_->openWith("viewer.desktop", {QUrl("https://example.com/")})); // files only
    EXPECT_FALSE(desktop_->openWith("deleted.desktop", {QUrl("https://example.com/")}));
    EXPECT_FALSE(desktop_->openWith("unknown.desktop", {QUrl("https://example.com/")}));
    EXPECT_TRUE(runner_->started.isEmpty());
    runner_->succeed = false;
    EXPECT_FALSE(desktop_->openWith("browser.desktop", {QUrl("https://example.com/")}));
}

// ---------------------------------------------------------------------------------------
// On a real bus: a daemon of the test's own, without service activation, so that nothing
// on this machine is started by it.

namespace {

class FileManagerObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;
public slots:
    void ShowItems(const QStringList& uris, const QString& startupId)
    {
        Q_UNUSED(startupId);
        shown << uris;
    }
};

// Listens on the socket %1 and lets everyone call and own everything.
const char* const kBusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        const QString config = dir_.filePath("bus.conf");
        ASSERT_TRUE(writeFile(config, QString::fromUtf8(kBusConfig).arg(dir_.filePath("socket")).toUtf8()));
        daemon_.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon_.waitForStarted(5000)) << "dbus-daemon is needed (scripts/install-deps.sh)";
        ASSERT_TRUE(waitUntil([&] {
            daemon_.waitForReadyRead(50);
            address_ += QString::fromUtf8(daemon_.readAllStandardOutput());
            return address_.contains('\n');
        }));
        address_ = address_.trimmed();

        auto runner = std::make_unique<RecordingRunner>();
        runner_ = runner.get();
        desktop_ = std::make_unique<LinuxDesktop>(
            std::move(runner), std::make_unique<BusCaller>(QDBusConnection::connectToBus(address_, "folivo-test-client")),
            ApplicationCatalogue({}, "C", {}));
        file_ = dir_.filePath("Scans/May statement.pdf");
        ASSERT_TRUE(writeFile(file_, "%PDF-1.4\n"));
    }
    void TearDown() override
    {
        desktop_.reset();
        QDBusConnection::disconnectFromBus("folivo-test-client");
        QDBusConnection::disconnectFromBus("folivo-test-filemanager");
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }

    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString file_;
    RecordingRunner* runner_ = nullptr;
    std::unique_ptr<LinuxDesktop> desktop_;
};

} // namespace

TEST_F(PrivateBus, WithoutAFileManagerTheFolderIsOpened)
{
    ASSERT_TRUE(desktop_->reveal(file_));
    ASSERT_TRUE(waitUntil([&] { return !runner_->started.isEmpty(); }));
    EXPECT_EQ(runner_->started, starts({{"xdg-open", dir_.filePath("Scans")}}));
}

TEST_F(PrivateBus, AFileManagerOnTheBusShowsTheFileAndNothingElseOpens)
{
    QDBusConnection fileManager = QDBusConnection::connectToBus(address_, "folivo-test-filemanager");
    ASSERT_TRUE(fileManager.isConnected());
    FileManagerObject object;
    ASSERT_TRUE(fileManager.registerObject("/org/freedesktop/FileManager1", &object, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(fileManager.registerService("org.freedesktop.FileManager1"));

    ASSERT_TRUE(desktop_->reveal(file_));
    ASSERT_TRUE(waitUntil([&] { return !object.shown.isEmpty(); }));
    EXPECT_EQ(object.shown, starts({{QUrl::fromLocalFile(file_).toString(QUrl::FullyEncoded)}}));
    // The answer has come back by the time a second call is through.
    ASSERT_TRUE(desktop_->reveal(file_));
    ASSERT_TRUE(waitUntil([&] { return object.shown.size() == 2; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(runner_->started.isEmpty());
}

TEST(DetachedRunner, StartsInTheHomeFolderWithTheArgumentsUntouched)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("seen");
    const QStringList arguments{"a b", "-x", "it's \"quoted\"", "$HOME", "*", "ünï", ""};
    DetachedProcessRunner runner;
    // Writes where it runs and each argument in brackets, a line each.
    const QString script = R"(o="$0"; { pwd; for a in "$@"; do printf '[%s]\n' "$a"; done; } > "$o.part"; mv "$o.part" "$o")";
    ASSERT_TRUE(runner.startDetached("/bin/sh", QStringList{"-c", script, out} + arguments));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(out); }));
    QFile seen(out);
    ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
    QStringList expected{QDir::homePath()};
    for (const QString& a : arguments)
        expected << "[" + a + "]";
    EXPECT_EQ(QString::fromUtf8(seen.readAll()).split('\n', Qt::SkipEmptyParts), expected);

    EXPECT_FALSE(runner.startDetached(dir.filePath("no-such-program"), {}));
}

#include "linuxdesktop_test.moc"
