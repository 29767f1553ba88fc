#include "platform/fake/fakeplatform.h"

namespace folivo::platform {

FakePlatform::FakePlatform()
{
    auto desktop = std::make_unique<FakeDesktop>();
    auto notifications = std::make_unique<FakeNotifications>();
    auto typing = std::make_unique<FakeTyping>();
    auto hotKeys = std::make_unique<FakeHotKeys>();
    desktop_ = desktop.get();
    notifications_ = notifications.get();
    typing_ = typing.get();
    hotKeys_ = hotKeys.get();
    platform_ = std::make_unique<Platform>(std::move(desktop), std::move(notifications), std::move(typing),
                                           std::move(hotKeys));
}

} // namespace folivo::platform
