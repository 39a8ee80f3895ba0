#pragma once
// The main window's editing dialog: the editing pages in a modal window titled as the
// wizard titles them, for one import of a file or one edit of a gallery item. It closes with
// the finished contents, or with nothing when the user backs out of the first page or closes
// the window.
#include "orka/app/GalleryModel.h"
#include "orka/app/WizardFlow.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class ItemEditorDialog;
}

namespace orka::app::ui {

class ItemEditingPages;
struct WizardSource;

class ItemEditorDialog : public QDialog {
    Q_OBJECT
public:
    explicit ItemEditorDialog(QWidget* parent = nullptr);
    ~ItemEditorDialog() override;

    // Runs the pages over the source (or the item) until the pass ends: its contents, or
    // nullopt when the source was refused or the user left.
    std::optional<std::vector<ItemContent>> runImport(int categoryId, const WizardSource& source);
    std::optional<std::vector<ItemContent>> runEdit(int categoryId, const GalleryItem& item);

    ItemEditingPages& pages() const { return *pages_; }
    WizardPage currentPage() const { return current_; }

    // Closing (or leaving the first page) stops a playing ring tone or animation first.
    void reject() override;

private:
    void showPage(WizardPage page, unsigned suffixId);
    std::optional<std::vector<ItemContent>> run(bool started);

    std::unique_ptr<Ui::ItemEditorDialog> ui_;
    ItemEditingPages* pages_ = nullptr;
    WizardPage current_ = WizardPage::CapturePicture;
    std::optional<std::vector<ItemContent>> result_;
};

} // namespace orka::app::ui
