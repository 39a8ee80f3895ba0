#pragma once
// "瀏覽資料夾": where exported items go and, for pictures, the file type they are written as.
#include "orka/app/LocalFileOps.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class ExportDialog;
}

namespace orka::app::ui {

class ExportDialog : public QDialog {
    Q_OBJECT

public:
    // `types` are the kinds the items can be written as; with one choice the type row hides.
    ExportDialog(QWidget* parent, std::vector<ExportType> types, const QString& folder);
    ~ExportDialog() override;

    QString folder() const;
    ExportType type() const;
    // Picks the type (tests and callers that remember the last choice); false when not offered.
    bool selectType(ExportType type);
    void setFolder(const QString& folder);

private:
    void browse();
    void updateOk();

    std::unique_ptr<Ui::ExportDialog> ui_;
    std::vector<ExportType> types_;
    std::vector<ExportType> offered_; // the rows of the type list, in order
};

} // namespace orka::app::ui
