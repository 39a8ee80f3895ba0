// Runs the orkapic program as a user would and checks its output against the library.
#include "TestPictures.h"
#include "orka/picture/Animation.h"
#include "orka/picture/GifCodec.h"
#include "orka/picture/PictureAdjustments.h"
#include "orka/picture/PictureFile.h"

#include <gtest/gtest.h>

using namespace orka;

namespace {

using orka::testing::ToolRun;

class Orkapic : public ::testing::Test {
protected:
    test::TempDir home;

    ToolRun run(const std::string& arguments)
    {
        return orka::testing::runShell(orka::testing::shellQuote(orka::testing::testBinary("orkapic").string()) + " " + arguments);
    }
    std::string sample(const std::string& name) { return test::sampleFile(name).string(); }
    std::string temp(const std::string& name) { return (home.path() / name).string(); }
};

} // namespace

TEST_F(Orkapic, InfoReportsSizeFramesAndDelays)
{
    ToolRun r = run("info " + sample("anim6.gif") + " --json");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "{\"width\": 8, \"height\": 6, \"frames\": 6, \"delays\": [10, 10, 10, 10, 10, 50]}\n");
    r = run("info " + sample("quad.jpg") + " --json");
    EXPECT_EQ(r.out, "{\"width\": 16, \"height\": 16, \"frames\": 1, \"delays\": [0]}\n");
    r = run("info " + sample("pattern_os2.bmp") + " --json");
    EXPECT_EQ(r.out, "{\"width\": 7, \"height\": 5, \"frames\": 1, \"delays\": [0]}\n");
}

TEST_F(Orkapic, FramesByEachRule)
{
    EXPECT_EQ(run("frames " + sample("anim6.gif") + " --rule first --json").out, "[0, 1, 2, 3, 4]\n");
    EXPECT_EQ(run("frames " + sample("anim6.gif") + " --rule count --json").out, "[0, 1, 2, 3, 4]\n");
    EXPECT_EQ(run("frames " + sample("anim6.gif") + " --rule time --json").out, "[1, 2, 3, 4, 5]\n");
    ToolRun r = run("frames " + sample("pattern.gif") + " --rule time --json");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "非有效動畫檔案，畫格數少於5。\n");
}

TEST_F(Orkapic, ConvertAppliesTheEditorsOrder)
{
    ToolRun r = run("convert " + sample("pattern_24.bmp") + " " + temp("out.bmp") +
                " --rotate right --flip h --rgb 10,-20,30 --hsl 40,-30,20 --contrast 25,-10");
    ASSERT_EQ(r.code, 0) << r.err;
    DibPicture expected = test::makePattern();
    PictureAdjustments a;
    rotateRight(expected, a);
    flipHorizontal(expected);
    a.redOffset = 10;
    a.greenOffset = -20;
    a.blueOffset = 30;
    a.setHslPositions(40, -30, 20);
    a.setContrastPositions(25, -10);
    EXPECT_TRUE(test::samePixels(loadPicture(temp("out.bmp")), applyAdjustments(expected, a)));

    ASSERT_EQ(run("convert " + sample("pattern_rle8.bmp") + " " + temp("p.GIF")).code, 0);
    EXPECT_TRUE(test::samePixels(loadPicture(temp("p.GIF")), test::makePattern()));
}

TEST_F(Orkapic, ConvertQualityAbove100IsTheDefault)
{
    ASSERT_EQ(run("convert " + sample("quad.jpg") + " " + temp("a.jpg") + " --quality 120").code, 0);
    ASSERT_EQ(run("convert " + sample("quad.jpg") + " " + temp("b.jpg")).code, 0);
    ASSERT_EQ(run("convert " + sample("quad.jpg") + " " + temp("c.jpg") + " --quality 10").code, 0);
    EXPECT_EQ(readPictureFile(temp("a.jpg")), readPictureFile(temp("b.jpg")));
    EXPECT_NE(readPictureFile(temp("c.jpg")), readPictureFile(temp("b.jpg")));
}

TEST_F(Orkapic, UploadBytesByStoreType)
{
    ASSERT_EQ(run("upload " + sample("pattern_24.bmp") + " --type 4 -o " + temp("photo.bin")).code, 0);
    EXPECT_EQ(readPictureFile(temp("photo.bin")), callerPhotoBytes(test::makePattern()));
    ASSERT_EQ(run("upload " + sample("pattern_24.bmp") + " --type 2 -o " + temp("wall.bin")).code, 0);
    EXPECT_EQ(readPictureFile(temp("wall.bin")), encodeJpegForUpload(test::makePattern()));
}

TEST_F(Orkapic, UsageAndCodecErrors)
{
    EXPECT_EQ(run("").code, 2);
    EXPECT_EQ(run("frobnicate x").code, 2);
    EXPECT_EQ(run("convert " + sample("quad.jpg") + " " + temp("x.bmp") + " --hsl 0,0,300").code, 2);
    EXPECT_EQ(run("convert " + sample("quad.jpg") + " " + temp("x.bmp") + " --rgb 1,2").code, 2);
    EXPECT_EQ(run("convert " + sample("quad.jpg") + " " + temp("x.bmp") + " --rotate up").code, 2);
    EXPECT_EQ(run("frames " + sample("anim6.gif") + " --rule sometimes --json").code, 2);
    EXPECT_EQ(run("upload " + sample("quad.jpg") + " --type 7 -o " + temp("x")).code, 2);
    writePictureFile(temp("junk.gif"), std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', ' ', 'G', 'I', 'F', '!', '!', '!', '!', '!'});
    ToolRun r = run("info " + temp("junk.gif") + " --json");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "檔案格式不正確.\n");
    r = run("convert " + sample("CodecTest.cpp") + " " + temp("x.bmp"));
    EXPECT_EQ(r.code, 1);
    r = run("info " + temp("missing.gif") + " --json");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "開啟檔案\"" + temp("missing.gif") + "\"失敗\n");
}
