#pragma once
// The desktop on Linux: xdg-open for files and addresses, the file manager's
// org.freedesktop.FileManager1 interface for showing a file, xdg-email for mail, and the
// installed programs from their .desktop files. Programs and the bus are reached through the
// two seams it is given, so that tests start nothing.

#include "platform/desktop.h"
#include "platform/linux/applicationcatalogue.h"

#include <memory>

namespace folivo::platform {

class DBusCaller;
class ProcessRunner;

class LinuxDesktop final : public Desktop {
public:
    LinuxDesktop(std::unique_ptr<ProcessRunner> runner, std::unique_ptr<DBusCaller> bus,
                 ApplicationCatalogue applications);
    ~LinuxDesktop() override;

    bool openFile(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    bool openWith(const QString& applicationId, const QList<QUrl>& urls) override;
    bool openWithChooser(const QString& path, std::function<void()> noChooser) override;
    bool reveal(const QString& path) override;
    bool composeMail(const MailMessage& message) override;
    QList<Application> webBrowsers() const override;
    QList<Application> applicationsFor(const QString& mimeType) const override;

private:
    std::unique_ptr<ProcessRunner> runner_;
    std::unique_ptr<DBusCaller> bus_; // after runner_: its answers still to come go first
    ApplicationCatalogue applications_;
};

// The desktop of this session, starting programs and calling the session bus for real.
std::unique_ptr<Desktop> makeLinuxDesktop();

} // namespace folivo::platform
