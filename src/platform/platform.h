#pragma once
// The desktop services one run of the program uses, made once at start-up (the Linux
// backends) or by a test (the fakes of fake/), and handed to every window and pane that
// needs one. It owns the services; whoever holds the Platform borrows them.

#include <memory>

namespace folivo::platform {

class Desktop;
class HotKeys;
class Notifications;
class Typing;

class Platform {
public:
    explicit Platform(std::unique_ptr<Desktop> desktop, std::unique_ptr<Notifications> notifications = {},
                      std::unique_ptr<Typing> typing = {}, std::unique_ptr<HotKeys> hotKeys = {});
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    Desktop& desktop() const { return *desktop_; }
    // Null where this system has no such service (or no backend for it yet): the commands
    // that need it are then unavailable.
    Notifications* notifications() const { return notifications_.get(); }
    Typing* typing() const { return typing_.get(); }
    HotKeys* hotKeys() const { return hotKeys_.get(); }

private:
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<Notifications> notifications_;
    std::unique_ptr<Typing> typing_;
    std::unique_ptr<HotKeys> hotKeys_;
};

} // namespace folivo::platform
