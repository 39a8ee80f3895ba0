// Loading and transferring phonebook and calendar entries between the simulated handset and
// a temporary contacts store.
#include "PimHandsetFixture.h"

#include "orka/pim/AnsiText.h"
#include "orka/pim/PimError.h"
#include "orka/platform/OutlookApplication.h"

#include <fstream>
#include <regex>

using namespace orka::pim;
using namespace orka::test;
namespace fs = std::filesystem;
using orka::platform::OutlookApplication;

namespace {

CContactItem fullContact(std::uint16_t key)
{
    CContactItem c;
    c.key = key;
    c.name = ansiFromUtf8("陳美玲");
    c.phone1 = "+886912345678";
    c.phone2 = "0223456789";
    c.phone3 = "0227001234*5";
    c.phone4 = "0800#123";
    c.fax = "0227654321";
    c.company = "Tessel";
    c.title = ansiFromUtf8("經理");
    c.address = ansiFromUtf8("台北市信義路五段7號");
    c.email1 = "ml@example.com";
    c.birthday = {1985, 11, 2, 0, 0, true};
    c.remark = "VIP";
    return c;
}

CCalendarItem entry(std::uint16_t location, const char* subject, PimDateTime when, std::uint8_t flag = 1)
{
    CCalendarItem e;
    e.key = location;
    e.subject = ansiFromUtf8(subject);
    e.content = ansiFromUtf8("內容");
    e.when = when;
    e.flag = flag;
    return e;
}

std::vector<std::string> names(const std::vector<CContactItem>& contacts)
{
    std::vector<std::string> out;
    for (const auto& c : contacts)
        out.push_back(utf8FromAnsi(c.name));
    return out;
}

class PimTransfer : public PimHandsetTest {
protected:
    void SetUp() override
    {
        ::setenv("TZ", "UTC", 1);
        PimHandsetTest::SetUp();
    }
};
} // namespace

TEST_F(PimTransfer, RoundTripKeepsEveryFieldTheHandsetCarries)
{
    prepare(fullContact(3));
    CContactItem emptyName;
    emptyName.key = 9;
    emptyName.phone1 = "112";
    prepare(emptyName);
    prepare(entry(0, "Dentist", {2027, 1, 10, 9, 30, true}, 2));
    prepare(entry(1, "Lunchtime meeting with team", {2030, 12, 31, 24, 0, true}, 0));
    start();
    ASSERT_TRUE(load(PimKind::Contacts).succeeded());
    ASSERT_TRUE(load(PimKind::Calendar).succeeded());
    const auto phonebook = lists.phonebook;
    const auto calendar = lists.calendar;
    ASSERT_EQ(phonebook.size(), 2u);
    ASSERT_EQ(calendar.size(), 2u);
    lists.tickAll(list::kPhonebook, true);
    lists.tickAll(list::kCalendar, true);
    auto down = transfer(Direction::Download, true, true);
    ASSERT_TRUE(down.succeeded()) << down.failureText;
    EXPECT_EQ(down.entriesSent, 4);
    EXPECT_EQ(lists.tickedCount(list::kPhonebook), 0);

    // The contact without a name is an item without a name in the store.
    const auto stored = OutlookApplication(storeRoot).getDefaultFolder(OutlookApplication::kContactsFolder).items();
    int unnamed = 0;
    for (std::size_t i = 1; i <= stored.count(); ++i)
        if (stored.item(i).text("MobileTelephoneNumber") == "112") {
            ++unnamed;
            EXPECT_EQ(stored.item(i).text("FullName"), "");
            EXPECT_EQ(stored.item(i).text("FileAs"), "");
        }
    EXPECT_EQ(unnamed, 1);

    // Back to an emptied handset.
    sim.reset();
    fs::remove_all(home / "store" / "store10");
    fs::remove_all(home / "store" / "store11");
    start();
    flags = 0;
    ASSERT_TRUE(load(PimKind::Contacts).succeeded());
    ASSERT_TRUE(load(PimKind::Calendar).succeeded());
    ASSERT_EQ(lists.storeContacts.size(), 2u);
    lists.tickAll(list::kStoreContacts, true);
    lists.tickAll(list::kStoreTasks, true);
    auto up = transfer(Direction::Upload, true, true);
    ASSERT_TRUE(up.succeeded()) << up.failureText;
    EXPECT_TRUE(up.problems.empty());

    auto back = handsetContacts();
    ASSERT_EQ(back.size(), 2u);
    for (const auto& original : phonebook) {
        auto same = std::find_if(back.begin(), back.end(), [&](auto& b) { return b.phone1 == original.phone1; });
        ASSERT_NE(same, back.end());
        for (int f = 0; f < kContactFieldCount; ++f) {
            const auto field = static_cast<ContactField>(f);
            EXPECT_EQ(same->text(field), original.text(field)) << contactFieldTitle(field);
        }
        EXPECT_EQ(same->birthday, original.birthday);
    }
    auto backCalendar = handsetCalendar();
    ASSERT_EQ(backCalendar.size(), 2u);
    for (const auto& original : calendar) {
        auto same = std::find_if(backCalendar.begin(), backCalendar.end(), [&](auto& b) { return b.flag == original.flag; });
        ASSERT_NE(same, backCalendar.end());
        EXPECT_EQ(same->subject, original.subject.substr(0, 15));
        EXPECT_EQ(same->content, original.content);
        // 24:00 comes back as midnight of the next day: the same moment.
        EXPECT_DOUBLE_EQ(orka::platform::toOleDate({same->when.year, same->when.month, same->when.day, same->when.hour, same->when.minute}),
                         orka::platform::toOleDate({original.when.year, original.when.month, original.when.day, original.when.hour, original.when.minute}));
    }
}

