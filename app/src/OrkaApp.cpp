#include "orka/app/OrkaApp.h"

#include "orka/StringTable.h"
#include "orka/platform/InstanceChannel.h"
#include "orka/platform/InstanceCounter.h"
#include "orka/platform/StatePaths.h"

#include <cstdio>
#include <thread>

namespace orka::app {
namespace {

constexpr unsigned kStrWindowTitle = 57344;
constexpr std::int32_t kFirstCopy = 1;
constexpr std::int32_t kSecondCopy = 2;

// FNV-1a: a stable short name for a folder path.
std::uint64_t stableHash(const std::string& text)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

} // namespace

COrkaApp::COrkaApp(std::chrono::milliseconds waitForFirstCopy)
    : waitForFirstCopy_(waitForFirstCopy), title_(loadString(kStrWindowTitle))
{
}

COrkaApp::~COrkaApp() = default;

std::string COrkaApp::counterName()
{
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx",
                  static_cast<unsigned long long>(stableHash(platform::StatePaths::configRoot().string())));
    return std::string("instances-") + hex;
}

COrkaApp::StartResult COrkaApp::start(const PrepareLink& prepareLink)
{
    counter_ = std::make_unique<platform::InstanceCounter>(counterName());
    // Without shared memory nothing can be counted: run rather than refuse to start.
    const std::int32_t copy = counter_->joined() ? counter_->joinValue() : kFirstCopy;
    if (copy > kSecondCopy)
        return StartResult::Ended;
    channel_ = std::make_unique<platform::InstanceChannel>(title_);

    settings_ = loadSettings();
    flags_ = 0;
    if (prepareLink)
        prepareLink(settings_.preferences);

    if (copy == kSecondCopy)
        return waitForFirstCopy();
    running_ = true;
    return StartResult::Run;
}

COrkaApp::StartResult COrkaApp::waitForFirstCopy()
{
    const auto deadline = std::chrono::steady_clock::now() + waitForFirstCopy_;
    for (;;) {
        std::this_thread::sleep_for(kLookInterval);
        if (channel_->askToComeForward()) {
            // The first copy answers for itself from now on: the next start is a second copy again.
            counter_->store(kFirstCopy);
            return StartResult::HandedOver;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return StartResult::Ended;
    }
}

bool COrkaApp::listenForOtherCopies(std::function<void()> onRaise)
{
    return running_ && channel_ && channel_->listen(std::move(onRaise));
}

bool COrkaApp::exit()
{
    if (channel_)
        channel_->stop();
    if (!running_)
        return true;
    running_ = false;
    return saveSettings(settings_);
}

} // namespace orka::app
