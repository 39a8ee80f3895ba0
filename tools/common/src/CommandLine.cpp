#include "orka/cli/CommandLine.h"

#include "orka/Version.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <getopt.h>
#include <iostream>

namespace orka::cli {
namespace {

const Option kHelp{"help", 'h', false};
const Option kVersion{"version", 0, false};

// getopt_long's code for an option without a letter: past every char value.
constexpr int kFirstLongOnlyCode = 256;
// The code getopt_long gives a non-option argument when options are returned in order.
constexpr int kNonOption = 1;

std::string spelling(const Option& o) { return o.name.empty() ? std::string("-") + o.letter : "--" + o.name; }

// Every option once, by key (commands that share an option name share its meaning).
std::vector<Option> merged(std::vector<Option> options)
{
    std::vector<Option> out;
    for (Option& o : options) {
        const auto same = std::find_if(out.begin(), out.end(), [&](const Option& x) { return x.key() == o.key(); });
        if (same == out.end())
            out.push_back(std::move(o));
    }
    return out;
}

} // namespace

// Parses with getopt_long. Options are returned in order (the leading '-'), so options
// after arguments work whatever POSIXLY_CORRECT says; the ':' makes a missing value
// distinguishable from an unknown option. Throws UsageError.
void Program::parse(int argc, char** argv, const std::vector<Option>& options, bool firstIsCommand, Arguments& parsed)
{
    std::string& command = parsed.command_;
    auto& given = parsed.given_;
    auto& positional = parsed.positional_;
    std::string shortOptions = "-:";
    std::vector<option> longOptions;
    std::vector<int> codes;
    for (std::size_t i = 0; i < options.size(); ++i) {
        const Option& o = options[i];
        const int code = o.letter ? static_cast<unsigned char>(o.letter) : kFirstLongOnlyCode + static_cast<int>(i);
        codes.push_back(code);
        if (o.letter)
            shortOptions += std::string(1, o.letter) + (o.takesValue ? ":" : "");
        if (!o.name.empty())
            longOptions.push_back({o.name.c_str(), o.takesValue ? required_argument : no_argument, nullptr, code});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
    auto optionFor = [&](int code) -> const Option* {
        const auto at = std::find(codes.begin(), codes.end(), code);
        return at == codes.end() ? nullptr : &options[static_cast<std::size_t>(at - codes.begin())];
    };

    // getopt_long may reorder what it is given: give it copies.
    std::vector<std::string> copies(argv, argv + argc);
    std::vector<char*> args;
    for (std::string& s : copies)
        args.push_back(s.data());
    args.push_back(nullptr);

    opterr = 0;
    optind = 0; // a full restart of the parser's state
    for (;;) {
        const int code = getopt_long(argc, args.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (code == -1)
            break;
        if (code == kNonOption) {
            if (firstIsCommand && command.empty())
                command = optarg;
            else
                positional.emplace_back(optarg);
            continue;
        }
        const Option* o = optionFor(optopt);
        if (code == ':')
            throw UsageError(spelling(*o) + " needs a value");
        if (code == '?') {
            if (o && optopt)
                throw UsageError(spelling(*o) + " takes no value");
            throw UsageError("unknown option " + std::string(optopt ? std::string("-") + static_cast<char>(optopt)
                                                                    : std::string(args[static_cast<std::size_t>(optind) - 1])));
        }
        given.emplace_back(optionFor(code)->key(), optarg ? optarg : "");
    }
    // After "--" everything is an argument.
    for (int i = optind; i < argc; ++i) {
        if (firstIsCommand && command.empty())
            command = args[static_cast<std::size_t>(i)];
        else
            positional.emplace_back(args[static_cast<std::size_t>(i)]);
    }
}

bool Arguments::has(std::string_view key) const
{
    return std::any_of(given_.begin(), given_.end(), [&](const auto& g) { return g.first == key; });
}

std::optional<std::string> Arguments::value(std::string_view key) const
{
    std::optional<std::string> found;
    for (const auto& [k, v] : given_)
        if (k == key)
            found = v;
    return found;
}

std::vector<std::string> Arguments::values(std::string_view key) const
{
    std::vector<std::string> found;
    for (const auto& [k, v] : given_)
        if (k == key)
            found.push_back(v);
    return found;
}

std::optional<long> parseInteger(std::string_view text, long low, long high)
{
    const std::string s(text);
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0])))
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < low || v > high)
        return std::nullopt;
    return v;
}

Program::Program(std::string name, std::string usage)
    : name_(std::move(name)), usage_(std::move(usage)), out_(&std::cout), err_(&std::cerr)
{
}

void Program::setStreams(std::ostream& out, std::ostream& err)
{
    out_ = &out;
    err_ = &err;
}

int Program::usageError(const std::string& why) const
{
    *err_ << name_ << ": " << why << "\n" << usage_;
    return kExitUsage;
}

int Program::guarded(const std::function<int()>& work) const
{
    // A write past the file-size limit then fails with EFBIG, which the program reports and
    // cleans up after, instead of the signal killing it in the middle of a file.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return work();
    } catch (const UsageError& e) {
        return usageError(e.what());
    } catch (const std::exception& e) {
        *err_ << name_ << ": " << e.what() << "\n";
        return kExitFailed;
    }
}

int Program::run(int argc, char** argv, const std::vector<Option>& options, const Body& body) const
{
    return run(argc, argv, options, {Command{"", {}, body}});
}

int Program::run(int argc, char** argv, const std::vector<Option>& common, const std::vector<Command>& commands) const
{
    return guarded([&] {
        const bool hasCommands = !(commands.size() == 1 && commands[0].name.empty());
        std::vector<Option> all = common;
        all.push_back(kHelp);
        all.push_back(kVersion);
        for (const Command& c : commands)
            all.insert(all.end(), c.options.begin(), c.options.end());
        all = merged(std::move(all));

        Arguments args;
        parse(argc, argv, all, hasCommands, args);
        if (args.has(kHelp.key())) {
            *out_ << usage_;
            return kExitOk;
        }
        if (args.has(kVersion.key())) {
            *out_ << name_ << " " << ORKA_VERSION << "\n";
            return kExitOk;
        }
        if (hasCommands && args.command_.empty())
            throw UsageError("no command given");
        const auto command = std::find_if(commands.begin(), commands.end(),
                                          [&](const Command& c) { return c.name == args.command_; });
        if (command == commands.end())
            throw UsageError("unknown command " + args.command_);
        // Each option given must be one the program or this command takes.
        for (const auto& [key, value] : args.given_) {
            auto is = [&](const Option& o) { return o.key() == key; };
            if (std::none_of(common.begin(), common.end(), is) &&
                std::none_of(command->options.begin(), command->options.end(), is))
                throw UsageError(
                    spelling(*std::find_if(all.begin(), all.end(), is)) +
                    (hasCommands ? " is not an option of " + command->name : std::string(" is not an option")));
        }
        return command->run(args);
    });
}

} // namespace orka::cli
