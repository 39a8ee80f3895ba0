#pragma once
// Sending files by e-mail through the desktop's mail program: a new message with one
// attachment per file, which the user completes and sends there.
#include <string>
#include <vector>

namespace orka::platform {

class Mailer {
public:
    // `program` is xdg-email, or another program taking its "--attach FILE" arguments (a
    // path, or a name looked up along PATH).
    explicit Mailer(std::string program = "xdg-email") : program_(std::move(program)) {}

    // Opens the new message and waits until the mail program has it. False when the mail
    // program is missing or reported a failure; callers send on regardless, as a mail
    // library's refusal is the user's business with their mail program.
    bool send(const std::vector<std::string>& files) const;

private:
    std::string program_;
};

} // namespace orka::platform
