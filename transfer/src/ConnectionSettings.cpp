#include "orka/transfer/ConnectionSettings.h"

#include "orka/StringTable.h"
#include "orka/pio.h"

namespace orka::transfer {
namespace {

constexpr unsigned kStrPortList = 4001; // "紅外線|COM 1|...": the dialog offers its first entry
constexpr char kEntrySeparator = '|';

} // namespace

ConnectionSettingsModel::ConnectionSettingsModel(app::PreferencesBlock& preferences)
    : preferences_(preferences), selection_(kInfraredPosition)
{
    // A stored position past the list (only a damaged block has one) selects the default entry.
    select(preferences.portPosition());
}

std::vector<std::string> ConnectionSettingsModel::portEntries()
{
    const std::string list = loadString(kStrPortList);
    std::vector<std::string> entries{list.substr(0, list.find(kEntrySeparator))};
    for (int n = app::kFirstSerialPort; n <= app::kLastSerialPort; ++n)
        entries.push_back("COM " + std::to_string(n));
    return entries;
}

void ConnectionSettingsModel::select(int position)
{
    if (position >= kInfraredPosition && position <= app::kLastSerialPort)
        selection_ = position;
}

void ConnectionSettingsModel::accept()
{
    preferences_.setPortPosition(selection_);
    preferences_.setPort(selection_ == kInfraredPosition ? app::kInfraredPort : selection_);
    applySerialSettings(preferences_);
    preferences_.setOption(app::PreferencesBlock::kConnectionConfirmed, true);
}

void applySerialSettings(const app::PreferencesBlock& preferences) { PIOSetCOMPort(app::serialSettings(preferences)); }

} // namespace orka::transfer
