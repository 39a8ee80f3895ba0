#pragma once
// The application object's window-free core: the single-instance start, the settings the
// whole program shares, the transient flags word, and the exit that saves the settings.
#include "orka/app/Settings.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orka::platform {
class InstanceCounter;
class InstanceChannel;
} // namespace orka::platform

namespace orka::app {

// The clipboard format of gallery items dragged between the program's windows.
inline constexpr char kDragDropFormat[] = "DragDropItem";

class COrkaApp {
public:
    enum class StartResult {
        Run,        // the first copy: go on and show the main window
        HandedOver, // a second copy: the first copy came forward; end quietly
        Ended,      // a further copy, or a second one whose first copy never showed: end quietly
    };

    // How long a second copy looks for the first copy's window, and how often.
    static constexpr std::chrono::milliseconds kDefaultWaitForFirstCopy{20000};
    static constexpr std::chrono::milliseconds kLookInterval{50};

    // Prepares the phone link once the settings are loaded (engine set-up, port discovery and
    // the serial settings); the connection words may change.
    using PrepareLink = std::function<void(PreferencesBlock&)>;

    explicit COrkaApp(std::chrono::milliseconds waitForFirstCopy = kDefaultWaitForFirstCopy);
    ~COrkaApp();
    COrkaApp(const COrkaApp&) = delete;
    COrkaApp& operator=(const COrkaApp&) = delete;

    // The start up to the main window: counts this copy, loads the settings, prepares the
    // link, and lets a second copy hand over to the first.
    StartResult start(const PrepareLink& prepareLink);
    // Once the main window shows: later copies ask it to come forward; onRaise runs on the
    // channel's own thread. False when the channel cannot be opened (the program still runs).
    bool listenForOtherCopies(std::function<void()> onRaise);
    // The exit: writes both blocks, only in a copy that ran (one that ended at start never
    // loaded the settings it would overwrite). False when they could not be written.
    bool exit();

    // "奧卡  手機桌台 -- Q5": the main window's title, and the name later copies look for.
    const std::string& title() const { return title_; }
    bool opensWizard() const { return !settings_.uiInfo.skipsWizard(); }

    AppSettings& settings() { return settings_; }
    UiInfoBlock& uiInfo() { return settings_.uiInfo; }
    PreferencesBlock& preferences() { return settings_.preferences; }

    // The transient flags word (AppFlags); the PIM worker sets its bits, so it is atomic.
    std::uint32_t flags() const { return flags_.load(); }
    void setFlags(std::uint32_t bits) { flags_.fetch_or(bits); }
    void clearFlags(std::uint32_t bits) { flags_.fetch_and(~bits); }

    // The name of the running-copies counter: one per settings folder, so copies with their
    // own ORKA_HOME do not count each other.
    static std::string counterName();

private:
    StartResult waitForFirstCopy();

    std::chrono::milliseconds waitForFirstCopy_;
    std::string title_;
    AppSettings settings_;
    std::atomic<std::uint32_t> flags_{0};
    bool running_ = false;
    std::unique_ptr<platform::InstanceCounter> counter_;
    std::unique_ptr<platform::InstanceChannel> channel_;
};

} // namespace orka::app
