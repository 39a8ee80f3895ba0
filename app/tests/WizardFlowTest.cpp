// The wizard's rules: titles, which files each media kind takes, where "下一步" leads and how
// leaving ends.
#include "orka/app/WizardFlow.h"

#include "orka/Failure.h"
#include "orka/testing/ToolRunner.h"

#include <gtest/gtest.h>

using namespace orka::app;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> tuneOfSize(const char (&mark)[5], std::size_t size)
{
    std::vector<std::uint8_t> bytes(size, 0);
    std::copy(mark, mark + 4, bytes.begin());
    return bytes;
}

// The Failure acceptImport raises for these files, or 0 when it takes them.
unsigned refusalOf(int category, std::vector<fs::path> files, std::string* text = nullptr)
{
    try {
        acceptImport(category, files);
        return 0;
    } catch (const orka::Failure& failure) {
        if (text)
            *text = failure.what();
        return failure.messageId();
    }
}

} // namespace

TEST(WizardFlow, PagesAreMadeInOrderAndTitlesTakeTheirSuffix)
{
    ASSERT_EQ(kWizardPages.size(), 7u);
    EXPECT_EQ(wizardPageIndex(WizardPage::ChooseMedia), 0u);
    EXPECT_EQ(wizardPageIndex(WizardPage::RingToneEditing), 6u);
    EXPECT_EQ(wizardTitleId(WizardPage::UploadOrSave), 32939u);
    EXPECT_EQ(wizardTitleId(WizardPage::EditPicture), 65002u);
    EXPECT_EQ(wizardWindowTitle("精靈 - 選取檔案", "鈴聲"), "精靈 - 選取檔案 - 鈴聲");
    EXPECT_EQ(wizardWindowTitle("精靈 - 選擇多媒體資料", ""), "精靈 - 選擇多媒體資料");
}

TEST(WizardFlow, FiltersOfferExactlyWhatIsTaken)
{
    EXPECT_EQ(wizardImportFilter(70000),
              "所有格式(*.mid;*.midi;*.mmf)|*.mid;*.midi;*.mmf|Midi(*.mid;*.midi)|*.mid;*.midi|MMF(*.mmf)|*.mmf|");
    EXPECT_EQ(wizardImportFilter(50000), "GIF Files (*.gif)|*.gif|");
    EXPECT_EQ(wizardImportFilter(30000), wizardImportFilter(20000) + "PAK(*.pak)|*.pak|");
    EXPECT_EQ(wizardImportFilter(0), "");
    EXPECT_EQ(wizardImportFilter(60000), "");
    // Every pattern of every choice is a "*.ext" pattern: a slip such as "*,jpe" would show
    // no file under the JPEG choice.
    for (const int category : kWizardCategories) {
        const std::string filter = wizardImportFilter(category);
        EXPECT_EQ(filter.find("*,"), std::string::npos) << category;
        const auto taken = acceptedExtensions(category);
        EXPECT_FALSE(taken.empty());
        for (const auto& ext : taken)
            EXPECT_TRUE(isAcceptedFile(category, "a." + ext));
    }
    EXPECT_EQ(acceptedExtensions(20000), (std::vector<std::string>{"bmp", "jpg", "jpeg", "jpe"}));
    EXPECT_TRUE(isAcceptedFile(40000, "Photo.JPE"));
    EXPECT_TRUE(isAcceptedFile(30000, "menu.PAK"));
    EXPECT_FALSE(isAcceptedFile(20000, "menu.pak"));
    EXPECT_FALSE(isAcceptedFile(70000, "tune.wav"));
    EXPECT_FALSE(isAcceptedFile(70000, "mid"));
    EXPECT_FALSE(isAcceptedFile(50000, "anim.gif.txt"));
}

