#pragma once
// Runs the real q5sim in a temporary ORKA_HOME and talks to it as the PC would: through
// the com<N> link with termios, or through the IrDA bus socket.
#include "orka/testing/ChildProcess.h"
#include "orka/testing/ToolRunner.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace q5test {

// A temporary folder that is removed with everything in it.
using TempDir = orka::testing::ScratchDir;

// q5sim started with ORKA_HOME=home and the given arguments, once it has said its start line.
class SimProcess : public orka::testing::ChildProcess {
public:
    SimProcess(const std::filesystem::path& home, const std::vector<std::string>& args)
        : ChildProcess(orka::testing::testBinary("q5sim").string(), args, {"ORKA_HOME=" + home.string()})
    {
    }
    const std::string& startLine() const { return firstLine(); }
};

// One open serial port on the simulator's terminal, in raw mode.
class Port {
public:
    // flush: discard what waits in the terminal, as a PC purging its port does.
    explicit Port(const std::filesystem::path& link, bool flush = true);
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    int fd() const { return fd_; }

    void send(const std::string& bytes);
    // The next line (without CR LF), or nullopt after the time limit or on hang-up.
    std::optional<std::string> line(std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
    // Sends a command line ("\r" added) and collects the answer up to its final result code.
    std::vector<std::string> command(const std::string& text,
                                     std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
    // Whether the other side hung up (reading gives EIO or end of file).
    bool hungUp(std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

protected:
    explicit Port(int fd) : fd_(fd) {}

private:
    int fd_ = -1;
    std::string buffer_;
};

// A client of the IrDA bus device; speaks the same lines.
class IrdaClient : public Port {
public:
    explicit IrdaClient(const std::filesystem::path& socket);
};

bool isFinal(const std::string& line);
std::string readFile(const std::filesystem::path& file);
std::vector<std::uint8_t> pattern(std::size_t size, unsigned seed = 1);

} // namespace q5test

namespace q5test {
// Writes bytes as the PC does (blocks of blockHex hex characters); returns the last answer line.
std::string writeItem(Port& port, int type, int index, int part, const std::vector<std::uint8_t>& data,
                      std::size_t blockHex = 200);
// Reads an item back, decoding the blocks of the answer; nullopt when the answer is no data.
std::optional<std::vector<std::uint8_t>> readItem(Port& port, int type, int index, int part);
} // namespace q5test
