#include "SimulatorFixture.h"

#include <system_error>

namespace orka::test {
namespace fs = std::filesystem;

void SimulatorTest::SetUp()
{
    home = Simulator::makeHome();
    ASSERT_EQ(PIOInitPhone(), 1);
}

void SimulatorTest::start(Simulator::Options options)
{
    sim.reset();
    sim = std::make_unique<Simulator>(home, std::move(options));
}

void SimulatorTest::TearDown()
{
    for (auto r : results)
        PIOFreeMemory(r);
    results.clear();
    PIOClose();
    sim.reset();
    std::error_code ec;
    fs::remove_all(home, ec);
}

PIOResult* SimulatorTest::keep(unsigned long handle)
{
    if (handle)
        results.push_back(handle);
    return reinterpret_cast<PIOResult*>(handle);
}

} // namespace orka::test
