// q5sim: a simulated Q5 handset on a pseudo-terminal (the cable) and/or the virtual
// IrDA bus, answering the AT exchange and the vendor gallery commands from stores kept
// in a folder.
#include "FaultSet.h"
#include "HandsetStore.h"
#include "Logger.h"
#include "Simulator.h"

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
    std::fprintf(stderr, "q5sim: %s\n%s", message.c_str(), usageText);
    std::exit(2);
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

} // namespace

int main(int argc, char** argv)
{
    q5sim::SimulatorOptions options;
    std::optional<std::filesystem::path> logFile;
    std::vector<std::string> faultSpecs;
    bool verbose = false;

    std::vector<std::string_view> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string_view value;
        const bool takesValue = arg == "--store" || arg == "--com" || arg == "--irda" || arg == "--log" || arg == "--fault";
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        } else if (takesValue) {
            if (i + 1 >= args.size())
                usageError(std::string(arg) + " needs a value");
            value = args[++i];
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(usageText, stdout);
            return 0;
        } else if (arg == "-v" || arg == "--verbose") {
            verbose = true;
        } else if (arg == "--store") {
            options.storeDir = std::string(value);
        } else if (arg == "--com") {
            int n = 0;
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec != std::errc() || end != value.data() + value.size() || n < 1 || n > 255)
                usageError("--com takes a port number from 1 to 255");
            options.comPort = n;
        } else if (arg == "--irda") {
            if (!validDeviceName(value))
                usageError("--irda takes a device name of letters, digits, '-', '_' and '.'");
            options.irdaName = std::string(value);
        } else if (arg == "--log") {
            logFile = std::string(value);
        } else if (arg == "--fault") {
            faultSpecs.emplace_back(value);
        } else {
            usageError("unknown option " + std::string(arg));
        }
    }
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

    try {
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
    } catch (const std::exception& e) {
        std::fprintf(stderr, "q5sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
