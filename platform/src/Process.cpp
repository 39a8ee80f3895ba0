#include "orka/platform/Process.h"

#include <cerrno>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

extern char** environ;

namespace orka::platform {

std::vector<std::string> Process::splitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false, quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inArg)
                args.push_back(std::move(arg));
            arg.clear();
            inArg = false;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            std::size_t n = 0;
            while (i < commandLine.size() && commandLine[i] == '\\')
                ++n, ++i;
            if (i < commandLine.size() && commandLine[i] == '"') {
                // 2n backslashes and a quote: n backslashes and a delimiting quote;
                // 2n+1 backslashes and a quote: n backslashes and a literal quote.
                arg.append(n / 2, '\\');
                if (n % 2)
                    arg += '"';
                else
                    quoted = !quoted;
            } else {
                arg.append(n, '\\');
                --i;
            }
        } else if (c == '"') {
            // Inside quotes, a doubled quote stands for one literal quote.
            if (quoted && i + 1 < commandLine.size() && commandLine[i + 1] == '"') {
                arg += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else {
            arg += c;
        }
    }
    if (inArg)
        args.push_back(std::move(arg));
    return args;
}

namespace {

// Starts the program with argv[0] = program and the arguments after it; its process id, or
// nullopt when it could not be started. A bare name is looked up along PATH only on request.
std::optional<pid_t> spawn(const std::string& program, std::vector<std::string> args, bool searchPath)
{
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = searchPath ? ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ)
                                  : ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (failed)
        return std::nullopt;
    return pid;
}

} // namespace

bool Process::start(const std::string& program, const std::string& commandLine)
{
    return spawn(program, splitCommandLine(commandLine), false).has_value();
}

std::optional<int> Process::run(const std::string& program, const std::vector<std::string>& args)
{
    const auto pid = spawn(program, args, true);
    if (!pid)
        return std::nullopt;
    int status = 0;
    while (::waitpid(*pid, &status, 0) < 0)
        if (errno != EINTR)
            return std::nullopt;
    // posix_spawnp reports a program that cannot be executed as exit status 127.
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 127)
        return std::nullopt;
    return WEXITSTATUS(status);
}

} // namespace orka::platform
