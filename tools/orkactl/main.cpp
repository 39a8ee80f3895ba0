// orkactl: a command-line client of the phone link library, for scripts and tests.
#include "GalleryCommands.h"
#include "OrkactlCommands.h"
#include "PimCommands.h"

int main(int argc, char** argv)
{
    std::vector<orka::cli::Command> table;
    for (const orkactl::Command& command : orkactl::builtInCommands())
        table.push_back({command.name, command.options,
                         [command](const orka::cli::Arguments& args) { return orkactl::run(command, args); }});
    for (auto&& more : {orkactl::galleryCommands(), orkactl::pimCommands()})
        table.insert(table.end(), more.begin(), more.end());
    const orka::cli::Program program("orkactl", orkactl::kUsageText);
    return program.run(argc, argv, {{"port", 0, true}}, table);
}
