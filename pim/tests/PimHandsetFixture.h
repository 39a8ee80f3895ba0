#pragma once
// A simulated handset with prepared phonebook and calendar entries, an empty contacts store
// beside it, and the context the workers take.
#include "orka/testing/SimulatorProcess.h"
#include "orka/pim/HandsetCodec.h"
#include "orka/pim/PimWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orka::test {

class PimHandsetTest : public ::testing::Test {
protected:
    static constexpr int kCom = 6;

    void SetUp() override;
    void TearDown() override;

    // Store sizes: a capacity for the phonebook and the calendar before start().
    void setCapacity(int phonebook, int calendar);
    // Puts an entry on the handset before start() (its key as given).
    void prepare(pim::CContactItem contact);
    void prepare(pim::CCalendarItem entry);
    void start(std::vector<std::string> faults = {});

    // Writes an item file into the store, relative to its root.
    void putStoreFile(const std::filesystem::path& relative, const std::string& text);

    pim::PimJobContext context();
    pim::JobResult load(pim::PimKind kind);
    pim::JobResult transfer(pim::Direction direction, bool contacts, bool calendar);
    std::vector<pim::CContactItem> handsetContacts();
    std::vector<pim::CCalendarItem> handsetCalendar();

    std::filesystem::path home;
    std::filesystem::path storeRoot;
    std::unique_ptr<Simulator> sim;
    pim::PimLists lists;
    std::uint32_t flags = 0;
    std::atomic<bool> cancel{false};
    std::uint32_t optionWord = 0;
    std::string lastSync;

private:
    // The handset's entries of a kind as a fresh load reads them (the store left out).
    pim::PimLists readHandset(pim::PimKind kind);
    int phonebookCapacity_ = 500, calendarCapacity_ = 300;
};

std::string vcardText(const std::string& uid, const std::string& name, const std::string& mobile);
std::string vtodoText(const std::string& uid, const std::string& summary, const std::string& reminderUtc);

} // namespace orka::test
