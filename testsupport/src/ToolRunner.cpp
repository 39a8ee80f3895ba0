#include "orka/testing/ToolRunner.h"

#include "orka/platform/Library.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace orka::testing {
namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string& prefix)
{
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

fs::path testBinary(const std::string& name)
{
    const char* bin = std::getenv("ORKA_TEST_BIN");
    return fs::path(bin && *bin ? std::string(bin) : orka::platform::Library::executableDir()) / name;
}

std::string shellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ToolRun runShell(const std::string& commandLine)
{
    ToolRun run;
    std::string errName = (fs::temp_directory_path() / "orka-stderr-XXXXXX").string();
    const int errFd = ::mkstemp(errName.data());
    if (errFd < 0)
        return run;
    ::close(errFd);
    const std::string command = "{ " + commandLine + " ; } 2>" + shellQuote(errName);
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            run.out.append(buffer.data(), n);
        const int status = ::pclose(pipe);
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    run.err = readText(errName);
    ::unlink(errName.c_str());
    return run;
}

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace orka::testing