TEST_F(PimTransfer, StartAndSelectionRefusals)
{
    setCapacity(10, 4);
    for (std::uint16_t key = 1; key <= 7; ++key) {
        CContactItem c;
        c.key = key;
        c.name = "Full " + std::to_string(key);
        c.phone1 = "09" + std::to_string(key);
        prepare(c);
    }
    for (int i = 0; i < 5; ++i)
        putStoreFile("contacts/c" + std::to_string(i) + ".vcf", vcardText("c" + std::to_string(i), "N" + std::to_string(i), "0912"));
    start();

    // Nothing loaded: the upload of contacts does not start and nothing reaches the handset.
    auto refused = transfer(Direction::Upload, true, false);
    EXPECT_EQ(refused.messageId, msg::kLoadStoreContactsFirst);
    EXPECT_TRUE(lastSync.empty());
    EXPECT_EQ(sim->countReceived("AT^QXBNW"), 0);
    EXPECT_EQ(transfer(Direction::Download, true, false).messageId, msg::kLoadPhonebookFirst);
    EXPECT_EQ(transfer(Direction::Download, false, true).messageId, msg::kLoadCalendarFirst);
    EXPECT_EQ(transfer(Direction::Upload, false, true).messageId, msg::kLoadStoreTasksFirst);
    EXPECT_EQ((transferChoiceOf(optionWord).direction), Direction::Upload);

    ASSERT_TRUE(load(PimKind::Contacts).succeeded());
    EXPECT_EQ(lists.phonebookRoom.freeEntries, 3);
    EXPECT_EQ(lists.phonebookRoom.capacity, 10);
    // Loaded, but nothing ticked, is refused the same way.
    EXPECT_EQ(transfer(Direction::Upload, true, false).messageId, msg::kLoadStoreContactsFirst);

    lists.tickAll(list::kStoreContacts, true);
    EXPECT_EQ(checkSelection(PimKind::Contacts, Direction::Upload, lists), msg::kTooManyContacts);
    EXPECT_EQ(checkSelection(PimKind::Contacts, Direction::Download, lists), std::nullopt);
    lists.storeContacts[0].setTicked(false);
    lists.storeContacts[1].setTicked(false);
    EXPECT_EQ(checkSelection(PimKind::Contacts, Direction::Upload, lists), std::nullopt);
    lists.calendarRoom.freeEntries = 0;
    lists.storeTasks.resize(1);
    lists.storeTasks[0].setTicked(true);
    EXPECT_EQ(checkSelection(PimKind::Calendar, Direction::Upload, lists), msg::kTooManyTasks);
}

