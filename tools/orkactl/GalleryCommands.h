#pragma once
// orkactl's gallery commands: the local gallery as JSON and the transfer jobs of the window,
// so that a script can do what the user does.
//   orkactl gallery --json
//   orkactl [--port N] download TYPE --into FOLDER_ID
//   orkactl [--port N] upload FOLDER_ID INDEX...
//   orkactl [--port N] delete TYPE NUMBER...
#include "orka/cli/CommandLine.h"

#include <vector>

namespace orkactl {

// Entries for orkactl's command table; each returns 0 done, 1 the job failed.
std::vector<orka::cli::Command> galleryCommands();

} // namespace orkactl
