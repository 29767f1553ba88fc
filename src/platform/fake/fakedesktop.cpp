#include "platform/fake/fakedesktop.h"

namespace folivo::platform {

bool FakeDesktop::openFile(const QString& path)
{
    openedFiles << path;
    return succeed;
}

bool FakeDesktop::openUrl(const QUrl& url)
{
    openedUrls << url;
    return succeed;
}

bool FakeDesktop::openWith(const QString& applicationId, const QList<QUrl>& urls)
{
    openedWith.append({applicationId, urls});
    return openWithSucceeds.value_or(succeed);
}

bool FakeDesktop::openWithChooser(const QString& path, std::function<void()> noChooser)
{
    if (!succeed)
        return false;
    if (hasChooser)
        chooserFiles << path;
    else if (noChooser)
        noChooser();
    return true;
}

bool FakeDesktop::reveal(const QString& path)
{
    revealed << path;
    return succeed;
}

bool FakeDesktop::composeMail(const MailMessage& message)
{
    mails << message;
    return succeed;
}

QList<Application> FakeDesktop::applicationsFor(const QString& mimeType) const
{
    return applications.value(mimeType);
}

} // namespace folivo::platform
