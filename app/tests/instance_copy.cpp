// One copy of the program's start, for the tests that start several: prints how its start
// ended ("run", "handed-over" or "ended"). A copy that runs shows its "window" after
// --window-after MS (appending "raised" to --raised-file for each later copy that asks),
// ends cleanly on SIGTERM, or dies at once with --crash.
#include "orka/app/OrkaApp.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onTerm(int) { stopRequested = 1; }
} // namespace

int main(int argc, char** argv)
{
    long waitMs = 2000, windowAfterMs = 0;
    bool crash = false;
    std::string raisedFile;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--wait" && i + 1 < argc)
            waitMs = std::atol(argv[++i]);
        else if (a == "--window-after" && i + 1 < argc)
            windowAfterMs = std::atol(argv[++i]);
        else if (a == "--raised-file" && i + 1 < argc)
            raisedFile = argv[++i];
        else if (a == "--crash")
            crash = true;
    }
    std::signal(SIGTERM, onTerm);
    orka::app::COrkaApp app{std::chrono::milliseconds(waitMs)};
    const auto result = app.start(nullptr);
    using R = orka::app::COrkaApp::StartResult;
    std::printf("%s\n", result == R::Run ? "run" : result == R::HandedOver ? "handed-over" : "ended");
    std::fflush(stdout);
    if (result != R::Run)
        return 0;
    if (crash)
        std::raise(SIGKILL);
    const auto windowAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(windowAfterMs);
    bool shown = false;
    while (!stopRequested) {
        if (!shown && std::chrono::steady_clock::now() >= windowAt)
            shown = app.listenForOtherCopies([&] { std::ofstream(raisedFile, std::ios::app) << "raised\n"; });
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return app.exit() ? 0 : 1;
}
