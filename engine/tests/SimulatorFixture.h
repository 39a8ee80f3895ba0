#pragma once
// The test fixture around the handset simulator.
#include "orka/testing/SimulatorProcess.h"
#include "orka/pio.h"

#include <gtest/gtest.h>

#include <memory>

namespace orka::test {

// Each test gets a fresh home and a running simulator with both links; results are freed.
class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Starts (or restarts) the simulator with these options.
    void start(Simulator::Options options);
    // Owns a result for the length of a test.
    PIOResult* keep(unsigned long handle);

    std::filesystem::path home;
    std::unique_ptr<Simulator> sim;
    std::vector<unsigned long> results;

public:
    static constexpr int kCom = 5;
};


} // namespace orka::test
