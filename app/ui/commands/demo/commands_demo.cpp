// Shows the windows of the item commands on their own, for screenshots: "export" the folder
// and type dialog of an export of pictures, "delete" the confirmation of an item's deletion.
#include "ExportDialog.h"

#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QDir>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "delete") == 0) {
        orka::ui::askYesAllNoCancel(nullptr, orka::ui::uiFormat(4015, {QStringLiteral("海邊的夕陽")}),
                                    orka::ui::uiText(4016));
        return 0;
    }
    using orka::app::ExportType;
    orka::app::ui::ExportDialog dialog(nullptr, {ExportType::Bmp, ExportType::Jpeg, ExportType::Gif},
                                       QDir::homePath());
    dialog.selectType(ExportType::Jpeg);
    return dialog.exec();
}
