#pragma once
// The services of a run on a Linux desktop.

#include "platform/platform.h"

#include <memory>

namespace folivo::platform {

// The desktop and notification backends; the typing and hot-key services have none yet and
// are left out, so the commands that need them stay unavailable.
std::unique_ptr<Platform> makeLinuxPlatform();

} // namespace folivo::platform
