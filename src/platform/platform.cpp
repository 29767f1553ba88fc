#include "platform/platform.h"

#include "platform/desktop.h"
#include "platform/hotkeys.h"
#include "platform/notifications.h"
#include "platform/typing.h"

#include <cstdlib>

namespace folivo::platform {

Desktop::~Desktop() = default;

Platform::Platform(std::unique_ptr<Desktop> desktop, std::unique_ptr<Notifications> notifications,
                   std::unique_ptr<Typing> typing, std::unique_ptr<HotKeys> hotKeys)
    : desktop_(std::move(desktop)),
      notifications_(std::move(notifications)),
      typing_(std::move(typing)),
      hotKeys_(std::move(hotKeys))
{
    // Every run has a desktop; a Platform without one is a mistake of its maker.
    if (!desktop_)
        std::abort();
}

Platform::~Platform() = default;

} // namespace folivo::platform
