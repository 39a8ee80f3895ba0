#pragma once
// The command line of every Orka program: options parsed one way (getopt_long), --help and
// --version answered the same way, and the same exit codes.
//
//   int main(int argc, char** argv)
//   {
//       const orka::cli::Program program("melconv", kUsageText);
//       return program.run(argc, argv, {{"bank", 0, true}, {"", 'd', true}},
//                          [](const orka::cli::Arguments& args) { ... return orka::cli::kExitOk; });
//   }
//
// A program of commands (orkactl [--port N] CMD ARGS) gives a table of Command instead; the
// first argument that is not an option names the command, and options may stand before or
// after it.
#include <functional>
#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orka::cli {

inline constexpr int kExitOk = 0;     // done
inline constexpr int kExitFailed = 1; // refused or failed; the reason is on stderr
inline constexpr int kExitUsage = 2;  // wrong usage; the reason and the usage text are on stderr

// Wrong usage found after parsing (a bad value, a missing argument). Program::run prints
// "PROGRAM: WHAT" and the usage text, and exits with kExitUsage.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Option {
    std::string name;        // the long name without its dashes ("port"); empty for a letter only
    char letter = 0;         // the short name ('o' for -o); 0 for a long name only
    bool takesValue = false; // "--port 4", "--port=4", "-o FILE" or "-oFILE"

    // The name it is looked up by in Arguments: the long name, else the letter.
    std::string key() const { return name.empty() ? std::string(1, letter) : name; }
};

// What the command line said, in the order it said it.
class Arguments {
public:
    bool has(std::string_view key) const;
    // The value given last (a repeated option overrides).
    std::optional<std::string> value(std::string_view key) const;
    // Every value given, in order (a repeatable option).
    std::vector<std::string> values(std::string_view key) const;
    // The arguments that are not options, without the command word.
    const std::vector<std::string>& positional() const { return positional_; }
    // The command word of a program of commands; empty otherwise.
    const std::string& command() const { return command_; }

private:
    friend class Program;
    std::vector<std::pair<std::string, std::string>> given_;
    std::vector<std::string> positional_;
    std::string command_;
};

// A decimal integer that is the whole text and within [low, high], or nothing.
std::optional<long> parseInteger(std::string_view text, long low, long high);

using Body = std::function<int(const Arguments&)>;

struct Command {
    std::string name;
    std::vector<Option> options; // besides the program's own options
    Body run;
};

class Program {
public:
    // `usage` is the whole usage text, each line ending in a newline.
    Program(std::string name, std::string usage);

    // Parses the arguments, answers --help (-h) and --version, and runs `body`. Returns the
    // body's exit code; kExitUsage after a usage error; kExitFailed when the body throws
    // anything else (its message is printed as "PROGRAM: WHAT").
    int run(int argc, char** argv, const std::vector<Option>& options, const Body& body) const;
    // The same for a program of commands, each with the options it takes besides `common`.
    int run(int argc, char** argv, const std::vector<Option>& common, const std::vector<Command>& commands) const;

    // Where the usage, version and error texts go (tests point them at strings).
    void setStreams(std::ostream& out, std::ostream& err);

    const std::string& name() const { return name_; }
    const std::string& usage() const { return usage_; }

private:
    static void parse(int argc, char** argv, const std::vector<Option>& options, bool firstIsCommand, Arguments& parsed);
    int guarded(const std::function<int()>& work) const;
    int usageError(const std::string& why) const;

    std::string name_;
    std::string usage_;
    std::ostream* out_;
    std::ostream* err_;
};

} // namespace orka::cli
