#pragma once
// The services of a run on a Linux desktop.

#include "platform/platform.h"

#include <memory>

namespace folivo::platform {

// The desktop and notification backends only: typing and hot keys need the window system
// and come from makeDesktopPlatform() (desktopplatform.h) in the window's build.
std::unique_ptr<Platform> makeLinuxPlatform();

} // namespace folivo::platform
