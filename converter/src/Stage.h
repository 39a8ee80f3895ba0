#pragma once
// What every conversion stage shares: a message and a failure flag.
#include <string>

namespace melconv {

class Stage {
public:
    bool failed() const { return failed_; }
    const std::string& message() const { return message_; }

protected:
    void reset()
    {
        failed_ = false;
        message_.clear();
    }
    // Records a failure; returns false so that callers can `return fail(...)`.
    bool fail(std::string text)
    {
        failed_ = true;
        message_ = std::move(text);
        return false;
    }

private:
    bool failed_ = false;
    std::string message_;
};

} // namespace melconv
