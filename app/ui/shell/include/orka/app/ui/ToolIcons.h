#pragma once
// The buttons' pictures, drawn here with QPainter so that they scale with the screen.
#include <QIcon>

namespace orka::app::ui {

// The picture of a command; an empty icon for commands that have none.
QIcon commandIcon(unsigned id);

// Pictures of the navigation tree and of tunes in the data pane.
enum class ShellGlyph { Handset, Category, Folder, Melody };
QIcon shellIcon(ShellGlyph glyph);
QImage glyphImage(ShellGlyph glyph, int size);

} // namespace orka::app::ui
