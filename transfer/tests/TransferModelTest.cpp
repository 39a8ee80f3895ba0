// The transfer dialog's model without a handset: progress ranges and the timer rule, the
// cancel button, the texts, and the bytes each store type takes.
#include "orka/transfer/TransferItems.h"
#include "orka/transfer/TransferJob.h"

#include "orka/app/ItemPictures.h"
#include "orka/picture/JpegCodec.h"

#include <gtest/gtest.h>

using namespace orka::transfer;
using orka::app::GalleryItem;

namespace {

TransferEntry bytesEntry(std::size_t size, std::size_t parts = 1)
{
    TransferEntry e;
    for (std::size_t i = 0; i < parts; ++i)
        e.parts.emplace_back(size, std::uint8_t(i));
    return e;
}

GalleryItem picture(std::uint8_t w, std::uint8_t h)
{
    orka::DibPicture p(w, h, 3);
    for (std::uint32_t y = 0; y < p.height(); ++y)
        for (std::uint32_t x = 0; x < p.width(); ++x) {
            p.row(y)[x * 3] = std::uint8_t(x * 5);      // blue
            p.row(y)[x * 3 + 1] = std::uint8_t(y * 4);  // green
            p.row(y)[x * 3 + 2] = 0xF8;                 // red
        }
    return GalleryItem::make("p", orka::app::PictureContent{orka::app::bitmapFromPicture(p)});
}

} // namespace

TEST(TransferModel, ProgressRangeByJobAndType)
{
    struct Case { JobKind job; int type; std::vector<TransferEntry> items; int range; };
    const Case cases[] = {
        {JobKind::Upload, 2, {bytesEntry(10)}, 300},
        {JobKind::Upload, 4, {bytesEntry(4950)}, 300},
        {JobKind::Upload, 8, {bytesEntry(100), bytesEntry(9900)}, 600},
        {JobKind::Upload, 3, {bytesEntry(3100), bytesEntry(3099)}, 599},
        {JobKind::Upload, 7, {bytesEntry(4949)}, 299},
        {JobKind::Preview, 2, {bytesEntry(1)}, 300},
        {JobKind::Preview, 7, {bytesEntry(9900)}, 600},
        {JobKind::Download, 7, {}, 50},
        {JobKind::Download, 5, {}, 300},
        {JobKind::Delete, 4, {}, 50},
        {JobKind::Delete, 5, {}, 300},
    };
    for (const auto& c : cases) {
        CTransferDlg dlg(c.type, c.job);
        dlg.items = c.items;
        EXPECT_EQ(dlg.computeRange(), c.range) << "job " << int(c.job) << " type " << c.type;
    }
}

TEST(TransferModel, TimerCreepsToNinetyPercentOnlyWhileRunning)
{
    TransferProgress p;
    p.setRange(50);
    p.tick();
    EXPECT_EQ(p.position(), 0) << "timer not started";
    p.startTimer();
    for (int i = 0; i < 20; ++i)
        p.tick();
    EXPECT_EQ(p.position(), 45); // stops once at 90 %
    p.setCreepLimitPercent(95);
    p.tick();
    EXPECT_EQ(p.position(), 50);
    p.stopTimer();
    p.setPosition(0);
    p.tick();
    EXPECT_EQ(p.position(), 0);
    p.setCount(2, 3);
    EXPECT_EQ(p.countText(), "2 / 3");
}

TEST(TransferModel, TitleWordsAndTheCancelButton)
{
    EXPECT_EQ(CTransferDlg(7, JobKind::Download).titleText(), "下載");
    EXPECT_EQ(CTransferDlg(7, JobKind::Upload).titleText(), "上傳");
    EXPECT_EQ(CTransferDlg(7, JobKind::Preview).titleText(), "預覽");
    EXPECT_EQ(CTransferDlg(7, JobKind::Delete).titleText(), " 刪除");

    EXPECT_FALSE(CTransferDlg(2, JobKind::Preview).cancelEnabled());
    CTransferDlg one(2, JobKind::Upload);
    one.items = {bytesEntry(1)};
    EXPECT_FALSE(one.cancelEnabled());
    one.items.push_back(bytesEntry(1));
    EXPECT_TRUE(one.cancelEnabled());
    CTransferDlg midlet(8, JobKind::Upload);
    midlet.items = {bytesEntry(1), bytesEntry(2)};
    EXPECT_FALSE(midlet.cancelEnabled());

    CTransferDlg menu(3, JobKind::Upload);
    menu.progress.startTimer();
    EXPECT_TRUE(menu.pressCancel()) << "a main-menu upload asks first";
    EXPECT_FALSE(menu.progress.timerRunning());
    EXPECT_FALSE(menu.cancelRequested());
    menu.answerCancelQuestion(false);
    EXPECT_TRUE(menu.progress.timerRunning());
    EXPECT_FALSE(menu.cancelRequested());
    menu.pressCancel();
    menu.answerCancelQuestion(true);
    EXPECT_TRUE(menu.cancelRequested());

    CTransferDlg tones(7, JobKind::Download);
    tones.progress.startTimer();
    EXPECT_FALSE(tones.pressCancel());
    EXPECT_TRUE(tones.cancelRequested());
    EXPECT_FALSE(tones.progress.timerRunning());
}

