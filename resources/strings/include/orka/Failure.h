#pragma once
// The error type of the Qt-free cores (docs/errors.md): the string-table id of the text the
// user is shown and the detail that completes it (a file name, say). A core throws it, or a
// type derived from it; the window or tool that started the work catches it and shows what().
#include <stdexcept>
#include <string>

namespace orka {

class Failure : public std::runtime_error {
public:
    explicit Failure(unsigned messageId, std::string detail = {});

    unsigned messageId() const { return messageId_; }
    const std::string& detail() const { return detail_; }

private:
    unsigned messageId_;
    std::string detail_;
};

} // namespace orka
