// orkactl's gallery commands as a script runs them: the gallery as JSON, and the download,
// upload and delete jobs against the handset simulator.
#include "orka/testing/SimulatorProcess.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/ItemPictures.h"
#include "orka/picture/PictureFile.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

using namespace orka::test;
using orka::app::COrkaDoc;
using orka::app::GalleryItem;
namespace fs = std::filesystem;

namespace {

constexpr int kPort = 7;

class GalleryCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = Simulator::makeHome();
        sim = std::make_unique<Simulator>(home, Simulator::Options{kPort, "", {}});
    }
    void TearDown() override
    {
        sim.reset();
        std::error_code ec;
        fs::remove_all(home, ec);
    }
    orka::testing::ToolRun orkactl(const std::vector<std::string>& args)
    {
        std::string cmd = "unset ORKA_PORT; " + orka::testing::shellQuote(orka::testing::testBinary("orkactl").string());
        for (const auto& a : args)
            cmd += " " + orka::testing::shellQuote(a);
        return orka::testing::runShell(cmd);
    }
    std::vector<std::string> withPort(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", std::to_string(kPort)});
        return args;
    }
    // A gallery with one user folder made as the window makes it.
    void makeFolder(int category, int id, const std::string& name, const std::vector<GalleryItem>& items = {})
    {
        COrkaDoc doc(home / "gallery");
        doc.build();
        doc.addLocalFolder(category, id, name);
        doc.openFolder(id);
        for (const auto& item : items)
            doc.addItem(id, item);
        doc.close();
    }
    std::string stored(int type, int index) const
    {
        return orka::testing::readText(sim->storeDir() / ("store" + std::to_string(type)) /
                                       ("item" + std::to_string(index)) / "part0.bin");
    }

    fs::path home;
    std::unique_ptr<Simulator> sim;
};

} // namespace

TEST_F(GalleryCommands, RingTonesGoDownUpAndAreDeleted)
{
    makeFolder(70000, 70003, "tones");
    const auto smaf = patternBytes(600, 1), midi = std::vector<unsigned char>{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    orka::testing::writeBytes(home / "smaf.bin", smaf);
    orka::testing::writeBytes(home / "midi.bin", midi);
    ASSERT_EQ(orkactl(withPort({"put", "7", (home / "smaf.bin").string()})).code, 0);
    ASSERT_EQ(orkactl(withPort({"put", "7", (home / "midi.bin").string()})).code, 0);

    auto down = orkactl(withPort({"download", "7", "--into", "70003"}));
    ASSERT_EQ(down.code, 0) << down.err;
    EXPECT_EQ(down.out, "下載成功!\n");

    auto json = orkactl({"gallery", "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find(R"({"id":70003,"name":"tones","kind":3,"read_only":false,"items":[{"name":"1","size":"0.6 KB","type":"MMF","date":")"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find(R"({"name":"2","size":"0.0 KB","type":"MIDI")"), std::string::npos);

    auto up = orkactl(withPort({"upload", "70003", "1"}));
    ASSERT_EQ(up.code, 0) << up.err;
    EXPECT_EQ(up.out, "上傳成功!\n");
    EXPECT_EQ(stored(7, 3), std::string(midi.begin(), midi.end()));

    auto del = orkactl(withPort({"delete", "7", "1", "3"}));
    ASSERT_EQ(del.code, 0) << del.err;
    EXPECT_EQ(del.out, "刪除成功!\n");
    EXPECT_FALSE(fs::exists(sim->storeDir() / "store7" / "item3"));

    auto gone = orkactl(withPort({"delete", "7", "9"}));
    EXPECT_EQ(gone.code, 1);
    EXPECT_EQ(gone.err, "手機資料找不到.\n31031:500:29:0\n");
    EXPECT_EQ(gone.out, "");
}

TEST_F(GalleryCommands, CallerPhotoGoesUpAsSixteenBitPixels)
{
    orka::DibPicture face(45, 55, 3);
    for (std::uint32_t y = 0; y < 55; ++y)
        for (std::uint32_t x = 0; x < 45; ++x)
            face.row(y)[x * 3 + 1] = std::uint8_t(x + y);
    makeFolder(40000, 40003, "faces",
               {GalleryItem::make("face", orka::app::PictureContent{orka::app::bitmapFromPicture(face)})});
    auto up = orkactl(withPort({"upload", "40003", "0"}));
    ASSERT_EQ(up.code, 0) << up.err;
    const auto expected = orka::callerPhotoBytes(face);
    EXPECT_EQ(stored(4, 1), std::string(expected.begin(), expected.end()));
}

TEST_F(GalleryCommands, RefusalsAndFailuresSayWhatTheWindowWouldSay)
{
    makeFolder(20000, 20003, "walls");
    const fs::path file = home / "gallery" / "桌布_walls.orka";
    ASSERT_TRUE(fs::exists(file));
    fs::permissions(file, fs::perms::owner_read);
    auto readOnly = orkactl(withPort({"download", "2", "--into", "20003"}));
    EXPECT_EQ(readOnly.code, 1);
    EXPECT_EQ(readOnly.err, "這是一個唯讀的資料夾\n");
    EXPECT_NE(orkactl({"gallery", "--json"}).out.find(R"("name":"walls","kind":1,"read_only":true)"), std::string::npos);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_EQ(orkactl(withPort({"download", "4", "--into", "20003"})).code, 2) << "folder of another category";
    EXPECT_EQ(orkactl(withPort({"upload", "20003", "0"})).code, 2) << "no such item";

    auto closed = orkactl({"--port", "9", "delete", "2", "1"});
    EXPECT_EQ(closed.code, 1);
    EXPECT_EQ(closed.err, "開啟序列埠失敗!\n31031:100:10\n");

    auto empty = orkactl(withPort({"download", "2", "--into", "20003"}));
    EXPECT_EQ(empty.code, 0) << "an empty store: nothing done, nothing said";
    EXPECT_EQ(empty.out + empty.err, "");
}

TEST_F(GalleryCommands, SamplesComeWithTheGalleryReadOnly)
{
    auto json = orkactl({"gallery", "--json"});
    ASSERT_EQ(json.code, 0) << json.err;
    for (const char* samples : {R"({"id":20002,"name":"範例","kind":1,"read_only":true,"items":[{)",
                                R"({"id":40002,"name":"範例","kind":1,"read_only":true,"items":[{)",
                                R"({"id":50002,"name":"範例","kind":2,"read_only":true,"items":[{)",
                                R"({"id":70002,"name":"範例","kind":3,"read_only":true,"items":[{)"})
        EXPECT_NE(json.out.find(samples), std::string::npos) << samples;
    auto up = orkactl(withPort({"upload", "70002", "0", "1"}));
    ASSERT_EQ(up.code, 0) << up.err;
    EXPECT_EQ(up.out, "上傳成功!\n");
    auto into = orkactl(withPort({"download", "7", "--into", "70002"}));
    EXPECT_EQ(into.code, 1);
    EXPECT_EQ(into.err, "這是一個唯讀的資料夾\n");
}