TEST(TransferModel, ExceptionTextCarriesFourDiagnosticNumbers)
{
    EXPECT_STREQ(CLinkException(kStrNoResponse, kStageDownload, 30).what(), "無回應!\n31031:300:30:0");
    EXPECT_STREQ(CLinkException(kStrEngineText, kStageUpload, 21, "手機記憶體已滿.").what(),
                 "手機記憶體已滿.\n31031:200:21:0");
    const std::string longText(2000, 'x');
    EXPECT_LE(std::string(CLinkException(kStrEngineText, kStageUpload, 21, longText).what()).size(),
              CLinkException::kMaxText);
    EXPECT_EQ(successText(JobKind::Upload), "上傳成功!");
}

TEST(TransferItems, BytesEachStoreTypeTakesAndBack)
{
    const GalleryItem photo = picture(45, 55);
    const TransferEntry raw = uploadEntry(photo, 4);
    ASSERT_EQ(raw.parts.size(), 1u);
    ASSERT_EQ(raw.parts[0].size(), 45u * 55 * 2);
    // First pixel: red F8, green 0, blue 0 -> F800, low byte first.
    EXPECT_EQ(raw.parts[0][0], 0x00);
    EXPECT_EQ(raw.parts[0][1], 0xF8);
    const GalleryItem back = itemFromDownload(raw, 4, 9, "9");
    EXPECT_EQ(back.handsetNumber, 9);
    EXPECT_EQ(uploadEntry(back, 4).parts, raw.parts) << "16-bit pixels survive the way back";

    const TransferEntry jpeg = uploadEntry(picture(128, 124), 2);
    ASSERT_GE(jpeg.parts[0].size(), 2u);
    EXPECT_EQ(jpeg.parts[0][0], 0xFF);
    EXPECT_EQ(jpeg.parts[0][1], 0xD8);
    const GalleryItem wallpaper = itemFromDownload(jpeg, 2, 1, "1");
    const auto& bitmap = std::get<orka::app::PictureContent>(wallpaper.content).bitmap;
    EXPECT_EQ(bitmap.width, 128);
    EXPECT_EQ(bitmap.height, 124);

    orka::app::AnimationContent anim;
    for (int i = 0; i < 5; ++i)
        anim.frames.push_back({3, std::get<orka::app::PictureContent>(picture(16, 20).content).bitmap});
    EXPECT_EQ(uploadEntry(GalleryItem::make("a", anim), 5).parts.size(), 5u);

    const GalleryItem midi = GalleryItem::make("m", orka::app::MelodyContent{0, {'M', 'T', 'h', 'd', 0}});
    const TransferEntry tune = uploadEntry(midi, 7);
    EXPECT_EQ(tune.parts[0], std::get<orka::app::MelodyContent>(midi.content).data);
    const GalleryItem midiBack = itemFromDownload(tune, 7, 1, "1");
    const GalleryItem smafBack = itemFromDownload(bytesEntry(8), 7, 1, "1");
    EXPECT_FALSE(std::get<orka::app::MelodyContent>(midiBack.content).isSmaf());
    EXPECT_TRUE(std::get<orka::app::MelodyContent>(smafBack.content).isSmaf());

    EXPECT_ANY_THROW(uploadEntry(midi, 2)) << "a tune is no picture";
    EXPECT_ANY_THROW(itemFromDownload(bytesEntry(100), 4, 1, "1")) << "not a caller photo's size";
    EXPECT_ANY_THROW(itemFromDownload(bytesEntry(100), 2, 1, "1")) << "not a JPEG";
}
