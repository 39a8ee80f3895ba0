// The lock keys' lights as a real X server reports them: Xvfb started for the test, the
// lights switched through the keyboard extension as a key press would.
#include "orka/platform/LockKeys.h"
#include "orka/testing/ChildProcess.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib defines None and Bool as macros.
#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

using orka::platform::LockKeys;
using orka::platform::LockKeyState;

namespace {

constexpr char kXvfb[] = "/usr/bin/Xvfb";

// DISPLAY set for the test's lifetime, and put back after.
class DisplayVariable {
public:
    explicit DisplayVariable(const char* value)
    {
        if (const char* old = std::getenv("DISPLAY"))
            old_ = old;
        value ? ::setenv("DISPLAY", value, 1) : ::unsetenv("DISPLAY");
    }
    ~DisplayVariable() { old_ ? ::setenv("DISPLAY", old_->c_str(), 1) : ::unsetenv("DISPLAY"); }

private:
    std::optional<std::string> old_;
};

} // namespace

TEST(LockKeys, NoDisplayMeansNoReader)
{
    DisplayVariable none(nullptr);
    EXPECT_EQ(LockKeys::open(), nullptr);
    DisplayVariable gone(":9999");
    EXPECT_EQ(LockKeys::open(), nullptr);
}

TEST(LockKeys, ReadsEachLightByItsName)
{
    if (!std::filesystem::exists(kXvfb))
        GTEST_SKIP() << "Xvfb is not installed";
    // Xvfb names the display it took on its first line.
    orka::testing::ChildProcess server(kXvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "64x64x24"});
    ASSERT_FALSE(server.firstLine().empty());
    const std::string name = ":" + server.firstLine();
    DisplayVariable display(name.c_str());

    const auto keys = LockKeys::open();
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->read(), LockKeyState{});

    Display* other = XOpenDisplay(name.c_str());
    ASSERT_NE(other, nullptr);
    XkbLockModifiers(other, XkbUseCoreKbd, LockMask, LockMask);
    XSync(other, False);
    EXPECT_EQ(keys->read(), (LockKeyState{true, false, false}));
    const unsigned numLock = XkbKeysymToModifiers(other, XK_Num_Lock);
    XkbLockModifiers(other, XkbUseCoreKbd, LockMask | numLock, numLock);
    XkbSetNamedIndicator(other, XInternAtom(other, "Scroll Lock", False), True, True, False, nullptr);
    XSync(other, False);
    EXPECT_EQ(keys->read(), (LockKeyState{false, true, true}));
    XCloseDisplay(other);
}
