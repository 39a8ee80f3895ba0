#pragma once
// The selection dialog ("選擇 上傳/下載資料"): the handset list and the store list of one kind
// side by side; the user ticks the entries of the sending side. OK refuses a selection the
// handset has no room for.
#include "orka/pim/PimWorkers.h"

#include <QDialog>

#include <functional>
#include <memory>

class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class PimSelectionDlg;
}

namespace orka::pim::ui {

class PimSelectionDlg : public QDialog {
    Q_OBJECT
public:
    // Empties and rereads the lists of the kind; false when that failed (it said why).
    using Reload = std::function<bool()>;

    PimSelectionDlg(PimKind kind, Direction direction, PimLists& lists, Reload reload, QWidget* parent = nullptr);
    ~PimSelectionDlg() override;

    // The list the user ticks in: the handset's for a download, the store's for an upload.
    QTreeWidget* sendingList() const;

public Q_SLOTS:
    void accept() override;
    // Closing the window is OK: the ticks are already on the entries.
    void reject() override { accept(); }

private:
    void fill();
    void onItemClicked(QTreeWidgetItem* item);
    void tickAll(bool on);
    void onReload();
    unsigned sendingListBit() const;

    std::unique_ptr<Ui::PimSelectionDlg> ui_;
    PimKind kind_;
    Direction direction_;
    PimLists& lists_;
    Reload reload_;
};

} // namespace orka::pim::ui
