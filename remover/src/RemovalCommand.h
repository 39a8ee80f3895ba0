#pragma once
// The removal command the installer registered for the product, and how it is read.
#include <optional>
#include <string>

namespace orka::remover {

// The program between the first two double quotes, and everything after the closing one
// as its command line.
struct RemovalCommand {
    std::string program;
    std::string commandLine;
};

// nullopt when the text has no quoted program (no quote, or only an opening one) or is empty.
// Searching byte by byte for '"' is safe in UTF-8: no byte of a multi-byte character is one.
std::optional<RemovalCommand> parseRemovalCommand(const std::string& value);

// The registered removal command from the local-machine hive, or nullopt when the entry is
// missing, empty, too long for the 260-byte buffer, or has no quoted program.
std::optional<RemovalCommand> registeredRemovalCommand();

} // namespace orka::remover
