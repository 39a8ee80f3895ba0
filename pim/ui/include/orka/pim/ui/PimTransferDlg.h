#pragma once
// The PIM transfer dialog ("PIM 資料傳輸", command 32791): the kinds and the direction, a read
// button per kind that loads both sides and opens the selection lists, the handset's free
// entries, the last synchronisation, and the start of the transfer.
#include "orka/app/Settings.h"
#include "orka/pim/PimWorkers.h"

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <memory>

namespace Ui {
class PimTransferDlg;
}

namespace orka::pim::ui {

inline constexpr int kCmdPimTransfer = 32791;

// What the dialog works on, all owned by the program: the document's lists, the saved
// settings (port, option word, last synchronisation) and the loaded flags of the transient
// flags word.
struct PimSession {
    PimLists& lists;
    app::PreferencesBlock& preferences;
    std::uint32_t& loadedFlags;
    std::filesystem::path storeRoot = {}; // empty: the user's own contacts store
};

class PimTransferDlg : public QDialog {
    Q_OBJECT
public:
    explicit PimTransferDlg(PimSession session, QWidget* parent = nullptr);
    ~PimTransferDlg() override;

    TransferChoice choice() const;

private:
    void readData(PimKind kind);
    // Loads what is not loaded yet of the kind behind the progress dialog; false when that
    // failed (the reason was shown) or was cancelled.
    bool load(PimKind kind);
    bool reload(PimKind kind);
    void startTransfer();
    void showRoom();
    void showProblems(const JobResult& result);
    PimJobContext context() const;

    std::unique_ptr<Ui::PimTransferDlg> ui_;
    PimSession session_;
};

} // namespace orka::pim::ui
