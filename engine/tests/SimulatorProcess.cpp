#include "SimulatorProcess.h"

#include "orka/platform/Library.h"

#include <chrono>
#include <stdexcept>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace orka::test {
namespace fs = std::filesystem;

fs::path Simulator::makeHome()
{
    std::string tmpl = (fs::temp_directory_path() / "orka-link-XXXXXX").string();
    char* dir = ::mkdtemp(tmpl.data());
    if (!dir)
        throw std::runtime_error("cannot make a temporary folder");
    ::setenv("ORKA_HOME", dir, 1);
    return dir;
}

Simulator::Simulator(const fs::path& home, Options options)
    : home_(home), store_(home / "store"), log_(home / "sim.log")
{
    const char* bin = std::getenv("ORKA_TEST_BIN");
    std::string exe = (bin ? std::string(bin) : orka::platform::Library::executableDir()) + "/q5sim";
    std::vector<std::string> args = {exe, "--store", store_.string(), "--log", log_.string()};
    if (options.com > 0) {
        args.push_back("--com");
        args.push_back(std::to_string(options.com));
    }
    if (!options.irda.empty()) {
        args.push_back("--irda");
        args.push_back(options.irda);
    }
    for (const auto& f : options.faults) {
        args.push_back("--fault");
        args.push_back(f);
    }
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    int rc = posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + exe);
    }
    // Ready once it says what it serves.
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (text.find("serving") == std::string::npos || text.find('\n') == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || ::poll(&p, 1, 100) < 0)
            break;
        if (p.revents & POLLIN) {
            char buf[256];
            ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n <= 0)
                break;
            text.append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(out[0]);
    if (text.find("serving") == std::string::npos) {
        stop();
        throw std::runtime_error("q5sim did not start: " + text);
    }
}

Simulator::~Simulator() { stop(); }

void Simulator::stop()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

void Simulator::setFaults(const std::vector<std::string>& faults)
{
    std::ofstream f(store_ / "faults.tmp");
    for (const auto& x : faults)
        f << x << "\n";
    f.close();
    fs::rename(store_ / "faults.tmp", store_ / "faults");
}

std::vector<std::string> Simulator::received() const
{
    std::vector<std::string> lines;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
        auto at = line.find(" <- ");
        if (at != std::string::npos)
            lines.push_back(line.substr(at + 4));
    }
    return lines;
}

int Simulator::countReceived(const std::string& text) const
{
    int n = 0;
    for (const auto& l : received())
        if (l.compare(0, text.size(), text) == 0)
            ++n;
    return n;
}

void Simulator::clearLog()
{
    std::ofstream(log_, std::ios::trunc);
}

std::vector<unsigned char> patternBytes(std::size_t size, unsigned seed)
{
    std::vector<unsigned char> bytes(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return bytes;
}

} // namespace orka::test
