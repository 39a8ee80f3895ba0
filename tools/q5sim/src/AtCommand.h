#pragma once
// One command line as the PC sends it ("AT^QXDIR=2,1"), taken apart into its name,
// its form and its arguments. Lines that are not well-formed AT commands parse with
// valid false and are answered "ERROR".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q5sim {

enum class CommandForm {
    Action, // "AT^QXFTR" or a basic command such as "ATE0"
    Set,    // "AT^QXFTR=2"
    Test,   // "AT^QXFTR=?"
    Read,   // "AT^QXFTR?"
};

struct AtArgument {
    std::string text;
    bool quoted = false;
};

struct AtCommand {
    bool valid = false;
    // Upper-case name without "AT": "^QXDIR", "+CGMM", "E0", "" for a plain "AT".
    std::string name;
    CommandForm form = CommandForm::Action;
    std::vector<AtArgument> args;

    // The name a fault filter matches: "QXDIR" for "^QXDIR", "CGMM" for "+CGMM", "AT" for "AT".
    std::string filterName() const;
};

AtCommand parseAtCommand(std::string_view line);

// A decimal argument within [min, max] (no quotes, optional sign, no blanks inside).
std::optional<long long> numberArgument(const AtArgument& arg, long long min, long long max);

} // namespace q5sim
