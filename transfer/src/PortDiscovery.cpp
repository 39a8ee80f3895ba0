#include "orka/transfer/PortDiscovery.h"

#include "orka/pio.h"
#include "orka/platform/UsbPortFinder.h"
#include "orka/transfer/ConnectionSettings.h"

#include <charconv>

namespace orka::transfer {

int portNumberFromName(std::string_view name)
{
    std::size_t i = 0;
    while (i < name.size() && (name[i] == ' ' || name[i] == '\t'))
        ++i;
    while (i < name.size() && (name[i] == 'C' || name[i] == 'O' || name[i] == 'M'))
        ++i;
    int n = 0;
    const auto [end, ec] = std::from_chars(name.data() + i, name.data() + name.size(), n);
    // The number must fit the 10-bit port field and name a serial port; anything else
    // would store a port that cannot be opened, or spill into the neighbouring bits.
    if (ec != std::errc() || end == name.data() + i || n < app::kFirstSerialPort || n > app::kLastSerialPort)
        return 0;
    return n;
}

std::optional<int> discoverCablePort(app::PreferencesBlock& preferences, platform::UsbPortFinder& finder)
{
    for (const platform::UsbPort& found : finder.find()) {
        const int n = portNumberFromName(found.portName);
        if (n == 0 || PIOOpen(n) == 0)
            continue;
        PIOClose();
        preferences.setPort(n);
        preferences.setPortPosition(n);
        return n;
    }
    return std::nullopt;
}

void prepareLink(app::PreferencesBlock& preferences, platform::UsbPortFinder& finder)
{
    PIOInitPhone();
    discoverCablePort(preferences, finder);
    applySerialSettings(preferences);
}

void prepareLink(app::PreferencesBlock& preferences)
{
    platform::UsbPortFinder finder;
    prepareLink(preferences, finder);
}

} // namespace orka::transfer
