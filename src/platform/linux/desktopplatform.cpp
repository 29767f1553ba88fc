#include "platform/linux/desktopplatform.h"

#include "platform/desktop.h"
#include "platform/hotkeys.h"
#include "platform/linux/linuxdesktop.h"
#include "platform/linux/linuxnotifications.h"
#include "platform/linux/x11hotkeys.h"
#include "platform/linux/x11typing.h"
#include "platform/notifications.h"
#include "platform/typing.h"

#include <QGuiApplication>
#include <QTimer>

namespace folivo::platform {

namespace {

// Typing where it cannot reach other programs: nothing is typed, and a paste ends at once
// as not fetched, so that nobody waits for it.
class UnavailableTyping final : public Typing {
public:
    explicit UnavailableTyping(QString reason) : reason_(std::move(reason)) {}
    bool available() const override { return false; }
    QString unavailableReason() const override { return reason_; }
    void pressKey(QKeyCombination) override {}
    void typeText(const QString&) override {}
    bool modifiersHeld() const override { return false; }
    void beginSequence() override {}
    void endSequence() override {}
    quint64 activeWindow() const override { return 0; }
    void pasteText(const QString&) override
    {
        QTimer::singleShot(0, this, [this] { emit pasteFinished(false); });
    }

private:
    QString reason_;
};

class RefusingHotKeys final : public HotKeys {
public:
    bool registerHotKey(int, QKeyCombination) override { return false; }
    void unregisterHotKey(int) override {}
    void unregisterAll() override {}
};

bool isWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString typingUnavailableReason(const QString& platformName, bool waylandSession, bool hasXTest)
{
    if (platformName == QLatin1String("xcb"))
        return hasXTest ? QString()
                        : QStringLiteral("Typing logins into other programs needs the XTEST extension of the X "
                                         "server, which this X server does not offer.");
    if (waylandSession || platformName.startsWith(QLatin1String("wayland")))
        return QStringLiteral("Typing logins into other programs and the global hot keys need an X11 session; "
                              "this session is Wayland.");
    return QStringLiteral("Typing logins into other programs and the global hot keys need an X11 session; "
                          "this program is not running in one.");
}

std::unique_ptr<Platform> makeDesktopPlatform()
{
    const QString platformName = QGuiApplication::platformName();
    std::unique_ptr<Typing> typing;
    std::unique_ptr<HotKeys> hotKeys;
    if (platformName == QLatin1String("xcb")) {
        typing = X11Typing::open();
        hotKeys = X11HotKeys::create();
    }
    if (!typing)
        typing = std::make_unique<UnavailableTyping>(
            typingUnavailableReason(platformName, isWaylandSession(), false));
    if (!hotKeys)
        hotKeys = std::make_unique<RefusingHotKeys>();
    return std::make_unique<Platform>(makeLinuxDesktop(), std::make_unique<LinuxNotifications>(), std::move(typing),
                                      std::move(hotKeys));
}

} // namespace folivo::platform
