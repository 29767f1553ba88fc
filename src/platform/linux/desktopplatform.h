#pragma once
// The services of a run of the window on a Linux desktop: the desktop and notification
// backends, and on X11 the typing into other programs and the global hot keys. Elsewhere
// (a Wayland session, an X server without XTEST) typing says why it is not available and
// every hot key is refused, and the rest works as usual.

#include "platform/platform.h"

#include <QString>

#include <memory>

namespace folivo::platform {

// Needs the QGuiApplication to exist.
std::unique_ptr<Platform> makeDesktopPlatform();

// What the person is told when typing cannot reach other programs: `platformName` is Qt's
// (QGuiApplication::platformName()), `waylandSession` whether the session is Wayland's,
// `hasXTest` whether the X server offers XTEST. Empty when typing is available.
QString typingUnavailableReason(const QString& platformName, bool waylandSession, bool hasXTest);

} // namespace folivo::platform
