#pragma once
// The state of the three lock keys, as the keyboard's lights show it, for the status bar's
// "CAP", "NUM" and "SCRL" panes.
#include <memory>

namespace orka::platform {

struct LockKeyState {
    bool caps = false;
    bool num = false;
    bool scroll = false;
    friend bool operator==(const LockKeyState&, const LockKeyState&) = default;
};

class LockKeys {
public:
    virtual ~LockKeys() = default;
    // The lights' state now.
    virtual LockKeyState read() = 0;

    // A reader of the X display named by DISPLAY (the X server of a Wayland desktop too);
    // nullptr where there is none to ask, as on a text console or the offscreen platform.
    static std::unique_ptr<LockKeys> open();
};

} // namespace orka::platform
