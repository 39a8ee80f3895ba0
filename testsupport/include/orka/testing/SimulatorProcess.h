#pragma once
// Runs the real handset simulator: its own ORKA_HOME in a fresh temporary folder, a cable
// port and/or an IrDA device, faults on request, and its line log.
#include "orka/testing/ChildProcess.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orka::test {

class Simulator {
public:
    struct Options {
        int com = 5;            // 0: no cable port
        std::string irda = "Q5"; // empty: no IrDA device
        std::vector<std::string> faults;
    };
    // A fresh ORKA_HOME for this process.
    static std::filesystem::path makeHome();

    Simulator(const std::filesystem::path& home, Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool running() const { return process_ && process_->running(); }
    // Replaces the faults while the simulator runs.
    void setFaults(const std::vector<std::string>& faults);
    // Lines the simulator received, in order (the command lines as the PC sent them).
    std::vector<std::string> received() const;
    // How many received lines start with text.
    int countReceived(const std::string& text) const;
    void clearLog();
    void stop();
    const std::filesystem::path& storeDir() const { return store_; }

private:
    std::filesystem::path home_, store_, log_;
    std::unique_ptr<orka::testing::ChildProcess> process_;
};

// Bytes of a repeatable pseudo-random pattern.
std::vector<unsigned char> patternBytes(std::size_t size, unsigned seed = 1);

} // namespace orka::test
