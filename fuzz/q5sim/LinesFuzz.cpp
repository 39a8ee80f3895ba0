// Whatever bytes a PC sends, the handset answers each line with lines ending in a final
// result code and never stalls. The first line of the input may set faults; the whole
// input is also read as a store settings text (lines that fit resize the stores).
#include "FaultSet.h"
#include "LinkSession.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

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
    LinkSession session("fuzz", store, faults, logger);
    auto now = LinkSession::Clock::now();
    // Feed in small pieces, the way bytes trickle in over a serial line.
    for (std::size_t i = start; i < input.size(); i += 7) {
        const std::size_t n = std::min<std::size_t>(7, input.size() - i);
        session.receive(input.data() + i, n);
        for (int guard = 0; guard < 100000; ++guard) {
            const auto step = session.next(now);
            if (step.step == LinkSession::Step::Send) {
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
    return 0;
}
