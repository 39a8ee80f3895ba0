#pragma once
// orkactl pim: the phonebook and calendar of the handset and the contacts store.
//   orkactl [--port N] pim handset contacts|calendar --json
//   orkactl pim store contacts|calendar --json
//   orkactl [--port N] pim download contacts|calendar [--keys K,K...]
//   orkactl [--port N] pim upload contacts|calendar [--uids U,U...]
#include "orka/cli/CommandLine.h"

#include <vector>

namespace orkactl {

// The pim entry of orkactl's command table; it returns 0 done, 1 failed.
std::vector<orka::cli::Command> pimCommands();

} // namespace orkactl
