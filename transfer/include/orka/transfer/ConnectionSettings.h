#pragma once
// The connection dialog's model: the port list, the entry the settings select, and what OK
// stores. The line settings are fixed (115200 baud, 8 data bits, no parity, one stop bit);
// the port is the only choice.
#include "orka/app/Settings.h"

#include <string>
#include <vector>

namespace orka::transfer {

class ConnectionSettingsModel {
public:
    static constexpr int kInfraredPosition = 0;

    // Works on the program's settings; nothing changes before accept().
    explicit ConnectionSettingsModel(app::PreferencesBlock& preferences);

    // "紅外線", then "COM 1" to "COM 256": position n is serial port n.
    static std::vector<std::string> portEntries();

    int selection() const { return selection_; }
    // Positions outside the list are ignored.
    void select(int position);

    // OK: keeps the position, the port number for PIOOpen (300 for the infrared entry),
    // hands the serial settings to the engine and marks the dialog as confirmed.
    void accept();

private:
    app::PreferencesBlock& preferences_;
    int selection_;
};

// Hands the serial settings of the connection words to the engine (PIOSetCOMPort).
void applySerialSettings(const app::PreferencesBlock& preferences);

} // namespace orka::transfer
