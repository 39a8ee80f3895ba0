#pragma once
// Progress of a PIM load or transfer: the stage bit and a value out of a maximum, handed from
// the worker to whoever shows it. The hand-over is synchronous: the worker waits until the
// receiver has taken a report, so the receiver never falls behind a fast worker.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace orka::pim {

// Stage bits, in the order of their texts (string 4019).
namespace stage {
inline constexpr unsigned kOpenPort = 1;
inline constexpr unsigned kReadStoreContacts = 2;
inline constexpr unsigned kReadStoreTasks = 4;
inline constexpr unsigned kReadPhonebook = 8;
inline constexpr unsigned kReadCalendar = 16;
inline constexpr unsigned kWriteStoreContacts = 32;
inline constexpr unsigned kWriteStoreTasks = 64;
inline constexpr unsigned kWritePhonebook = 128;
inline constexpr unsigned kWriteCalendar = 256;
} // namespace stage

struct PimProgress {
    unsigned stage = 0;
    int value = 0;
    int maximum = 100;
    int percent() const { return maximum > 0 ? static_cast<int>(static_cast<long long>(value) * 100 / maximum) : 0; }
    bool operator==(const PimProgress&) const = default;
};

// The text of a stage bit (UTF-8), empty for an unknown bit.
std::string stageText(unsigned stageBit);

using ProgressSink = std::function<void(const PimProgress&)>;

// Worker to receiver, one report at a time.
class ProgressHandoff {
public:
    // Worker side: blocks until the receiver took the report (or close() was called).
    void post(const PimProgress& report);
    // Worker side, at its end: wakes the receiver for good.
    void close();
    // Receiver side: the next report, or nullopt once the worker closed and nothing is left.
    std::optional<PimProgress> take();
    // A sink for the worker that posts here.
    ProgressSink sink()
    {
        return [this](const PimProgress& p) { post(p); };
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_; // guards nothing itself; waits on the members below
    std::optional<PimProgress> pending_; // guarded by mutex_
    bool closed_ = false;                // guarded by mutex_
};

} // namespace orka::pim
