#pragma once
// orkactl pim: the phonebook and calendar of the handset and the contacts store.
//   orkactl pim handset contacts|calendar --json
//   orkactl pim store contacts|calendar --json
//   orkactl pim download contacts|calendar [--keys K,K...]
//   orkactl pim upload contacts|calendar [--uids U,U...]
namespace orkactl {

// Whether the command line names the pim command (options before it included).
bool isPimCommand(int argc, char** argv);
// Runs it; returns the exit code (0 done, 1 failed, 2 usage).
int runPim(int argc, char** argv);

} // namespace orkactl
