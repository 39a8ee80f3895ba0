#pragma once
// The orkactl commands over the engine's exported functions. Each command is one entry of a
// table: its name, its arguments, the options it takes besides --port, and its work on the
// open link. More commands join by adding entries to the table main() builds.
#include "orka/cli/CommandLine.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace orkactl {

using orka::cli::kExitFailed;
using orka::cli::kExitOk;
using orka::cli::kExitUsage;

struct Command {
    std::string name;
    std::size_t minArgs = 1; // after the command word; the first is always the store TYPE
    std::size_t maxArgs = 1;
    bool secondIsIndex = false; // the second argument is an item INDEX (from 1)
    std::vector<orka::cli::Option> options;
    // Runs on the open link with the checked store type; returns the exit code.
    std::function<int(int type, const orka::cli::Arguments&)> work;
};

extern const char* const kUsageText;

// The port to open: --port, else $ORKA_PORT, else the port saved in Orka's connection
// settings, else 300 (a UsageError when the one given is not 1-256, 300 or 301).
int linkPort(const orka::cli::Arguments& args);
// The number `text` holds, within [low, high], else a UsageError saying `why`.
int number(const std::string& text, long low, long high, const std::string& why);

// features, ls, get, put, preview, rm, name.
std::vector<Command> builtInCommands();
// Checks the arguments (a UsageError when they are wrong), opens the link on linkPort(),
// runs the command and closes the link; returns the exit code.
int run(const Command& command, const orka::cli::Arguments& args);

} // namespace orkactl
