#pragma once
// Finding the USB cable's port at every start, and the start-up step that prepares the
// phone link with the settings.
#include "orka/app/Settings.h"

#include <optional>
#include <string_view>

namespace orka::platform {
class UsbPortFinder;
}

namespace orka::transfer {

// The number in a port name: leading blanks, then any of the letters C, O and M, then a
// decimal number ("COM12", "  COM12" give 12). 0 when that is not a port from 1 to 256.
int portNumberFromName(std::string_view name);

// Tries the cable's ports in the finder's order with the engine's current serial settings
// and takes the first that opens: it becomes the port of the connection word and the
// position of the connection dialog. Nothing found leaves the settings as they were.
std::optional<int> discoverCablePort(app::PreferencesBlock& preferences, platform::UsbPortFinder& finder);

// The start-up step, once the settings are loaded: makes the engine's command set, finds
// the cable's port (the trial opens use the engine's default settings), then hands the
// serial settings to the engine.
void prepareLink(app::PreferencesBlock& preferences, platform::UsbPortFinder& finder);
void prepareLink(app::PreferencesBlock& preferences);

} // namespace orka::transfer
