// q5sim: a simulated Q5 handset on a pseudo-terminal (the cable) and/or the virtual
// IrDA bus, answering the AT exchange and the vendor gallery commands from stores kept
// in a folder.
#include "FaultSet.h"
#include "HandsetStore.h"
#include "Logger.h"
#include "Simulator.h"

#include "orka/cli/CommandLine.h"
#include "orka/platform/StatePaths.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

const char* const usageText =
    "Usage: q5sim [--store DIR] [--com N] [--irda NAME] [--log FILE] [--fault SPEC]... [-v]\n"
    "Serves one simulated Q5 handset until SIGINT, SIGTERM or SIGHUP.\n"
    "\n"
    "  --store DIR    folder of the handset's stores (default: the data folder's q5sim/)\n"
    "  --com N        serve the cable as COM<N>: a pseudo-terminal linked as dosdevices/com<N>\n"
    "  --irda NAME    serve the IrDA bus as device NAME: irda/NAME.sock and irda/NAME.ias\n"
    "  --log FILE     append every line received and sent to FILE\n"
    "  --fault SPEC   misbehave on purpose (repeatable); DIR/faults, one SPEC a line,\n"
    "                 replaces these while it exists and is re-read before each command\n"
    "  -v, --verbose  also trace to stderr\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    "\n"
    "SPEC is NAME[=VALUE][:COMMAND][*K]: only for COMMAND (e.g. :QXBNR), only the first K times.\n"
    "  echo  silent  cme=N  cms=N  error  answer=TEXT  lowercase-ok  slow=MS  drop-after=N\n"
    "  block-order  wrong-length  full  long-line=N  garbage  empty-list-line\n"
    "  irda-no9wire  irda-service-late  irda-noircomm\n";

int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(stopPipe[1], &byte, 1);
    errno = saved;
}

[[noreturn]] void usageError(const std::string& message)
{
    throw orka::cli::UsageError(message);
}

bool validDeviceName(std::string_view name)
{
    if (name.empty() || name.size() > 64 || name == "." || name == "..")
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.')
            return false;
    return true;
}

int serve(const orka::cli::Arguments& args)
{
    q5sim::SimulatorOptions options;
    std::optional<std::filesystem::path> logFile;
    const bool verbose = args.has("verbose");
    if (!args.positional().empty())
        usageError("unexpected argument " + args.positional()[0]);
    if (const auto store = args.value("store"))
        options.storeDir = *store;
    if (const auto com = args.value("com")) {
        const auto n = orka::cli::parseInteger(*com, 1, 255);
        if (!n)
            usageError("--com takes a port number from 1 to 255");
        options.comPort = static_cast<int>(*n);
    }
    if (const auto irda = args.value("irda")) {
        if (!validDeviceName(*irda))
            usageError("--irda takes a device name of letters, digits, '-', '_' and '.'");
        options.irdaName = *irda;
    }
    if (const auto log = args.value("log"))
        logFile = *log;
    const std::vector<std::string> faultSpecs = args.values("fault");
    if (!options.comPort && !options.irdaName)
        usageError("give --com N, --irda NAME or both");
    if (options.storeDir.empty())
        options.storeDir = orka::platform::StatePaths::dataRoot() / "q5sim";

    q5sim::FaultSet faults;
    for (const std::string& spec : faultSpecs) {
        std::string why;
        if (!faults.addOption(spec, &why))
            usageError(why);
    }
    faults.watchFile(options.storeDir / "faults");
    for (const std::string& problem : faults.refresh())
        std::fprintf(stderr, "q5sim: fault file: %s\n", problem.c_str());

    {
        std::error_code ec;
        std::filesystem::create_directories(options.storeDir, ec);
        if (!std::filesystem::is_directory(options.storeDir))
            throw std::runtime_error("cannot make the store folder " + options.storeDir.string());
        q5sim::Logger logger(logFile, verbose);
        q5sim::HandsetStore store(options.storeDir);
        for (const std::string& warning : store.loadWarnings())
            logger.note("store", warning);

        if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGHUP, &action, nullptr);
        ::signal(SIGPIPE, SIG_IGN);

        q5sim::Simulator simulator(options, store, faults, logger);
        std::printf("%s\n", simulator.servingText().c_str());
        std::fflush(stdout);
        for (const std::string& spec : faults.activeSpecs())
            logger.note("faults", spec);
        simulator.run(stopPipe[0]);
        logger.note("q5sim", "stopped");
    }
    return orka::cli::kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    const orka::cli::Program program("q5sim", usageText);
    return program.run(argc, argv,
                       {{"store", 0, true},
                        {"com", 0, true},
                        {"irda", 0, true},
                        {"log", 0, true},
                        {"fault", 0, true},
                        {"verbose", 'v', false}},
                       serve);
}
