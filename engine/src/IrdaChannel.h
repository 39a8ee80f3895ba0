#pragma once
// The infrared link: an IrCOMM connection in 9-wire mode with a reader thread that fills
// the receive buffer.
#include "EngineLink.h"

#include "orka/platform/IrdaSockets.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace orka::engine {

class CIrdaChannel : public CEngineLink {
public:
    CIrdaChannel();
    ~CIrdaChannel() override;

    // Finds the first device in range, checks its IrCOMM 9-wire service and connects.
    // Does nothing when already connected. Raises CLinkException on failure.
    void Open();
    void Reset();
    bool WriteText(const std::string& text) override;
    // Reads up to size buffered bytes (0 when none); raises 46113 once the reader has ended.
    std::size_t ReadBytes(char* out, std::size_t size);
    bool ReadLine(std::string& line) override;
    std::string DiscardInput() override;
    void SetResponseTimeout(std::uint32_t milliseconds) override { timeouts_[2] = milliseconds; }
    std::uint32_t ResponseTimeout() const override { return timeouts_[2]; }
    void Close() override;
    bool isInfrared() const override { return true; }
    bool isConnected() const { return connected_; }

    // Device search: tries and the pause between them.
    static constexpr int kSearchTries = 5;
    static constexpr int kSearchPauseMs = 500;

private:
    void readerLoop();
    [[noreturn]] void fail(std::uint32_t location, int socketError, const std::string& argument);

    platform::IrdaSocket socket_;
    bool connected_ = false;
    std::thread reader_;
    std::mutex lock_;                  // guards receive_ and receiveError_
    std::condition_variable arrived_;  // wakes a line reader when bytes come in
    std::string receive_;
    std::string receiveError_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> readerEnded_{false};
    std::uint32_t timeouts_[5] = {0xFFFFFFFFu, 0, 0, 10, 1000};
};

} // namespace orka::engine
