#include "orka/app/ui/AboutDlg.h"

#include "orka/Version.h"
#include "orka/app/ui/ToolIcons.h"
#include "orka/ui/UiText.h"
#include "ui_AboutDlg.h"

namespace orka::app::ui {
namespace {
constexpr unsigned kStrWindowTitle = 57344;
constexpr unsigned kStrVersion = 33410;
constexpr int kIconSide = 48;
} // namespace

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutDlg>())
{
    ui_->setupUi(this);
    ui_->icon->setPixmap(shellIcon(ShellGlyph::Handset).pixmap(kIconSide, kIconSide));
    ui_->title->setText(orka::ui::uiText(kStrWindowTitle));
    ui_->version->setText(orka::ui::uiFormat(kStrVersion, {QStringLiteral(ORKA_VERSION)}));
}

AboutDlg::~AboutDlg() = default;

} // namespace orka::app::ui
