#include "orka/app/ui/ShellResources.h"

#include "orka/app/ui/CommandIds.h"

#include <array>
#include <map>

namespace orka::app::ui {
namespace {

using namespace cmd;

MenuEntry command(unsigned id, std::string_view text) { return {id, text, {}}; }
MenuEntry popup(std::string_view text, std::vector<MenuEntry> entries) { return {0, text, std::move(entries)}; }
MenuEntry separator() { return {}; }

MenuEntry arrangePopup()
{
    return popup("排列圖示", {command(kArrangeByName, "依名稱"), command(kArrangeBySize, "依大小"),
                              command(kArrangeByDate, "依日期")});
}

MenuEntry modePopup()
{
    return popup("模式", {command(kThumbnailMode, "縮圖"), command(kListMode, "清單")});
}

// Commands that only tool bars and context menus carry.
constexpr std::array<std::pair<unsigned, std::string_view>, 4> kButtonOnlyTexts = {{
    {kExport, "匯出"},
    {kDownload, "下載"},
    {kUpload, "上傳"},
    {kJava, "Java"},
}};

constexpr std::array<std::pair<unsigned, std::string_view>, 7> kAnimationTexts = {{
    {kFrameLeft, "左移"},
    {kFrameRight, "右移"},
    {kShrinkEnlarge, "動畫效果-縮小後再放大"},
    {kAnimationSave, "儲存檔案"},
    {kAnimationUpload, "上傳"},
    {kAnimationSaveAs, "另存新檔"},
    {kAnimationClearAll, "全部清除"},
}};

constexpr std::array<unsigned, 13> kGeneralButtons = {
    kImport, kExport, kEdit, kJava, kPimTransfer, kDownload, kUpload, kPreviewOnHandset,
    0, kFolderPane, kPreviewPane, 0, kWizard,
};

constexpr std::array<unsigned, 7> kAnimationButtons = {
    kFrameLeft, kFrameRight, kShrinkEnlarge, kAnimationSave, kAnimationUpload, kAnimationSaveAs, kAnimationClearAll,
};

constexpr std::array<Accelerator, 14> kAccelerators = {{
    {"Ctrl+N", kFileNew},
    {"Ctrl+O", kFileOpen},
    {"Ctrl+S", kFileSave},
    {"Ctrl+P", kFilePrint},
    {"Ctrl+Z", kUndo},
    {"Ctrl+X", kCut},
    {"Ctrl+C", kCopy},
    {"Ctrl+V", kPaste},
    {"Alt+Backspace", kUndo},
    {"Shift+Del", kCut},
    {"Ctrl+Ins", kCopy},
    {"Shift+Ins", kPaste},
    {"F6", kNextPane},
    {"Shift+F6", kPreviousPane},
}};

// "匯入..." -> "匯入", "剪下\tCtrl+X" -> "剪下", "&關於 手機桌台..." -> "關於 手機桌台".
std::string_view plainText(std::string_view text)
{
    if (const auto tab = text.find('\t'); tab != std::string_view::npos)
        text = text.substr(0, tab);
    while (text.ends_with("."))
        text.remove_suffix(1);
    if (text.starts_with("&"))
        text.remove_prefix(1);
    return text;
}

void collectTexts(const std::vector<MenuEntry>& entries, std::map<unsigned, std::string_view>& texts)
{
    for (const MenuEntry& e : entries) {
        if (e.isPopup())
            collectTexts(e.entries, texts);
        else if (!e.isSeparator())
            texts.emplace(e.id, plainText(e.text));
    }
}

} // namespace

const std::vector<MenuEntry>& mainMenu()
{
    static const std::vector<MenuEntry> menu = {
        popup("檔案", {command(kImport, "匯入..."),
                       popup("匯出", {command(kExportToFile, "檔案..."), command(kExportByMail, "郵件...")}),
                       command(kWizard, "精靈..."),
                       popup("資料夾", {command(kNewFolder, "新增資料夾"), command(kDeleteFolder, "刪除資料夾"),
                                        command(kRenameFolder, "重新命名")}),
                       separator(), command(kAppExit, "結束")}),
        popup("編輯", {command(kCut, "剪下\tCtrl+X"), command(kCopy, "複製\tCtrl+C"),
                       command(kPaste, "貼上\tCtrl+V"), separator(), command(kDeleteItem, "刪除"),
                       command(kRenameItem, "重新命名"), separator(), command(kSelectAll, "全選"),
                       command(kInvertSelection, "反向選擇")}),
        popup("檢視", {command(kToolbar, "工具列"), command(kNavigationBar, "瀏覽器列"),
                       command(kStatusBar, "狀態列"), separator(), command(kFolderPane, "資料夾窗格"),
                       command(kPreviewPane, "預覽窗格"), separator(), arrangePopup(), modePopup()}),
        popup("工具", {command(kEdit, "編輯..."), command(kPimTransfer, "PIM 上傳/下載..."),
                       command(kConnection, "連線設定..."), command(kPreferences, "偏好設定..."),
                       command(kPreviewOnHandset, "預覽")}),
        popup("說明", {command(kHelpTopics, "說明主題"), separator(), command(kAbout, "&關於 手機桌台...")}),
    };
    return menu;
}

const MenuEntry& contextMenu(ContextMenu which)
{
    static const std::array<MenuEntry, 3> menus = {
        popup("Edit", {command(kUpload, "上傳"), command(kEdit, "編輯..."), separator(), command(kCut, "剪下"),
                       command(kCopy, "複製"), command(kDeleteItem, "刪除"), separator(),
                       command(kSelectAll, "全選"), command(kInvertSelection, "反向選擇"), separator(),
                       command(kRenameItem, "重新命名"), command(kExport, "匯出")}),
        popup("View", {command(kUpload, "上傳"), command(kPaste, "貼上"), separator(), command(kSelectAll, "全選"),
                       separator(), arrangePopup(), modePopup()}),
        popup("Category", {command(kDownload, "下載"), command(kImport, "匯入..."), command(kPaste, "貼上"),
                           separator(), command(kNewFolder, "新增資料夾"), command(kDeleteFolder, "刪除資料夾"),
                           command(kRenameFolder, "重新命名")}),
    };
    return menus[static_cast<std::size_t>(which)];
}

std::string_view commandText(unsigned id)
{
    static const std::map<unsigned, std::string_view> texts = [] {
        std::map<unsigned, std::string_view> t;
        collectTexts(mainMenu(), t);
        for (const auto& [commandId, text] : kButtonOnlyTexts)
            t.emplace(commandId, text);
        for (const auto& [commandId, text] : kAnimationTexts)
            t.emplace(commandId, text);
        return t;
    }();
    const auto found = texts.find(id);
    return found == texts.end() ? std::string_view() : found->second;
}

std::span<const unsigned> generalToolbar() { return kGeneralButtons; }
std::span<const unsigned> animationToolbar() { return kAnimationButtons; }
std::span<const Accelerator> accelerators() { return kAccelerators; }

} // namespace orka::app::ui
