#pragma once
// The command ids of the main window's menus, tool bars, accelerators and context menus, and
// the ids of its resources and bar controls. Every window of the program that sends or
// handles one of these commands names it from here.
namespace orka::app::ui {

namespace cmd {
// 檔案 (file)
inline constexpr unsigned kImport = 32771;
inline constexpr unsigned kExport = 32772;        // tool bar and context menu
inline constexpr unsigned kExportToFile = 32795;  // 匯出 > 檔案...
inline constexpr unsigned kExportByMail = 32796;  // 匯出 > 郵件...
inline constexpr unsigned kWizard = 32909;
inline constexpr unsigned kNewFolder = 32937;
inline constexpr unsigned kDeleteFolder = 32938;
inline constexpr unsigned kRenameFolder = 32939;
inline constexpr unsigned kAppExit = 57665;
// 編輯 (edit)
inline constexpr unsigned kCut = 57635;
inline constexpr unsigned kCopy = 57634;
inline constexpr unsigned kPaste = 57637;
inline constexpr unsigned kDeleteItem = 32773;
inline constexpr unsigned kRenameItem = 32774;
inline constexpr unsigned kSelectAll = 57642;
inline constexpr unsigned kInvertSelection = 32776;
// 檢視 (view)
inline constexpr unsigned kToolbar = 59392;
inline constexpr unsigned kNavigationBar = 32786;
inline constexpr unsigned kStatusBar = 59393;
inline constexpr unsigned kFolderPane = 32803;
inline constexpr unsigned kPreviewPane = 32804;
inline constexpr unsigned kArrangeByName = 32782;
inline constexpr unsigned kArrangeBySize = 32781;
inline constexpr unsigned kArrangeByDate = 32963;
inline constexpr unsigned kThumbnailMode = 32779;
inline constexpr unsigned kListMode = 32780;
// 工具 (tools)
inline constexpr unsigned kEdit = 32949;
inline constexpr unsigned kPimTransfer = 32791;
inline constexpr unsigned kConnection = 32792;
inline constexpr unsigned kPreferences = 32802;
inline constexpr unsigned kPreviewOnHandset = 32794;
// 說明 (help)
inline constexpr unsigned kHelpTopics = 57667;
inline constexpr unsigned kAbout = 57664;
// Tool bar only
inline constexpr unsigned kDownload = 32936;
inline constexpr unsigned kUpload = 32941;
inline constexpr unsigned kJava = 32962;
// The animation pane's tool bar
inline constexpr unsigned kFrameLeft = 32951;
inline constexpr unsigned kFrameRight = 32952;
inline constexpr unsigned kShrinkEnlarge = 32958;
inline constexpr unsigned kAnimationSave = 32954;
inline constexpr unsigned kAnimationUpload = 32953;
inline constexpr unsigned kAnimationSaveAs = 32957;
inline constexpr unsigned kAnimationClearAll = 32955;
// Commands the accelerator table names that this program has no handler for
inline constexpr unsigned kFileNew = 57600;
inline constexpr unsigned kFileOpen = 57601;
inline constexpr unsigned kFileSave = 57603;
inline constexpr unsigned kFilePrint = 57607;
inline constexpr unsigned kUndo = 57643;
// Keyboard moves between the panes
inline constexpr unsigned kNextPane = 57680;
inline constexpr unsigned kPreviousPane = 57681;
} // namespace cmd

namespace res {
inline constexpr unsigned kMainMenu = 128;        // also the accelerator table
inline constexpr unsigned kGeneralToolbar = 134;
inline constexpr unsigned kContextMenus = 308;
inline constexpr unsigned kAnimationToolbar = 403;
} // namespace res

namespace ctl {
inline constexpr unsigned kCategoryList = 30002;  // the navigation bar's first drop-down list
inline constexpr unsigned kFolderList = 30003;    // its second
} // namespace ctl

// The help button every dialog of the program carries.
inline constexpr unsigned kHelpButtonId = 9;

} // namespace orka::app::ui
