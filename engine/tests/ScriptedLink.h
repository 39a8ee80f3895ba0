#pragma once
// An in-memory link for exchange tests: each command line sent gets the answer lines the
// test's handset function returns; an exhausted answer reads as a time-out at once.
#include "EngineLink.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace orka::engine::test {

class ScriptedLink : public CEngineLink {
public:
    using Handset = std::function<std::vector<std::string>(const std::string& commandLine)>;
    explicit ScriptedLink(Handset handset, bool infrared = false) : handset_(std::move(handset)), infrared_(infrared) {}

    bool WriteText(const std::string& text) override
    {
        sent.push_back(text);
        for (auto& l : handset_(text))
            pending_.push_back(std::move(l));
        return true;
    }
    bool ReadLine(std::string& line) override
    {
        if (pending_.empty())
            return false;
        line = pending_.front();
        pending_.pop_front();
        return true;
    }
    std::string DiscardInput() override
    {
        std::string stale;
        for (auto& l : pending_)
            stale += l + "\r\n";
        pending_.clear();
        return stale;
    }
    // Lines that arrive between commands, as a late answer does.
    void arrive(std::vector<std::string> lines)
    {
        for (auto& l : lines)
            pending_.push_back(std::move(l));
    }
    void SetResponseTimeout(std::uint32_t ms) override { timeouts.push_back(ms); }
    std::uint32_t ResponseTimeout() const override { return timeouts.empty() ? 0 : timeouts.back(); }
    void Close() override {}
    bool isInfrared() const override { return infrared_; }

    std::vector<std::string> sent;
    std::vector<std::uint32_t> timeouts;

private:
    Handset handset_;
    bool infrared_;
    std::deque<std::string> pending_;
};

} // namespace orka::engine::test
