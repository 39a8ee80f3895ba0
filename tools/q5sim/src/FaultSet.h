#pragma once
// Faults the simulated handset shows on request, so that the PC side's handling of a
// misbehaving handset can be tried. Each fault is written NAME[=VALUE][:COMMAND][*K]:
// COMMAND limits it to one command (":QXBNR"), K to its first K uses ("silent*2").
// Faults come from the command line and may be replaced at run time by a file of one
// fault per line.
#include "AtCommand.h"
#include "HandsetProtocol.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q5sim {

enum class FaultKind {
    Echo, Silent, Cme, Cms, Error, Answer, LowercaseOk, Slow, DropAfter, BlockOrder, WrongLength, Full,
    LongLine, Garbage, EmptyListLine, IrdaNo9Wire, IrdaServiceLate, IrdaNoIrcomm,
};

struct Fault {
    FaultKind kind = FaultKind::Echo;
    int value = 0;                // N of cme=N, MS of slow=MS ...
    std::string text;             // TEXT of answer=TEXT
    std::string command;          // upper-case command name without "^" ("QXBNR"); empty: every command
    std::optional<int> limit;     // *K
    int uses = 0;                 // times the fault took effect
    int counted = 0;              // command lines counted towards drop-after
    std::string spec;             // as written
};

// Nullopt with a reason in *why when the text is no fault.
std::optional<Fault> parseFault(std::string_view spec, std::string* why = nullptr);

// What the faults do to one command.
struct CommandPlan {
    bool echo = false;                       // echo the line before the answer
    bool silent = false;                     // no answer at all
    std::optional<std::string> replacement;  // final line answered instead of running the command
    std::vector<std::string> prelude;        // lines sent before the answer (long or binary lines)
    AnswerQuirks quirks;
    int delayMs = 0;                         // wait before each line sent
    bool dropAfter = false;                  // drop the link once the answer is out
};

// How the IrDA device describes itself.
struct IasVariant {
    bool no9Wire = false;
    bool serviceLate = false;
    bool noIrcomm = false;
    bool operator==(const IasVariant&) const = default;
};

class FaultSet {
public:
    // A fault given on the command line; false (with the reason) when it does not parse.
    bool addOption(std::string_view spec, std::string* why = nullptr);
    // Re-reads the run-time fault file: while it exists its faults replace the options.
    // Returns the lines that did not parse when the file changed.
    std::vector<std::string> reloadFile(const std::filesystem::path& file);
    // The file refresh() re-reads (before each command).
    void watchFile(std::filesystem::path file) { watched_ = std::move(file); }
    std::vector<std::string> refresh() { return watched_.empty() ? std::vector<std::string>{} : reloadFile(watched_); }

    // Decides (and counts) the faults that act on this command.
    CommandPlan planFor(const AtCommand& command);
    IasVariant iasVariant() const;
    std::vector<std::string> activeSpecs() const;

    static std::string longLine(int length);
    static std::string garbageLine();

private:
    std::vector<Fault>& active() { return fileExists_ ? fileFaults_ : optionFaults_; }
    const std::vector<Fault>& active() const { return fileExists_ ? fileFaults_ : optionFaults_; }

    std::vector<Fault> optionFaults_;
    std::vector<Fault> fileFaults_;
    bool fileExists_ = false;
    std::optional<std::string> fileText_;
    std::filesystem::path watched_;
};

} // namespace q5sim
