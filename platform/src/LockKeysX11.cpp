// The lock keys through the X keyboard extension: each light is asked for by its name, so
// keyboards that number their lights differently answer alike.
#include "orka/platform/LockKeys.h"

#include <X11/XKBlib.h>

#include <array>

namespace orka::platform {
namespace {

constexpr std::array<const char*, 3> kLightNames = {"Caps Lock", "Num Lock", "Scroll Lock"};

class X11LockKeys final : public LockKeys {
public:
    explicit X11LockKeys(Display* display) : display_(display)
    {
        for (std::size_t i = 0; i < kLightNames.size(); ++i)
            lights_[i] = XInternAtom(display_, kLightNames[i], False);
    }
    ~X11LockKeys() override { XCloseDisplay(display_); }
    X11LockKeys(const X11LockKeys&) = delete;
    X11LockKeys& operator=(const X11LockKeys&) = delete;

    LockKeyState read() override
    {
        std::array<bool, 3> on{};
        for (std::size_t i = 0; i < lights_.size(); ++i) {
            Bool state = False;
            // A keyboard without that light answers False: the pane stays dimmed.
            on[i] = XkbGetNamedIndicator(display_, lights_[i], nullptr, &state, nullptr, nullptr) && state;
        }
        return {on[0], on[1], on[2]};
    }

private:
    Display* display_;
    std::array<Atom, 3> lights_{};
};

} // namespace

std::unique_ptr<LockKeys> LockKeys::open()
{
    int event = 0, error = 0, reason = 0;
    int major = XkbMajorVersion, minor = XkbMinorVersion;
    Display* display = XkbOpenDisplay(nullptr, &event, &error, &major, &minor, &reason);
    if (!display)
        return nullptr;
    return std::make_unique<X11LockKeys>(display);
}

} // namespace orka::platform
