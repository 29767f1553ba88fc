#pragma once
// A Platform made of the fakes, for tests of the windows and their commands; the test keeps
// the fakes at hand to set answers and read what was asked.

#include "platform/fake/fakedesktop.h"
#include "platform/fake/fakehotkeys.h"
#include "platform/fake/fakenotifications.h"
#include "platform/fake/faketyping.h"
#include "platform/platform.h"

#include <memory>

namespace folivo::platform {

class FakePlatform {
public:
    FakePlatform();

    Platform& platform() { return *platform_; }
    FakeDesktop& desktop() { return *desktop_; }
    FakeNotifications& notifications() { return *notifications_; }
    FakeTyping& typing() { return *typing_; }
    FakeHotKeys& hotKeys() { return *hotKeys_; }

private:
    // Owned by platform_.
    FakeDesktop* desktop_;
    FakeNotifications* notifications_;
    FakeTyping* typing_;
    FakeHotKeys* hotKeys_;
    std::unique_ptr<Platform> platform_;
};

} // namespace folivo::platform
