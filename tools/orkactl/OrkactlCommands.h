#pragma once
// The work of each orkactl command over the engine's exported functions.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orkactl {

struct Options {
    int port = 300;
    std::string command;
    std::vector<std::string> args;
    std::optional<int> part;
    std::optional<int> index;
    bool freeList = false;
    std::string output;
};

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Parses the command line; returns nullopt (after printing why) on a usage error.
std::optional<Options> parseArguments(int argc, char** argv);
// Opens the link, runs the command, closes the link; returns the exit code.
int run(const Options& options);
void printUsage(std::FILE* out);

} // namespace orkactl
