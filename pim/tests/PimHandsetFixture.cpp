#include "PimHandsetFixture.h"

#include "orka/pio.h"
#include "orka/platform/StatePaths.h"

#include <fstream>

namespace orka::test {
namespace fs = std::filesystem;

void PimHandsetTest::SetUp()
{
    home = Simulator::makeHome();
    storeRoot = home / "pim";
    ASSERT_EQ(PIOInitPhone(), 1);
}

void PimHandsetTest::TearDown()
{
    sim.reset();
    std::error_code ec;
    fs::remove_all(home, ec);
}

void PimHandsetTest::setCapacity(int phonebook, int calendar)
{
    phonebookCapacity_ = phonebook;
    calendarCapacity_ = calendar;
}

void PimHandsetTest::prepare(pim::CContactItem contact)
{
    const auto record = pim::encodeContact(contact);
    const fs::path dir = home / "store" / "store10" / ("item" + std::to_string(contact.key));
    fs::create_directories(dir);
    orka::platform::writeFileAtomically(dir / "part0.bin", record.data(), record.size());
}

void PimHandsetTest::prepare(pim::CCalendarItem entry)
{
    const auto record = pim::encodeCalendar(entry);
    ASSERT_TRUE(record);
    const fs::path dir = home / "store" / "store11" / ("item" + std::to_string(entry.key + 1));
    fs::create_directories(dir);
    orka::platform::writeFileAtomically(dir / "part0.bin", record->data(), record->size());
}

void PimHandsetTest::start(std::vector<std::string> faults)
{
    fs::create_directories(home / "store");
    std::ofstream(home / "store" / "stores.txt")
        << "2 30 0 4194304\n3 1 64 2097152\n4 30 0 2097152\n5 10 5 2097152\n7 40 0 4194304\n8 1 16 1048576\n"
        << "10 " << phonebookCapacity_ << " 0 262144\n11 " << calendarCapacity_ << " 0 131072\n";
    sim = std::make_unique<Simulator>(home, Simulator::Options{kCom, "", std::move(faults)});
}

void PimHandsetTest::putStoreFile(const fs::path& relative, const std::string& text)
{
    fs::create_directories((storeRoot / relative).parent_path());
    std::ofstream(storeRoot / relative, std::ios::binary) << text;
}

pim::PimJobContext PimHandsetTest::context()
{
    return {kCom, &flags, &cancel, {}, storeRoot, std::chrono::milliseconds(0)};
}

pim::JobResult PimHandsetTest::load(pim::PimKind kind) { return pim::loadPimLists(kind, lists, context()); }

pim::JobResult PimHandsetTest::transfer(pim::Direction direction, bool contacts, bool calendar)
{
    return pim::startTransfer({direction, contacts, calendar}, lists, context(), optionWord, lastSync);
}

pim::PimLists PimHandsetTest::readHandset(pim::PimKind kind)
{
    pim::PimLists fresh;
    std::uint32_t storeAlreadyRead = pim::loaded::kStore;
    pim::PimJobContext c = context();
    c.loadedFlags = &storeAlreadyRead;
    const auto r = pim::loadPimLists(kind, fresh, c);
    EXPECT_TRUE(r.succeeded()) << r.failureText;
    return fresh;
}

std::vector<pim::CContactItem> PimHandsetTest::handsetContacts() { return readHandset(pim::PimKind::Contacts).phonebook; }

std::vector<pim::CCalendarItem> PimHandsetTest::handsetCalendar() { return readHandset(pim::PimKind::Calendar).calendar; }

std::string vcardText(const std::string& uid, const std::string& name, const std::string& mobile)
{
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + name + "\r\nN:;" + name +
           ";;;\r\nTEL;TYPE=CELL:" + mobile + "\r\nEND:VCARD\r\n";
}

std::string vtodoText(const std::string& uid, const std::string& summary, const std::string& reminderUtc)
{
    std::string alarm;
    if (!reminderUtc.empty())
        alarm = "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER;VALUE=DATE-TIME:" + reminderUtc + "\r\nEND:VALARM\r\n";
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nBEGIN:VTODO\r\nUID:" + uid + "\r\nSUMMARY:" + summary +
           "\r\n" + alarm + "END:VTODO\r\nEND:VCALENDAR\r\n";
}

} // namespace orka::test
