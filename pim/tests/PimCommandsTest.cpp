// orkactl pim as a user runs it, and the store it writes as real address book and task list
// programs read it.
#include "PimHandsetFixture.h"

#include "orka/pim/AnsiText.h"
#include "orka/pim/PimError.h"
#include "orka/testing/ToolRunner.h"

#include <fstream>

using namespace orka::pim;
using namespace orka::test;
using orka::testing::shellQuote;
namespace fs = std::filesystem;

namespace {

bool onPath(const std::string& program)
{
    return orka::testing::runShell("command -v " + shellQuote(program) + " >/dev/null").code == 0;
}

class PimCommands : public PimHandsetTest {
protected:
    void SetUp() override
    {
        PimHandsetTest::SetUp();
        CContactItem anna;
        anna.key = 2;
        anna.name = "Anna";
        anna.phone1 = "+886912345678";
        anna.birthday = {1990, 5, 17, 0, 0, true};
        prepare(anna);
        CContactItem ming;
        ming.key = 5;
        ming.name = ansiFromUtf8("王小明");
        ming.phone1 = "0223456789";
        ming.email1 = "ming@example.com";
        prepare(ming);
        CCalendarItem dentist;
        dentist.key = 0;
        dentist.subject = ansiFromUtf8("看牙醫");
        dentist.when = {2027, 1, 10, 9, 30, true};
        prepare(dentist);
        CCalendarItem lunch = dentist;
        lunch.key = 3;
        lunch.subject = "Team lunch";
        prepare(lunch);
    }
    orka::testing::ToolRun orkactl(const std::vector<std::string>& args)
    {
        std::string cmd = "ORKA_HOME=" + shellQuote(home.string()) + " ORKA_PORT=" + std::to_string(kCom) + " " +
                          shellQuote(orka::testing::testBinary("orkactl").string());
        for (const auto& a : args)
            cmd += " " + shellQuote(a);
        return orka::testing::runShell(cmd);
    }
};
} // namespace

TEST_F(PimCommands, ListsTheHandsetAndTheStore)
{
    start();
    auto contacts = orkactl({"pim", "handset", "contacts", "--json"});
    ASSERT_EQ(contacts.code, 0) << contacts.err;
    EXPECT_NE(contacts.out.find(R"("key": 2, "name": "Anna", "phone1": "+886912345678")"), std::string::npos) << contacts.out;
    EXPECT_NE(contacts.out.find(R"("birthday": "1990-05-17")"), std::string::npos);
    EXPECT_NE(contacts.out.find(R"("name": "王小明")"), std::string::npos);
    EXPECT_EQ(contacts.err, ""); // no progress when stderr is no terminal
    auto calendar = orkactl({"pim", "handset", "calendar", "--json"});
    ASSERT_EQ(calendar.code, 0) << calendar.err;
    EXPECT_NE(calendar.out.find(R"("key": 4, "location": 3, "subject": "Team lunch")"), std::string::npos) << calendar.out;

    sim->stop(); // the store needs no handset
    putStoreFile("contacts/a.vcf", vcardText("uid-a", "Quote \"me\"", "0912"));
    auto store = orkactl({"pim", "store", "contacts", "--json"});
    ASSERT_EQ(store.code, 0) << store.err;
    EXPECT_NE(store.out.find(R"("name": "Quote \"me\"")"), std::string::npos) << store.out;
    EXPECT_NE(store.out.find(R"("entryId": "uid-a")"), std::string::npos);
    EXPECT_EQ(orkactl({"pim", "store", "calendar", "--json"}).out, "[]\n");

    auto noHandset = orkactl({"pim", "handset", "contacts", "--json"});
    EXPECT_EQ(noHandset.code, 1);
    EXPECT_EQ(noHandset.err.rfind(formatMessage(msg::kPortOpenFailed).substr(0, 20), 0), 0u) << noHandset.err;
}

TEST_F(PimCommands, RefusesMalformedCommandLines)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"pim", "handset", "contacts"},
             {"pim", "handset", "tasks", "--json"},
             {"pim", "download", "contacts", "--json"},
             {"pim", "upload", "contacts", "--keys", "1"},
             {"pim", "download", "contacts", "--keys", "x"},
             {"pim", "download", "contacts", "--keys"},
             {"pim", "sync", "contacts"},
             {"--port", "999", "pim", "store", "contacts", "--json"}}) {
        auto r = orkactl(args);
        EXPECT_EQ(r.code, 2) << args[1] << " " << args[2];
        EXPECT_NE(r.err.find("usage: orkactl"), std::string::npos);
    }
}

