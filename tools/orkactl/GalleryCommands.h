#pragma once
// orkactl's gallery commands: the local gallery as JSON and the transfer jobs of the window,
// so that a script can do what the user does.
//   orkactl [--port N] gallery --json
//   orkactl [--port N] download TYPE --into FOLDER_ID
//   orkactl [--port N] upload FOLDER_ID INDEX...
//   orkactl [--port N] delete TYPE NUMBER...
#include <cstdio>

namespace orkactl {

// True when the command line names one of the gallery commands.
bool isGalleryCommand(int argc, char** argv);
// Runs it; the exit code (0 done, 1 the job failed, 2 a usage error).
int runGalleryCommand(int argc, char** argv);
void printGalleryUsage(std::FILE* out);

} // namespace orkactl
