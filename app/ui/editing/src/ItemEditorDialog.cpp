#include "orka/app/ui/ItemEditorDialog.h"

#include "ui_ItemEditorDialog.h"

#include "orka/app/ui/ItemEditingPages.h"
#include "orka/ui/UiText.h"

namespace orka::app::ui {

using orka::ui::fromUtf8;
using orka::ui::toUtf8;
using orka::ui::uiText;

ItemEditorDialog::ItemEditorDialog(QWidget* parent)
    : QDialog(parent)
    , ui_(std::make_unique<Ui::ItemEditorDialog>())
{
    ui_->setupUi(this);
    pages_ = new ItemEditingPages(*ui_->pages, this);
    connect(pages_, &ItemEditingPages::pageWanted, this, &ItemEditorDialog::showPage);
    connect(pages_, &ItemEditingPages::finished, this, [this](const std::vector<ItemContent>& contents) {
        result_ = contents;
        pages_->stopBackground();
        if (isVisible())
            accept();
    });
    connect(pages_, &ItemEditingPages::leftFirstPage, this, &ItemEditorDialog::reject);
}

ItemEditorDialog::~ItemEditorDialog() = default;

void ItemEditorDialog::showPage(WizardPage page, unsigned suffixId)
{
    current_ = page;
    ui_->pages->setCurrentWidget(pages_->page(page));
    const std::string suffix = suffixId ? toUtf8(uiText(suffixId)) : std::string();
    const QString title = fromUtf8(wizardWindowTitle(toUtf8(uiText(wizardTitleId(page))), suffix));
    setWindowTitle(title);
    setAccessibleName(title);
}

std::optional<std::vector<ItemContent>> ItemEditorDialog::run(bool started)
{
    // A source that needs no editing has finished before the window would show.
    if (started && !result_)
        exec();
    return std::exchange(result_, std::nullopt);
}

std::optional<std::vector<ItemContent>> ItemEditorDialog::runImport(int categoryId, const WizardSource& source)
{
    result_.reset();
    return run(pages_->startImport(categoryId, source));
}

std::optional<std::vector<ItemContent>> ItemEditorDialog::runEdit(int categoryId, const GalleryItem& item)
{
    result_.reset();
    return run(pages_->startEdit(categoryId, item));
}

void ItemEditorDialog::reject()
{
    pages_->stopBackground();
    result_.reset();
    QDialog::reject();
}

} // namespace orka::app::ui
