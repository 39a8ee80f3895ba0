#include "orka/app/WizardFlow.h"

#include "orka/Failure.h"
#include "orka/app/GalleryModel.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <system_error>

namespace orka::app {
namespace {

constexpr unsigned kStrOpenFailed = 61107; // "開啟檔案"%s"失敗"

// Picture files. The JPEG entry's last pattern is "*.jpe": a comma there would hide
// ".jpe" files from the JPEG choice while "所有格式" shows them.
constexpr char kPictureFilter[] =
    "所有格式|*.bmp;*.jpg;*.jpeg;*.jpe|JPEG(*.jpg;*.jpeg;*.jpe)|*.jpg; *.jpeg; *.jpe|BMP(*.bmp)|*.bmp|";
constexpr char kMenuPackageFilter[] = "PAK(*.pak)|*.pak|";
constexpr char kAnimationFilter[] = "GIF Files (*.gif)|*.gif|";
constexpr char kMelodyFilter[] =
    "所有格式(*.mid;*.midi;*.mmf)|*.mid;*.midi;*.mmf|Midi(*.mid;*.midi)|*.mid;*.midi|MMF(*.mmf)|*.mmf|";

std::string lowerExtension(const std::filesystem::path& file)
{
    std::string ext = file.extension().string();
    if (!ext.empty())
        ext.erase(0, 1);
    std::ranges::transform(ext, ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

std::vector<std::uint8_t> readWhole(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw Failure(kStrOpenFailed, file.filename().string());
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw Failure(kStrOpenFailed, file.filename().string());
    return bytes;
}

} // namespace

std::size_t wizardPageIndex(WizardPage page)
{
    const auto it = std::ranges::find(kWizardPages, page, &WizardPageInfo::page);
    return static_cast<std::size_t>(it - kWizardPages.begin());
}

unsigned wizardTitleId(WizardPage page)
{
    return kWizardPages.at(wizardPageIndex(page)).titleId;
}

std::string wizardWindowTitle(const std::string& pageTitle, const std::string& suffix)
{
    return suffix.empty() ? pageTitle : pageTitle + " - " + suffix;
}

std::string wizardImportFilter(int categoryId)
{
    switch (categoryId) {
    case 20000:
    case 40000:
        return kPictureFilter;
    case kMainMenuCategory:
        return std::string(kPictureFilter) + kMenuPackageFilter;
    case 50000:
        return kAnimationFilter;
    case 70000:
        return kMelodyFilter;
    default:
        return {};
    }
}

std::vector<std::string> acceptedExtensions(int categoryId)
{
    // Every pattern of the chooser's filter, so that what the chooser offers and what is
    // taken cannot differ. Fields alternate between a text and its patterns.
    const std::string filter = wizardImportFilter(categoryId);
    std::vector<std::string> extensions;
    std::size_t start = 0;
    for (int field = 0; start < filter.size(); ++field) {
        std::size_t end = filter.find('|', start);
        if (end == std::string::npos)
            end = filter.size();
        if (field % 2 == 1) {
            std::string patterns = filter.substr(start, end - start);
            std::size_t p = 0;
            while (p < patterns.size()) {
                std::size_t q = patterns.find(';', p);
                if (q == std::string::npos)
                    q = patterns.size();
                std::string pattern = patterns.substr(p, q - p);
                pattern.erase(0, pattern.find_first_not_of(' '));
                if (pattern.starts_with("*.")) {
                    std::string ext = pattern.substr(2);
                    if (std::ranges::find(extensions, ext) == extensions.end())
                        extensions.push_back(std::move(ext));
                }
                p = q + 1;
            }
        }
        start = end + 1;
    }
    return extensions;
}

bool isAcceptedFile(int categoryId, const std::filesystem::path& file)
{
    const auto extensions = acceptedExtensions(categoryId);
    return std::ranges::find(extensions, lowerExtension(file)) != extensions.end();
}

std::optional<SourceKind> melodyKindOf(std::span<const std::uint8_t> bytes)
{
    auto startsWith = [&](const char (&mark)[5]) {
        return bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, mark);
    };
    if (startsWith("MThd"))
        return SourceKind::Midi;
    if (startsWith("MMMD"))
        return SourceKind::Smaf;
    return std::nullopt;
}

AcceptedSource acceptImport(int categoryId, std::span<const std::filesystem::path> files)
{
    if (files.size() != 1)
        throw Failure(WizardText::kSingleFileOnly);
    const auto& file = files.front();
    if (!isAcceptedFile(categoryId, file))
        throw Failure(WizardText::kBadFormat);
    const auto* row = findCategoryRow(categoryId);
    switch (row->kind) {
    case FolderKind::Animation:
        return {file, SourceKind::Animation, {}};
    case FolderKind::Melody: {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (ec)
            throw Failure(kStrOpenFailed, file.filename().string());
        if (size > kMaxMelodyFileBytes)
            throw Failure(WizardText::kMelodyTooLarge, file.filename().string());
        auto tune = readWhole(file);
        // Read again under the limit: the file may have grown since it was measured.
        if (tune.size() > kMaxMelodyFileBytes)
            throw Failure(WizardText::kMelodyTooLarge, file.filename().string());
        const auto kind = melodyKindOf(tune);
        if (!kind)
            throw Failure(WizardText::kBadFormat);
        return {file, *kind, std::move(tune)};
    }
    default:
        return {file, lowerExtension(file) == "pak" ? SourceKind::MenuPackage : SourceKind::Picture, {}};
    }
}

std::optional<NextStep> nextStepAfterChoosing(int categoryId, SourceKind source)
{
    const auto* row = findCategoryRow(categoryId);
    if (!row || row->id == kRootId)
        return std::nullopt;
    switch (row->kind) {
    case FolderKind::Picture:
        // A main-menu package is a finished set of pictures: nothing to capture.
        if (source == SourceKind::MenuPackage)
            return NextStep{WizardPage::UploadOrSave, row->nameId};
        return NextStep{WizardPage::CapturePicture, row->nameId};
    case FolderKind::Animation:
        return NextStep{WizardPage::CaptureAnimation, row->nameId};
    case FolderKind::Melody:
        return NextStep{source == SourceKind::Smaf ? WizardPage::UploadOrSave : WizardPage::RingToneEditing,
                        row->nameId};
    default:
        return std::nullopt;
    }
}

std::optional<unsigned> leaveQuestion(LeaveChoice choice, bool savedOrUploaded)
{
    if (savedOrUploaded)
        return std::nullopt;
    switch (choice) {
    case LeaveChoice::NextItem:
        return WizardText::kAskNextItem;
    case LeaveChoice::ManagementMode:
        return WizardText::kAskManagementMode;
    case LeaveChoice::EndProgram:
        return WizardText::kAskEndProgram;
    }
    return std::nullopt;
}

WizardExit leaveToManagementMode(UiInfoBlock& uiInfo)
{
    WizardExit exit;
    exit.placeMainWindow = uiInfo.lastMode == static_cast<std::uint32_t>(WorkingMode::Wizard);
    uiInfo.setLastMode(WorkingMode::Management);
    return exit;
}

WizardExit leaveAndEndProgram(UiInfoBlock& uiInfo)
{
    if (uiInfo.lastMode == static_cast<std::uint32_t>(WorkingMode::Wizard))
        return WizardExit{true, false};
    return leaveToManagementMode(uiInfo);
}

} // namespace orka::app
