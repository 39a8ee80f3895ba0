#include "orka/platform/Mailer.h"

#include "orka/platform/Process.h"

namespace orka::platform {

bool Mailer::send(const std::vector<std::string>& files) const
{
    std::vector<std::string> args;
    for (const auto& file : files) {
        args.push_back("--attach");
        args.push_back(file);
    }
    const auto status = Process::run(program_, args);
    return status && *status == 0;
}

} // namespace orka::platform
