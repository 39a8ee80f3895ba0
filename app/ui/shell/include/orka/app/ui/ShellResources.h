#pragma once
// The main window's resources as data: menu 128 with its popups, the context menus of
// resource 308, the two tool bars (134, 403) and the accelerator table 128. Menu and button
// texts live here as the menu resource holds them; status prompts and tool tips are the
// string-table texts of the command's own id.
#include <span>
#include <string_view>
#include <vector>

namespace orka::app::ui {

// One entry of a menu: a command (id and text), a popup (text and entries) or a separator
// (no id, no text).
struct MenuEntry {
    unsigned id = 0;
    std::string_view text;
    std::vector<MenuEntry> entries;

    bool isSeparator() const { return id == 0 && text.empty(); }
    bool isPopup() const { return id == 0 && !text.empty(); }
};

// The menu bar: 檔案, 編輯, 檢視, 工具, 說明.
const std::vector<MenuEntry>& mainMenu();

// The popups of menu resource 308.
enum class ContextMenu { Edit, View, Category };
const MenuEntry& contextMenu(ContextMenu which);

// A command's button text: its menu text without the mnemonic, accelerator and dots, or the
// tool bar's own text for commands that have no menu entry. Empty for an unknown id.
std::string_view commandText(unsigned id);

// Buttons of the general tool bar and of the animation tool bar in order; 0 is a separator.
std::span<const unsigned> generalToolbar();
std::span<const unsigned> animationToolbar();

struct Accelerator {
    std::string_view keys; // in QKeySequence's portable form
    unsigned id;
};
std::span<const Accelerator> accelerators();

} // namespace orka::app::ui
