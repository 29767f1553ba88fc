#include "platform/linux/linuxplatform.h"

#include "platform/desktop.h"
#include "platform/hotkeys.h"
#include "platform/linux/linuxdesktop.h"
#include "platform/linux/linuxnotifications.h"
#include "platform/notifications.h"
#include "platform/typing.h"

namespace folivo::platform {

std::unique_ptr<Platform> makeLinuxPlatform()
{
    return std::make_unique<Platform>(makeLinuxDesktop(), std::make_unique<LinuxNotifications>());
}

} // namespace folivo::platform