TEST_F(PimTransfer, UploadGoesOnPastEntriesTheHandsetCannotTake)
{
    setCapacity(500, 3);
    putStoreFile("tasks/a.ics", vtodoText("a", "no reminder", ""));
    putStoreFile("tasks/b.ics", vtodoText("b", "in 2100", "21000101T090000Z"));
    putStoreFile("tasks/c.ics", vtodoText("c", "valid one", "20270101T090000Z"));
    putStoreFile("tasks/d.ics", vtodoText("d", "valid two", "20270102T090000Z"));
    putStoreFile("contacts/x.vcf", vcardText("x", "Nobody", ""));
    putStoreFile("contacts/y.vcf", vcardText("y", "Bad number", "0912-345"));
    putStoreFile("contacts/z.vcf", vcardText("z", "Zed", "0912345"));
    start();
    ASSERT_TRUE(load(PimKind::Calendar).succeeded());
    ASSERT_TRUE(load(PimKind::Contacts).succeeded());
    lists.tickAll(list::kStoreTasks, true);
    lists.tickAll(list::kStoreContacts, true);
    auto r = transfer(Direction::Upload, true, true);
    ASSERT_TRUE(r.succeeded()) << r.failureText;
    // Contacts: no number, a number the handset cannot dial; tasks: no reminder, a year past 2099.
    ASSERT_EQ(r.problems.size(), 4u);
    EXPECT_EQ(r.problems[0].reason, EntryProblem::Reason::CannotEncode);
    // In list order, sorted by name: "Bad number" before "Nobody".
    EXPECT_NE(r.problems[0].text.find("(Phone Number1)"), std::string::npos);
    EXPECT_NE(r.problems[0].text.find("0912-345"), std::string::npos);
    EXPECT_NE(r.problems[1].text.find(formatMessage(msg::kNoPhoneNumber)), std::string::npos);
    EXPECT_EQ(r.problems[2].reason, EntryProblem::Reason::Refused);
    EXPECT_EQ(r.problems[3].entry, "in 2100");
    EXPECT_EQ(r.entriesSent, 3);
    auto calendar = handsetCalendar();
    ASSERT_EQ(calendar.size(), 2u);
    // Entries passed over did not use up free entries: both valid ones found room.
    EXPECT_EQ(utf8FromAnsi(calendar[0].subject) + "," + utf8FromAnsi(calendar[1].subject), "valid one,valid two");
    EXPECT_EQ(lists.tickedCount(list::kStoreTasks), 0);

    // A handset that refuses the write: reported for the entry, and the transfer still ends.
    sim->setFaults({"full:QXBNW"});
    lists.storeContacts.back().setTicked(true);
    auto full = transfer(Direction::Upload, true, false);
    ASSERT_TRUE(full.succeeded()) << full.failureText;
    ASSERT_EQ(full.problems.size(), 1u);
    EXPECT_EQ(full.problems[0].reason, EntryProblem::Reason::WriteFailed);
    EXPECT_EQ(full.entriesSent, 0);
    sim->setFaults({});
    EXPECT_EQ(handsetContacts().size(), 1u);
}

TEST_F(PimTransfer, StoreListsFolderFirstThenSubfoldersEachSorted)
{
    putStoreFile("contacts/1.vcf", vcardText("1", "Mona", "01"));
    putStoreFile("contacts/2.vcf", vcardText("2", "Abel", "02"));
    putStoreFile("contacts/Clients/3.vcf", vcardText("3", "Aaron", "03"));
    putStoreFile("contacts/Clients/4.vcf", vcardText("4", "Zack", "04"));
    putStoreFile("contacts/Archive/5.vcf", vcardText("5", "Yves", "05"));
    putStoreFile("tasks/t.ics", vtodoText("t", "task", ""));
    const auto r = readStoreLists(lists, context());
    ASSERT_TRUE(r.succeeded()) << r.failureText;
    EXPECT_EQ(names(lists.storeContacts), (std::vector<std::string>{"Abel", "Mona", "Yves", "Aaron", "Zack"}));
    EXPECT_EQ(lists.storeTasks.size(), 1u);
    EXPECT_TRUE(flags & loaded::kStore);
}

