#include "LinkSession.h"

namespace q5sim {

LinkSession::LinkSession(std::string linkName, HandsetStore& store, FaultSet& faults, Logger& logger)
    : name_(std::move(linkName)), faults_(faults), logger_(logger), protocol_(store)
{
}

void LinkSession::receive(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            // CR ends a command; the LF of a CR LF pair leaves an empty line, which is skipped.
            if (overlong_) {
                logger_.received(name_, partial_.substr(0, 80) + "... (" + "line too long)");
                lines_.push_back(std::string(1, '\0')); // answered ERROR
            } else if (!partial_.empty()) {
                logger_.received(name_, partial_);
                lines_.push_back(std::move(partial_));
            }
            partial_.clear();
            overlong_ = false;
            continue;
        }
        if (partial_.size() < maxLineLength)
            partial_.push_back(c);
        else
            overlong_ = true;
    }
}

void LinkSession::queue(const std::string& text, Clock::time_point& at, int delayMs)
{
    at += std::chrono::milliseconds(delayMs);
    out_.push_back(Pending{text + "\r\n", at, text});
}

void LinkSession::answer(const std::string& line, Clock::time_point now)
{
    for (const std::string& problem : faults_.refresh())
        logger_.note(name_, "fault file: " + problem);
    const AtCommand command = parseAtCommand(line);
    const CommandPlan plan = faults_.planFor(command);
    Clock::time_point at = now;
    if (plan.echo || protocol_.echoOn())
        queue(line, at, 0);
    if (!plan.silent) {
        for (const std::string& prelude : plan.prelude)
            queue(prelude, at, plan.delayMs);
        Reply reply;
        if (plan.replacement)
            reply.lines.push_back(*plan.replacement);
        else
            reply = protocol_.handle(command, line, plan.quirks);
        for (const std::string& note : reply.notes)
            logger_.note(name_, note);
        for (const std::string& text : reply.lines)
            queue(text, at, plan.delayMs);
    }
    dropPending_ = plan.dropAfter;
}

LinkSession::Output LinkSession::next(Clock::time_point now)
{
    while (out_.empty()) {
        if (dropPending_)
            return {Step::Drop, {}};
        if (lines_.empty())
            return {};
        std::string line = std::move(lines_.front());
        lines_.pop_front();
        answer(line, now);
    }
    if (out_.front().due > now)
        return {};
    return {Step::Send, out_.front().bytes};
}

void LinkSession::sent(std::size_t count)
{
    if (out_.empty())
        return;
    Pending& front = out_.front();
    front.bytes.erase(0, count);
    if (!front.bytes.empty())
        return; // the rest goes when the link takes more
    logger_.sent(name_, front.logText);
    out_.pop_front();
}

std::optional<LinkSession::Clock::time_point> LinkSession::nextDue() const
{
    if (out_.empty())
        return std::nullopt;
    return out_.front().due;
}

void LinkSession::reset()
{
    partial_.clear();
    overlong_ = false;
    lines_.clear();
    out_.clear();
    dropPending_ = false;
    protocol_.reset();
}

} // namespace q5sim
