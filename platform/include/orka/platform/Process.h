#pragma once
// Starting another program without waiting for it. As on Windows, the program is named by
// its path and given one command-line text, which it splits into arguments by the Windows
// rules (blanks separate, double quotes group, backslashes escape a quote).
#include <optional>
#include <string>
#include <vector>

namespace orka::platform {

class Process {
public:
    // Starts `program` (a path; no search along PATH) with `commandLine`, inheriting the
    // environment, the current folder and open handles. Returns at once: the child is not
    // waited for. False when it could not be started.
    static bool start(const std::string& program, const std::string& commandLine);

    // Runs `program` (a path, or a bare name looked up along PATH) with the arguments as
    // they are, and waits for it to end. Its exit status; nullopt when it could not be
    // started or did not exit by itself.
    static std::optional<int> run(const std::string& program, const std::vector<std::string>& args);

    // The arguments a Windows program finds in its command-line text.
    static std::vector<std::string> splitCommandLine(const std::string& commandLine);
};

} // namespace orka::platform
