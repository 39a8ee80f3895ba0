#include "ExportDialog.h"

#include "orka/ui/UserPrompts.h"
#include "ui_ExportDialog.h"

#include <QFileInfo>

#include <algorithm>

namespace orka::app::ui {
namespace {

// The rows of the type list in the form, in order.
constexpr ExportType kTypeRows[] = {ExportType::Bmp, ExportType::Jpeg, ExportType::Gif};

} // namespace

ExportDialog::ExportDialog(QWidget* parent, std::vector<ExportType> types, const QString& folder)
    : QDialog(parent), ui_(std::make_unique<Ui::ExportDialog>()), types_(std::move(types))
{
    ui_->setupUi(this);
    // Rows the items cannot be written as go, from the last so the indexes hold.
    for (int row = int(std::size(kTypeRows)) - 1; row >= 0; --row)
        if (std::find(types_.begin(), types_.end(), kTypeRows[row]) == types_.end())
            ui_->typeBox->removeItem(row);
    for (const ExportType t : kTypeRows)
        if (std::find(types_.begin(), types_.end(), t) != types_.end())
            offered_.push_back(t);
    const bool choice = ui_->typeBox->count() > 1;
    ui_->typeLabel->setVisible(choice);
    ui_->typeBox->setVisible(choice);
    ui_->folderEdit->setText(folder);
    connect(ui_->browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    connect(ui_->okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->folderEdit, &QLineEdit::textChanged, this, &ExportDialog::updateOk);
    updateOk();
}

ExportDialog::~ExportDialog() = default;

QString ExportDialog::folder() const { return ui_->folderEdit->text(); }

void ExportDialog::setFolder(const QString& folder) { ui_->folderEdit->setText(folder); }

ExportType ExportDialog::type() const
{
    if (offered_.empty())
        return types_.empty() ? ExportType::OwnFormat : types_.front();
    return offered_.at(std::size_t(std::max(ui_->typeBox->currentIndex(), 0)));
}

bool ExportDialog::selectType(ExportType type)
{
    const auto found = std::find(offered_.begin(), offered_.end(), type);
    if (found == offered_.end())
        return false;
    ui_->typeBox->setCurrentIndex(int(found - offered_.begin()));
    return true;
}

void ExportDialog::browse()
{
    const QString chosen = orka::ui::chooseDirectory(this, windowTitle(), folder());
    if (!chosen.isEmpty())
        setFolder(chosen);
}

void ExportDialog::updateOk()
{
    ui_->okButton->setEnabled(QFileInfo(folder()).isDir());
}

} // namespace orka::app::ui
