// orkactl: a command-line client of the phone link library, for scripts and tests.
#include "GalleryCommands.h"
#include "OrkactlCommands.h"
#include "PimCommands.h"

int main(int argc, char** argv)
{
    if (orkactl::isGalleryCommand(argc, argv))
        return orkactl::runGalleryCommand(argc, argv);
    if (orkactl::isPimCommand(argc, argv))
        return orkactl::runPim(argc, argv);
    auto options = orkactl::parseArguments(argc, argv);
    if (!options)
        return orkactl::kExitUsage;
    return orkactl::run(*options);
}
