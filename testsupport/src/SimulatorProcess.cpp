#include "orka/testing/SimulatorProcess.h"

#include "orka/testing/ToolRunner.h"

#include <chrono>
#include <stdexcept>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace orka::test {
namespace fs = std::filesystem;

fs::path Simulator::makeHome()
{
    std::string tmpl = (fs::temp_directory_path() / "orka-link-XXXXXX").string();
    char* dir = ::mkdtemp(tmpl.data());
    if (!dir)
        throw std::runtime_error("cannot make a temporary folder");
    ::setenv("ORKA_HOME", dir, 1);
    return dir;
}

Simulator::Simulator(const fs::path& home, Options options)
    : home_(home), store_(home / "store"), log_(home / "sim.log")
{
    std::vector<std::string> args = {"--store", store_.string(), "--log", log_.string()};
    if (options.com > 0)
        args.insert(args.end(), {"--com", std::to_string(options.com)});
    if (!options.irda.empty())
        args.insert(args.end(), {"--irda", options.irda});
    for (const auto& f : options.faults)
        args.insert(args.end(), {"--fault", f});
    process_ = std::make_unique<orka::testing::ChildProcess>(orka::testing::testBinary("q5sim").string(), args,
                                                              std::vector<std::string>{"ORKA_HOME=" + home.string()});
    if (process_->firstLine().find("serving") == std::string::npos) {
        const std::string said = process_->firstLine();
        stop();
        throw std::runtime_error("q5sim did not start: " + said);
    }
}

Simulator::~Simulator() { stop(); }

void Simulator::stop()
{
    if (process_)
        process_->stop();
}

void Simulator::setFaults(const std::vector<std::string>& faults)
{
    std::ofstream f(store_ / "faults.tmp");
    for (const auto& x : faults)
        f << x << "\n";
    f.close();
    fs::rename(store_ / "faults.tmp", store_ / "faults");
}

std::vector<std::string> Simulator::received() const
{
    std::vector<std::string> lines;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
        auto at = line.find(" <- ");
        if (at != std::string::npos)
            lines.push_back(line.substr(at + 4));
    }
    return lines;
}

int Simulator::countReceived(const std::string& text) const
{
    int n = 0;
    for (const auto& l : received())
        if (l.compare(0, text.size(), text) == 0)
            ++n;
    return n;
}

void Simulator::clearLog()
{
    std::ofstream(log_, std::ios::trunc);
}

std::vector<unsigned char> patternBytes(std::size_t size, unsigned seed)
{
    std::vector<unsigned char> bytes(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return bytes;
}

} // namespace orka::test
