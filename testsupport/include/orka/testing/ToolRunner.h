#pragma once
// Runs the suite's programs as a user would, from a shell, and collects what they say.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orka::testing {

struct ToolRun {
    int code = -1;   // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A fresh folder under the temporary directory, removed with everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "orka-test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// A built program: in ORKA_TEST_BIN when the test runs under ctest, else beside the test.
std::filesystem::path testBinary(const std::string& name);
// The text in single quotes for a POSIX shell.
std::string shellQuote(const std::string& text);
// Runs a shell command line and collects its standard output, standard error and status.
ToolRun runShell(const std::string& commandLine);

void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
std::string readText(const std::filesystem::path& file);

} // namespace orka::testing
