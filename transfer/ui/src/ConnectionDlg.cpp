#include "orka/transfer/ui/ConnectionDlg.h"

#include "ui_ConnectionDlg.h"

#include "orka/ui/HelpViewer.h"
#include "orka/ui/UiText.h"

namespace orka::transfer::ui {
namespace {

constexpr unsigned kStrCablePort = 39201; // "%s (USB)"

} // namespace

ConnectionDlg::ConnectionDlg(app::PreferencesBlock& preferences, QWidget* parent)
    : ConnectionDlg(preferences, platform::UsbPortFinder().find(), parent)
{
}

ConnectionDlg::ConnectionDlg(app::PreferencesBlock& preferences, const std::vector<platform::UsbPort>& cablePorts,
                             QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ConnectionDlg>()), model_(preferences)
{
    ui_->setupUi(this);
    // Position n of the list is serial port n, so a cable's port keeps its place and only
    // says that it is the cable.
    QStringList entries;
    for (const std::string& entry : ConnectionSettingsModel::portEntries())
        entries.push_back(orka::ui::fromUtf8(entry));
    for (const platform::UsbPort& port : cablePorts)
        if (port.number >= app::kFirstSerialPort && port.number < entries.size())
            entries[port.number] = orka::ui::uiFormat(kStrCablePort, {entries[port.number]});
    ui_->portList->addItems(entries);
    ui_->portList->setCurrentIndex(model_.selection());
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { orka::ui::HelpViewer::showHelp(this, kHelpTopic); });
}

ConnectionDlg::~ConnectionDlg() = default;

void ConnectionDlg::accept()
{
    model_.select(ui_->portList->currentIndex());
    model_.accept();
    QDialog::accept();
}

} // namespace orka::transfer::ui
