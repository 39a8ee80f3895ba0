#pragma once
// A long-running program started for a test (the handset simulator): started with its own
// environment entries, ready once it has written its first line, stopped with SIGTERM.
#include <string>
#include <sys/types.h>
#include <vector>

namespace orka::testing {

class ChildProcess {
public:
    // env entries ("NAME=value") replace the inherited ones of the same name. Waits up to
    // 10 s for the first line on standard output; firstLine() is empty when none came.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    const std::string& firstLine() const { return firstLine_; }
    bool running() const { return pid_ > 0; }
    // SIGTERM, then SIGKILL after 5 s; the exit status, or -1 when it had to be killed.
    int stop();

private:
    pid_t pid_ = -1;
    std::string firstLine_;
};

} // namespace orka::testing
