// Whatever bytes a PC sends, the handset answers each line with lines ending in a final
// result code and never stalls. The first line of the input may set faults; the whole
// input is also read as a store settings text (lines that fit resize the stores). Without
// faults, every command line gets exactly one final result code.
#include "FaultSet.h"
#include "LinkSession.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The command lines as the PC sent them: text ended by CR or LF, empty lines skipped.
std::vector<std::string> commandLines(const std::string& input, std::size_t from)
{
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = from; i < input.size(); ++i) {
        if (input[i] == '\r' || input[i] == '\n') {
            if (!current.empty())
                lines.push_back(current);
            current.clear();
        } else {
            current += input[i];
        }
    }
    return lines;
}

bool isFinalResultCode(const std::string& line)
{
    return line == "OK" || line == "ERROR" || line.rfind("+CME ERROR", 0) == 0 || line.rfind("+CMS ERROR", 0) == 0;
}

// Walks the answer lines command by command: an answer may open with the echo of its
// command and ends with its final result code. Aborts unless each command has exactly one.
void checkOneFinalCodeEach(const std::vector<std::string>& commands, const std::vector<std::string>& answers)
{
    std::size_t command = 0;
    bool answerStart = true;
    for (const std::string& line : answers) {
        if (command >= commands.size())
            std::abort(); // an answer line with no command left to belong to
        if (answerStart && line == commands[command]) {
            answerStart = false; // the echo
            continue;
        }
        answerStart = false;
        if (isFinalResultCode(line)) {
            ++command;
            answerStart = true;
        }
    }
    if (command != commands.size())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace q5sim;
    const std::string input(reinterpret_cast<const char*>(data), size);
    HandsetStore store(std::nullopt);
    store.applySettings(input, "fuzz");
    FaultSet faults;
    Logger logger;
    std::size_t start = 0;
    if (input.rfind("F:", 0) == 0) {
        const std::size_t end = input.find('\n');
        const std::string specs = input.substr(2, end == std::string::npos ? std::string::npos : end - 2);
        std::size_t pos = 0;
        while (pos <= specs.size()) {
            std::size_t comma = specs.find(',', pos);
            if (comma == std::string::npos)
                comma = specs.size();
            faults.addOption(specs.substr(pos, comma - pos));
            pos = comma + 1;
        }
        start = end == std::string::npos ? input.size() : end + 1;
    }
    const bool faultless = start == 0;
    std::vector<std::string> answers;
    LinkSession session("fuzz", store, faults, logger);
    auto now = LinkSession::Clock::now();
    // Feed in small pieces, the way bytes trickle in over a serial line.
    for (std::size_t i = start; i < input.size(); i += 7) {
        const std::size_t n = std::min<std::size_t>(7, input.size() - i);
        session.receive(input.data() + i, n);
        for (int guard = 0; guard < 100000; ++guard) {
            const auto step = session.next(now);
            if (step.step == LinkSession::Step::Send) {
                // Whole lines each time: the session hands out one due line with its CR LF.
                answers.push_back(step.bytes.substr(0, step.bytes.size() - 2));
                session.sent(step.bytes.size());
            } else if (step.step == LinkSession::Step::Drop) {
                session.reset();
            } else if (auto due = session.nextDue()) {
                now = *due; // let time pass to the next slow line
            } else {
                break;
            }
            if (guard == 99999)
                std::abort(); // the session should have run dry long ago
        }
    }
    // A command line that reads like a final result code ("ERROR" sent as a command) cannot
    // be told from its own echo once ATE1 has turned echo on, so such sessions are not counted.
    const std::vector<std::string> commands = commandLines(input, start);
    const bool unambiguous = std::none_of(commands.begin(), commands.end(), isFinalResultCode);
    if (faultless && unambiguous)
        checkOneFinalCodeEach(commands, answers);
    return 0;
}
