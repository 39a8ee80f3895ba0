#pragma once
// The start-up wizard's rules without its window: its seven pages and their titles, which
// files each media kind takes, where "下一步" leads, when leaving asks first, and how leaving
// ends (management mode or the end of the program).
#include "orka/app/Settings.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orka::app {

// The pages by their dialog ids.
enum class WizardPage : int {
    ChooseMedia = 210,
    ChooseFile = 211,
    CaptureAnimation = 169,
    UploadOrSave = 212,
    CapturePicture = 154,
    EditPicture = 155,
    RingToneEditing = 141,
};

struct WizardPageInfo {
    WizardPage page;
    unsigned titleId;
};

// In the order the wizard makes them.
inline constexpr std::array<WizardPageInfo, 7> kWizardPages = {{
    {WizardPage::ChooseMedia, 32937},     // "精靈 - 選擇多媒體資料"
    {WizardPage::ChooseFile, 32938},      // "精靈 - 選取檔案"
    {WizardPage::CaptureAnimation, 32805}, // "精靈 - 截取動畫"
    {WizardPage::UploadOrSave, 32939},    // "精靈 - 上傳或儲存"
    {WizardPage::CapturePicture, 65000},  // "精靈 - 截取圖片"
    {WizardPage::EditPicture, 65002},     // "精靈 - 編輯圖片"
    {WizardPage::RingToneEditing, 65057}, // "精靈 - 鈴聲編輯"
}};

// Position of a page in kWizardPages (its place in the wizard's stack).
std::size_t wizardPageIndex(WizardPage page);
unsigned wizardTitleId(WizardPage page);
// The window title: the page's title, and " - " with the suffix when there is one.
std::string wizardWindowTitle(const std::string& pageTitle, const std::string& suffix);

namespace WizardText {
inline constexpr unsigned kWelcome = 65024;            // "歡迎使用精靈!"
inline constexpr unsigned kWelcomeExplanation = 65025;
inline constexpr unsigned kChooseFile = 65026;         // "選取檔案"
inline constexpr unsigned kChooseFileExplanation = 65027;
inline constexpr unsigned kImport = 65028;             // "匯入"
inline constexpr unsigned kFolder = 65029;             // "資料夾"
inline constexpr unsigned kEditingDone = 65030;        // "編輯作業完成"
inline constexpr unsigned kEditingDoneExplanation = 65031;
inline constexpr unsigned kUploadToHandset = 65032;    // "上傳到手機"
inline constexpr unsigned kChooseFolder = 65033;       // "選擇資料夾:"
inline constexpr unsigned kAskNextItem = 65036;
inline constexpr unsigned kAskManagementMode = 65037;
inline constexpr unsigned kAskEndProgram = 65038;
inline constexpr unsigned kSaveButtons = 65055;        // "更換檔名|儲存|上傳|預覽|手機預覽結果"
inline constexpr unsigned kNoCategory = 65061;         // "Please create a category."
inline constexpr unsigned kNothingChosen = 65062;      // "無選擇任一檔案。"
inline constexpr unsigned kNothingChosenAgain = 65063;
inline constexpr unsigned kMelodyTooLarge = 65072;     // "匯入失敗! "%s"檔案大小超過9kb。"
inline constexpr unsigned kSaved = 65080;              // "儲存檔案成功"
inline constexpr unsigned kSingleFileOnly = 65152;     // "失敗!您只可以選擇單一檔案。"
inline constexpr unsigned kBadFormat = 65181;          // "檔案格式無效"
} // namespace WizardText

// The largest ring-tone file the wizard takes: 9 KB.
inline constexpr std::uintmax_t kMaxMelodyFileBytes = 9 * 1024;

// What the choose-media page offers: the five media categories and Java.
inline constexpr std::array<int, 5> kWizardCategories = {20000, 30000, 40000, 50000, 70000};

// The filter of the import chooser of a category, in the suite's "text|patterns|" form.
// Empty for an id that is no media category.
std::string wizardImportFilter(int categoryId);
// The extensions (lower case, without the dot) a category takes.
std::vector<std::string> acceptedExtensions(int categoryId);
bool isAcceptedFile(int categoryId, const std::filesystem::path& file);

// What a source file is, once accepted.
enum class SourceKind { Picture, MenuPackage, Animation, Midi, Smaf };

// Checks the files chosen for import into the choose-file page, in order: one file only
// (65152), an accepted extension (65181), for ring tones at most 9216 bytes (65072 with the
// file name). Raises orka::Failure; returns the file and what it holds.
// A tune is read whole here (it is small) and its kind taken from its first bytes; a tune
// whose bytes are neither MIDI nor SMAF is refused with 65181 as well.
struct AcceptedSource {
    std::filesystem::path file;
    SourceKind kind;
    std::vector<std::uint8_t> tune; // the ring tone's bytes; empty for other kinds
};
AcceptedSource acceptImport(int categoryId, std::span<const std::filesystem::path> files);

// A tune's kind by its first bytes: "MThd" a Standard MIDI File, "MMMD" SMAF.
std::optional<SourceKind> melodyKindOf(std::span<const std::uint8_t> bytes);

// Where "下一步" on the choose-file page leads, and the title suffix it shows.
struct NextStep {
    WizardPage page;
    unsigned suffixId;
};
// A SMAF tune needs no editing and goes straight to the upload-or-save page. nullopt for an id
// that is no media category.
std::optional<NextStep> nextStepAfterChoosing(int categoryId, SourceKind source);

// The three ways off the upload-or-save page.
enum class LeaveChoice { NextItem, ManagementMode, EndProgram };

// The question to ask first (65036, 65037, 65038), or nullopt once the result was saved or
// uploaded.
std::optional<unsigned> leaveQuestion(LeaveChoice choice, bool savedOrUploaded);

// How the wizard ends.
struct WizardExit {
    bool endProgram = false;       // the main window is to be closed, ending the program
    bool placeMainWindow = false;  // the main window takes the wizard's rectangle
};
// Leaving to management mode: the main window takes the wizard's place when the wizard ran
// in wizard mode; the last mode becomes 2.
WizardExit leaveToManagementMode(UiInfoBlock& uiInfo);
// Ending the program: only a wizard in wizard mode (last mode 1) ends it, keeping last mode 1
// so that the next start opens the wizard again; otherwise it leaves to management mode.
WizardExit leaveAndEndProgram(UiInfoBlock& uiInfo);

} // namespace orka::app
