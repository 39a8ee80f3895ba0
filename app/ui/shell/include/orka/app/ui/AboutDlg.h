#pragma once
// The About box (command 57664): the program's title and version.
#include <QDialog>

#include <memory>

namespace Ui {
class AboutDlg;
}

namespace orka::app::ui {

class AboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit AboutDlg(QWidget* parent = nullptr);
    ~AboutDlg() override;

private:
    std::unique_ptr<Ui::AboutDlg> ui_;
};

} // namespace orka::app::ui
