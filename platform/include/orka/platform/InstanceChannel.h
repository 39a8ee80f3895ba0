#pragma once
// A channel named after a window title through which a newly started copy of a program asks
// the copy that already shows that window to come to the front.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace orka::platform {

class InstanceChannel {
public:
    explicit InstanceChannel(std::string title);
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    // The copy that shows the window: answers requests until stop() or destruction.
    // onRaise runs on the channel's own thread, once per request. False when the channel
    // cannot be opened, or another live copy already answers under this title.
    bool listen(std::function<void()> onRaise);
    void stop();

    // Another copy: asks the window's owner to come forward; true once it has answered.
    // False at once when no copy answers under this title.
    bool askToComeForward() const;

    const std::filesystem::path& address() const { return address_; }

private:
    struct Listener;
    std::string title_;
    std::filesystem::path address_;
    std::unique_ptr<Listener> listener_;
};

} // namespace orka::platform