TEST_F(PimTransfer, LoadingReportsStagesAndSkipsWhatIsLoaded)
{
    for (std::uint16_t key = 1; key <= 12; ++key) {
        CContactItem c;
        c.key = key;
        c.phone1 = std::to_string(1000 + key);
        prepare(c);
    }
    putStoreFile("contacts/a.vcf", vcardText("a", "A", "1"));
    start();
    std::vector<PimProgress> seen;
    const auto r = runPimJob([&](const ProgressSink& sink) {
        auto c = context();
        c.progress = sink;
        return loadPimLists(PimKind::Contacts, lists, c);
    }, [&](const PimProgress& p) { seen.push_back(p); });
    ASSERT_TRUE(r.succeeded()) << r.failureText;
    const std::vector<PimProgress> expected = {
        {stage::kOpenPort, 0, 100},       {stage::kReadPhonebook, 5, 100}, {stage::kReadPhonebook, 5, 12},
        {stage::kReadPhonebook, 10, 12}, {stage::kReadPhonebook, 100, 100}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(lists.phonebook.size(), 12u);
    EXPECT_EQ(lists.phonebook[11].key, 12);
    EXPECT_EQ(flags, loaded::kStore | loaded::kPhonebook);
    EXPECT_EQ(stageText(stage::kReadPhonebook), "下載手機電話簿資料");

    sim->clearLog();
    ASSERT_TRUE(load(PimKind::Contacts).succeeded());
    EXPECT_EQ(sim->countReceived("AT^QXDIR"), 0);
    ASSERT_TRUE(load(PimKind::Calendar).succeeded());
    EXPECT_EQ(sim->countReceived("AT^QXDIR=10"), 0);
    EXPECT_EQ(sim->countReceived("AT^QXDIR=11,2"), 1);
}

TEST_F(PimTransfer, FailuresCarryTheirMessages)
{
    prepare(fullContact(1));
    start({"cme=22:QXBNR"});
    auto r = load(PimKind::Contacts);
    EXPECT_EQ(r.messageId, msg::kHandsetReadFailed);
    EXPECT_EQ(r.failureText.rfind("無法從手機讀取PIM資料: ", 0), 0u) << r.failureText;
    EXPECT_NE(r.failureText.find("\n72:1:2"), std::string::npos) << r.failureText;
    EXPECT_FALSE(flags & loaded::kPhonebook);

    sim->setFaults({"cme=3:QXDIR"});
    flags = loaded::kStore | loaded::kPhonebook;
    lists.phonebook = {fullContact(1)};
    lists.storeContacts = {fullContact(0)};
    lists.storeContacts[0].setTicked(true);
    auto upload = transfer(Direction::Upload, true, false);
    EXPECT_EQ(upload.messageId, msg::kNoFreePhonebook);

    sim->setFaults({});
    PimJobContext wrongPort = context();
    wrongPort.port = 77;
    auto noPort = loadPimLists(PimKind::Contacts, lists, wrongPort);
    EXPECT_EQ(noPort.messageId, msg::kPortOpenFailed);
    EXPECT_EQ(noPort.failureText.rfind("無法開啟通訊埠和手機連線: \n ", 0), 0u) << noPort.failureText;
}

TEST_F(PimTransfer, LastSynchronisationIsWrittenAfterFailureAndCancel)
{
    prepare(fullContact(1));
    start();
    ASSERT_TRUE(load(PimKind::Contacts).succeeded());
    lists.tickAll(list::kPhonebook, true);
    // The contacts folder cannot be made: a file stands in its place.
    fs::remove_all(storeRoot / "contacts");
    std::ofstream(storeRoot / "contacts") << "in the way";
    auto failed = transfer(Direction::Download, true, false);
    EXPECT_EQ(failed.messageId, msg::kStoreUnavailable);
    EXPECT_TRUE(std::regex_match(lastSync, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d)"))) << lastSync;
    EXPECT_EQ(lists.tickedCount(list::kPhonebook), 1);

    lastSync.clear();
    fs::remove(storeRoot / "contacts");
    cancel = true;
    auto cancelled = transfer(Direction::Download, true, false);
    EXPECT_EQ(cancelled.end, JobResult::End::Cancelled);
    EXPECT_FALSE(lastSync.empty());
    EXPECT_EQ(cancelled.entriesSent, 0);
}

TEST(PimSettings, OptionWordAndLastSyncText)
{
    std::uint32_t word = 0xFFFFFFFFu;
    storeTransferChoice(word, {Direction::Download, true, false});
    EXPECT_EQ(word & 0x38u, 0u);
    EXPECT_TRUE(word & (1u << 21));
    EXPECT_FALSE(word & (1u << 22));
    EXPECT_EQ(word | 0x38u | (1u << 22), 0xFFFFFFFFu);
    storeTransferChoice(word, {Direction::Upload, false, true});
    EXPECT_EQ(word & 0x38u, 0x08u);
    const auto choice = transferChoiceOf(word);
    EXPECT_EQ(choice.direction, Direction::Upload);
    EXPECT_FALSE(choice.contacts);
    EXPECT_TRUE(choice.calendar);

    std::tm t{};
    t.tm_year = 99;
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 5;
    EXPECT_EQ(lastSyncText(t), "12/31/99 23:05");
    t.tm_year = 126;
    t.tm_mon = 0;
    t.tm_mday = 2;
    EXPECT_EQ(lastSyncText(t), "01/02/26 23:05");
}
