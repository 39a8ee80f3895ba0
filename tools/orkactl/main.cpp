// orkactl: a command-line client of the phone link library, for scripts and tests.
#include "OrkactlCommands.h"
#include "PimCommands.h"

int main(int argc, char** argv)
{
    if (orkactl::isPimCommand(argc, argv))
        return orkactl::runPim(argc, argv);
    auto options = orkactl::parseArguments(argc, argv);
    if (!options)
        return orkactl::kExitUsage;
    return orkactl::run(*options);
}
