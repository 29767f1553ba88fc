#pragma once
// A desktop for tests: it records what it was asked and answers as the test sets it.

#include "platform/desktop.h"

#include <QHash>
#include <QList>
#include <optional>
#include <utility>

namespace folivo::platform {

class FakeDesktop final : public Desktop {
public:
    bool openFile(const QString& path) override;
    bool openUrl(const QUrl& url) override;
    bool openWith(const QString& applicationId, const QList<QUrl>& urls) override;
    bool openWithChooser(const QString& path, std::function<void()> noChooser) override;
    bool reveal(const QString& path) override;
    bool composeMail(const MailMessage& message) override;
    QList<Application> webBrowsers() const override { return browsers; }
    QList<Application> applicationsFor(const QString& mimeType) const override;

    // What each call answers; the call is recorded either way.
    bool succeed = true;
    // What openWith answers when set (a browser that is gone while the default works).
    std::optional<bool> openWithSucceeds;
    QList<Application> browsers;
    QHash<QString, QList<Application>> applications; // by MIME type

    QStringList openedFiles;
    QList<QUrl> openedUrls;
    QList<std::pair<QString, QList<QUrl>>> openedWith;
    QStringList revealed;
    // The desktop's own chooser: whether there is one, and the files handed to it.
    bool hasChooser = false;
    QStringList chooserFiles;
    QList<MailMessage> mails;
};

} // namespace folivo::platform
