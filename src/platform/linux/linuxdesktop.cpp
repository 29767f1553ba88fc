#include "platform/linux/linuxdesktop.h"

#include "platform/linux/dbuscaller.h"
#include "platform/linux/processrunner.h"

#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

namespace folivo::platform {

namespace {

const QString kXdgOpen = QStringLiteral("xdg-open");
const QString kXdgEmail = QStringLiteral("xdg-email");

// Something at the path, a link whose target has gone included.
bool present(const QFileInfo& info)
{
    return info.exists() || info.isSymLink();
}

// An address as one element of a "mailto:" list: it must look like one, and nothing in it
// may end the list or start the query ("," "?" "&") or pass for an option of xdg-email.
bool acceptableAddress(const QString& address)
{
    if (address.isEmpty() || address.startsWith(u'-') || !address.contains(u'@'))
        return false;
    for (QChar c : address) {
        if (c.isSpace() || c.category() == QChar::Other_Control || QStringView(u",?&;<>\"").contains(c))
            return false;
    }
    return true;
}

} // namespace

LinuxDesktop::LinuxDesktop(std::unique_ptr<ProcessRunner> runner, std::unique_ptr<DBusCaller> bus,
                           ApplicationCatalogue applications)
    : runner_(std::move(runner)), bus_(std::move(bus)), applications_(std::move(applications))
{
}

LinuxDesktop::~LinuxDesktop() = default;

bool LinuxDesktop::openFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    // Absolute, so that no name is ever read as an option of xdg-open ("-x.pdf").
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    return runner_->startDetached(kXdgOpen, {info.absoluteFilePath()});
}

bool LinuxDesktop::openUrl(const QUrl& url)
{
    if (!url.isValid() || url.isRelative())
        return false;
    if (url.isLocalFile())
        return openFile(url.toLocalFile());
    return runner_->startDetached(kXdgOpen, {url.toString(QUrl::FullyEncoded)});
}

bool LinuxDesktop::openWith(const QString& applicationId, const QList<QUrl>& urls)
{
    const std::optional<InstalledApplication> app = applications_.find(applicationId);
    if (!app)
        return false;
    const std::optional<QList<QStringList>> lines =
        app->entry.commandLines(urls, applications_.nameOf(*app), app->path);
    if (!lines)
        return false;
    for (const QStringList& line : *lines) {
        const QString program = findProgram(line.front());
        if (program.isEmpty() || !runner_->startDetached(program, line.mid(1)))
            return false;
    }
    return true;
}

bool LinuxDesktop::openWithChooser(const QString& path, std::function<void()> noChooser)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile())
        return false;
    // The portal takes the file as an open descriptor, read-only: what it hands on cannot
    // write through it, and no path needs to mean the same inside a sandbox.
    const int raw = ::open(QFile::encodeName(info.absoluteFilePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (raw < 0)
        return false;
    const QDBusUnixFileDescriptor fd(raw); // keeps a duplicate
    ::close(raw);
    DBusCall call{QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
                  QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"),
                  {QString(), QVariant::fromValue(fd), QVariantMap{{QStringLiteral("ask"), true}}}};
    bus_->call(call, [noChooser = std::move(noChooser)](const QString& error) {
        if (!error.isEmpty() && noChooser)
            noChooser();
    });
    return true;
}

bool LinuxDesktop::reveal(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !present(info))
        return false;
    const QString file = info.absoluteFilePath();
    const QString folder = info.absolutePath();
    DBusCall call{QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                  QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"),
                  {QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)}, QString()}};
    // Without a file manager that answers (none on the bus, or it failed), the folder at
    // least: the person finds the file in it.
    bus_->call(call, [this, folder](const QString& error) {
        if (!error.isEmpty())
            runner_->startDetached(kXdgOpen, {folder});
    });
    return true;
}

bool LinuxDesktop::composeMail(const MailMessage& message)
{
    QStringList arguments{QStringLiteral("--utf8")};
    // xdg-email refuses an empty subject or body outright.
    if (!message.subject.isEmpty())
        arguments << QStringLiteral("--subject") << message.subject;
    if (!message.body.isEmpty())
        arguments << QStringLiteral("--body") << message.body;
    for (const QString& attachment : message.attachments) {
        // Checked here: once xdg-email runs on its own, its refusal would go unseen and the
        // person would send the message without the file.
        const QFileInfo info(attachment);
        if (attachment.isEmpty() || !info.isFile())
            return false;
        arguments << QStringLiteral("--attach") << info.absoluteFilePath();
    }
    if (!message.to.isEmpty()) {
        QStringList encoded;
        for (const QString& address : message.to) {
            if (!acceptableAddress(address))
                return false;
            encoded << QString::fromLatin1(QUrl::toPercentEncoding(address, "@+"));
        }
        arguments << QStringLiteral("mailto:") + encoded.join(u',');
    }
    return runner_->startDetached(kXdgEmail, arguments);
}

QList<Application> LinuxDesktop::webBrowsers() const
{
    return applications_.applicationsFor(QStringLiteral("x-scheme-handler/https"));
}

QList<Application> LinuxDesktop::applicationsFor(const QString& mimeType) const
{
    return applications_.applicationsFor(mimeType);
}

std::unique_ptr<Desktop> makeLinuxDesktop()
{
    return std::make_unique<LinuxDesktop>(std::make_unique<DetachedProcessRunner>(), std::make_unique<BusCaller>(),
                                          ApplicationCatalogue::fromEnvironment());
}

} // namespace folivo::platform
