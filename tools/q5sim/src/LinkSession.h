#pragma once
// The handset's side of one link: collects the bytes the PC sends into command lines,
// lets the faults and the protocol answer each one, and hands the answer out line by
// line when it is due. One command is handled at a time: the next line waits until
// the previous answer is out, as on a real handset.
#include "FaultSet.h"
#include "HandsetProtocol.h"
#include "Logger.h"

#include <chrono>
#include <deque>
#include <optional>
#include <string>

namespace q5sim {

class LinkSession {
public:
    using Clock = std::chrono::steady_clock;
    // A command line longer than this is answered ERROR without being looked at.
    static constexpr std::size_t maxLineLength = 64 * 1024;

    LinkSession(std::string linkName, HandsetStore& store, FaultSet& faults, Logger& logger);

    const std::string& linkName() const { return name_; }

    // Command lines that may wait for their turn; beyond them the link is not read
    // until the handset catches up (a PC that sends and never reads fills no memory).
    static constexpr std::size_t maxWaitingLines = 256;

    // Bytes the PC sent.
    void receive(const char* data, std::size_t size);
    bool wantsInput() const { return lines_.size() < maxWaitingLines; }

    // What is to be sent now: bytes of due lines, in order.
    enum class Step { Idle, Send, Drop };
    struct Output {
        Step step = Step::Idle;
        std::string bytes; // for Send: the next due line with its line ending
    };
    // Handles waiting command lines as far as the answers allow and returns the next
    // thing to do; call sent() with the number of bytes of a Send that were written.
    Output next(Clock::time_point now);
    void sent(std::size_t count);
    // When the next line falls due (nothing when no line waits for time).
    std::optional<Clock::time_point> nextDue() const;

    // Nothing received waits for an answer and nothing is left to send.
    bool idle() const { return lines_.empty() && out_.empty() && !dropPending_; }

    // The link went down or a new peer came: forget half lines, answers and transfers.
    void reset();

private:
    struct Pending {
        std::string bytes;
        Clock::time_point due;
        std::string logText;
    };
    void answer(const std::string& line, Clock::time_point now);
    void queue(const std::string& text, Clock::time_point& at, int delayMs);

    std::string name_;
    FaultSet& faults_;
    Logger& logger_;
    HandsetProtocol protocol_;
    std::string partial_;
    bool overlong_ = false;
    std::deque<std::string> lines_;
    std::deque<Pending> out_;
    bool dropPending_ = false;
};

} // namespace q5sim