TEST_F(PimCommands, DownloadedItemsOpenInKhardAndTodoman)
{
    start();
    auto contacts = orkactl({"pim", "download", "contacts", "--keys", "5"});
    ASSERT_EQ(contacts.code, 0) << contacts.err;
    auto calendar = orkactl({"pim", "download", "calendar"});
    ASSERT_EQ(calendar.code, 0) << calendar.err;
    EXPECT_EQ(orkactl({"pim", "download", "contacts", "--keys", "7"}).code, 1);

    if (!onPath("khard"))
        GTEST_SKIP() << "khard is not installed (scripts/setup.sh installs it); the store was not checked";
    std::ofstream(home / "khard.conf") << "[addressbooks]\n[[orka]]\npath = " << (storeRoot / "contacts").string()
                                       << "\n[general]\ndefault_action = list\n[contact table]\n";
    auto khard = orka::testing::runShell("HOME=" + shellQuote(home.string()) + " khard -c " +
                                         shellQuote((home / "khard.conf").string()) + " list");
    ASSERT_EQ(khard.code, 0) << khard.err;
    EXPECT_NE(khard.out.find("王小明"), std::string::npos) << khard.out;
    EXPECT_NE(khard.out.find("0223456789"), std::string::npos) << khard.out;
    EXPECT_NE(khard.out.find("ming@example.com"), std::string::npos) << khard.out;
    EXPECT_EQ(khard.out.find("Anna"), std::string::npos) << khard.out;

    if (!onPath("todoman"))
        GTEST_SKIP() << "todoman is not installed (scripts/setup.sh installs it); the tasks were not checked";
    std::ofstream(home / "todoman.py") << "path = \"" << (storeRoot / "tasks").string() << "\"\n"
                                       << "date_format = \"%Y-%m-%d\"\ntime_format = \"%H:%M\"\n"
                                       << "cache_path = \"" << (home / "todoman.cache").string() << "\"\n";
    auto todo = orka::testing::runShell("HOME=" + shellQuote(home.string()) + " todoman --config " +
                                        shellQuote((home / "todoman.py").string()) + " --porcelain list");
    ASSERT_EQ(todo.code, 0) << todo.err;
    // JSON of todoman escapes every character beyond ASCII.
    EXPECT_NE(todo.out.find("\"summary\": \"\\u770b\\u7259\\u91ab\""), std::string::npos) << todo.out;
    EXPECT_NE(todo.out.find("\"summary\": \"Team lunch\""), std::string::npos) << todo.out;
}

TEST_F(PimCommands, UploadReportsWhatItCouldNotSend)
{
    setCapacity(5, 300); // keys 2 and 5 are taken: three free
    for (const char* uid : {"a", "c", "d"})
        putStoreFile(std::string("contacts/") + uid + ".vcf", vcardText(uid, std::string("Name ") + uid, "0911"));
    putStoreFile("contacts/b.vcf", vcardText("b", "Bo", "0922"));
    putStoreFile("tasks/t.ics", vtodoText("t", "Ready", "20270101T010000Z"));
    putStoreFile("tasks/u.ics", vtodoText("u", "Undated", ""));
    start();
    auto tooMany = orkactl({"pim", "upload", "contacts"});
    EXPECT_EQ(tooMany.code, 1);
    EXPECT_EQ(tooMany.err, formatMessage(msg::kTooManyContacts) + "\n");
    auto one = orkactl({"pim", "upload", "contacts", "--uids", "b"});
    EXPECT_EQ(one.code, 0) << one.err;
    auto missing = orkactl({"pim", "upload", "contacts", "--uids", "nope"});
    EXPECT_EQ(missing.code, 1);
    auto tasks = orkactl({"pim", "upload", "calendar"});
    EXPECT_EQ(tasks.code, 1);
    EXPECT_NE(tasks.err.find("Undated"), std::string::npos) << tasks.err;
    EXPECT_EQ(handsetCalendar().size(), 3u); // the prepared two and "Ready"
    const auto contacts = handsetContacts();
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts.front().name, "Bo");
    EXPECT_EQ(contacts.front().key, 1);
}