TEST(WizardFlow, ImportTakesOneFileOfAnAcceptedKindAndRingTonesUpTo9216Bytes)
{
    orka::testing::ScratchDir dir;
    const fs::path atLimit = dir.path() / "limit.mid";
    const fs::path overLimit = dir.path() / "big.MID";
    const fs::path smaf = dir.path() / "tone.mmf";
    const fs::path fake = dir.path() / "fake.mid";
    orka::testing::writeBytes(atLimit, tuneOfSize("MThd", 9216));
    orka::testing::writeBytes(overLimit, tuneOfSize("MThd", 9217));
    orka::testing::writeBytes(smaf, tuneOfSize("MMMD", 40));
    orka::testing::writeBytes(fake, tuneOfSize("RIFF", 40));

    const auto taken = acceptImport(70000, std::vector<fs::path>{atLimit});
    EXPECT_EQ(taken.kind, SourceKind::Midi);
    EXPECT_EQ(taken.tune.size(), 9216u);
    EXPECT_EQ(acceptImport(70000, std::vector<fs::path>{smaf}).kind, SourceKind::Smaf);

    std::string text;
    EXPECT_EQ(refusalOf(70000, {overLimit}, &text), WizardText::kMelodyTooLarge);
    EXPECT_NE(text.find("\"big.MID\""), std::string::npos) << text; // the name, not the path
    EXPECT_EQ(text.find(dir.path().string()), std::string::npos);

    // Several files are refused before anything else is looked at.
    EXPECT_EQ(refusalOf(70000, {atLimit, overLimit}), WizardText::kSingleFileOnly);
    EXPECT_EQ(refusalOf(70000, {}), WizardText::kSingleFileOnly);
    EXPECT_EQ(refusalOf(20000, {dir.path() / "a.txt"}), WizardText::kBadFormat);
    EXPECT_EQ(refusalOf(70000, {fake}), WizardText::kBadFormat);     // a .mid that is no tune
    EXPECT_EQ(refusalOf(70000, {dir.path() / "gone.mid"}), 61107u);  // cannot be opened

    EXPECT_EQ(acceptImport(30000, std::vector<fs::path>{"x/menu.pak"}).kind, SourceKind::MenuPackage);
    EXPECT_EQ(acceptImport(30000, std::vector<fs::path>{"x/a.jpeg"}).kind, SourceKind::Picture);
    EXPECT_EQ(acceptImport(50000, std::vector<fs::path>{"x/a.gif"}).kind, SourceKind::Animation);
}

TEST(WizardFlow, NextStepByCategoryAndTune)
{
    const auto step = [](int category, SourceKind kind) { return nextStepAfterChoosing(category, kind); };
    EXPECT_EQ(step(20000, SourceKind::Picture)->page, WizardPage::CapturePicture);
    EXPECT_EQ(step(20000, SourceKind::Picture)->suffixId, 65045u);
    EXPECT_EQ(step(30000, SourceKind::Picture)->suffixId, 65046u);
    EXPECT_EQ(step(30000, SourceKind::MenuPackage)->page, WizardPage::UploadOrSave);
    EXPECT_EQ(step(40000, SourceKind::Picture)->suffixId, 65047u);
    EXPECT_EQ(step(50000, SourceKind::Animation)->page, WizardPage::CaptureAnimation);
    EXPECT_EQ(step(50000, SourceKind::Animation)->suffixId, 65048u);
    EXPECT_EQ(step(70000, SourceKind::Midi)->page, WizardPage::RingToneEditing);
    // A SMAF tune skips the editor.
    EXPECT_EQ(step(70000, SourceKind::Smaf)->page, WizardPage::UploadOrSave);
    EXPECT_EQ(step(70000, SourceKind::Smaf)->suffixId, 65050u);
    EXPECT_FALSE(step(0, SourceKind::Picture));
    EXPECT_FALSE(step(20001, SourceKind::Picture));
}

TEST(WizardFlow, LeavingAsksUntilSavedAndEndsByTheMode)
{
    EXPECT_EQ(leaveQuestion(LeaveChoice::NextItem, false), 65036u);
    EXPECT_EQ(leaveQuestion(LeaveChoice::ManagementMode, false), 65037u);
    EXPECT_EQ(leaveQuestion(LeaveChoice::EndProgram, false), 65038u);
    EXPECT_FALSE(leaveQuestion(LeaveChoice::EndProgram, true));

    UiInfoBlock atStart; // the wizard runs in wizard mode
    const auto ended = leaveAndEndProgram(atStart);
    EXPECT_TRUE(ended.endProgram);
    EXPECT_EQ(atStart.lastMode, 1u); // the next start opens the wizard again

    UiInfoBlock managed;
    const auto toManagement = leaveToManagementMode(managed);
    EXPECT_FALSE(toManagement.endProgram);
    EXPECT_TRUE(toManagement.placeMainWindow);
    EXPECT_EQ(managed.lastMode, 2u);

    // Another mode in force (an import from the main window set 0): no end, no placing.
    UiInfoBlock importing;
    importing.setLastMode(WorkingMode::ImportOrEdit);
    const auto fromImport = leaveAndEndProgram(importing);
    EXPECT_FALSE(fromImport.endProgram);
    EXPECT_FALSE(fromImport.placeMainWindow);
    EXPECT_EQ(importing.lastMode, 2u);
}
