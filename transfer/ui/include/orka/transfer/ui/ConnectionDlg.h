#pragma once
// The connection dialog: the user picks the port the handset hangs on (the infrared link or a
// numbered serial port); OK keeps it in the settings and hands the line settings to the engine.
#include "orka/app/Settings.h"
#include "orka/platform/UsbPortFinder.h"
#include "orka/transfer/ConnectionSettings.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class ConnectionDlg;
}

namespace orka::transfer::ui {

class ConnectionDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 102;
    static constexpr int kPortListId = 2004;
    static constexpr int kHelpControlId = 9;
    static constexpr unsigned kHelpTopic = 5015;

    // Lists the USB cable's ports the system knows now.
    explicit ConnectionDlg(app::PreferencesBlock& preferences, QWidget* parent = nullptr);
    // The cable's ports as a finder found them (they are marked in the list).
    ConnectionDlg(app::PreferencesBlock& preferences, const std::vector<platform::UsbPort>& cablePorts,
                  QWidget* parent = nullptr);
    ~ConnectionDlg() override;

public Q_SLOTS:
    void accept() override;

private:
    std::unique_ptr<Ui::ConnectionDlg> ui_;
    ConnectionSettingsModel model_;
};

} // namespace orka::transfer::ui
