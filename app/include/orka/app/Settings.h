#pragma once
// The program's two saved settings blocks and the rules by which they are loaded and saved.
// Both live in the current user's registry under the profile key below, as little-endian
// binary values of a fixed size; a value of any other size is ignored and the defaults apply.
// Every part of the program reads and changes them in memory; only the program's exit
// writes them back.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "orka/platform/SerialPort.h"

namespace orka::app {

// Bits [First, First + Width) of a 32-bit word.
template <unsigned First, unsigned Width>
struct BitField {
    static_assert(First + Width <= 32);
    static constexpr std::uint32_t kMask = static_cast<std::uint32_t>(((std::uint64_t{1} << Width) - 1) << First);
    static constexpr std::uint32_t get(std::uint32_t word) { return (word & kMask) >> First; }
    static constexpr void set(std::uint32_t& word, std::uint32_t value)
    {
        word = (word & ~kMask) | ((value << First) & kMask);
    }
};

// The user's working mode, saved as the mode of the last run.
enum class WorkingMode : std::uint32_t {
    ImportOrEdit = 0, // an import or edit started from the management window
    Wizard = 1,
    Management = 2,   // the only mode that skips the wizard at the next start
};

// What the next start opens.
enum class StartupSetting : std::uint32_t { Wizard = 1, Management = 2, FollowLastMode = 3 };

// The port number of the infrared link; 1 to 256 are serial ports.
inline constexpr int kInfraredPort = 300;
inline constexpr int kFirstSerialPort = 1;
inline constexpr int kLastSerialPort = 256;

// "UI Info": four 32-bit words.
struct UiInfoBlock {
    static constexpr std::size_t kSize = 16;

    // Bar flags (word 3).
    static constexpr std::uint32_t kToolbar = 1u << 0;
    static constexpr std::uint32_t kStatusBar = 1u << 1;
    static constexpr std::uint32_t kPreviewPane = 1u << 2;
    static constexpr std::uint32_t kFolderPane = 1u << 3;
    static constexpr std::uint32_t kNavigationBar = 1u << 4;

    // Data list modes (word 1, copied in word 2).
    static constexpr std::uint32_t kThumbnailMode = 0;
    static constexpr std::uint32_t kListMode = 1;

    std::uint32_t lastMode = static_cast<std::uint32_t>(WorkingMode::Wizard);
    std::uint32_t viewMode = kThumbnailMode;
    std::uint32_t viewModeCopy = kThumbnailMode;
    std::uint32_t barFlags = kToolbar | kStatusBar | kPreviewPane | kFolderPane;

    void setLastMode(WorkingMode mode) { lastMode = static_cast<std::uint32_t>(mode); }
    bool skipsWizard() const { return lastMode == static_cast<std::uint32_t>(WorkingMode::Management); }
    // Words 1 and 2 always change together.
    void setViewMode(std::uint32_t mode) { viewMode = viewModeCopy = mode; }
    bool shown(std::uint32_t barFlag) const { return (barFlags & barFlag) != 0; }
    void toggle(std::uint32_t barFlag) { barFlags ^= barFlag; }

    std::array<std::uint8_t, kSize> toBytes() const;
    // nullopt unless exactly kSize bytes.
    static std::optional<UiInfoBlock> fromBytes(std::span<const std::uint8_t> bytes);
};

// "Preferences": the last synchronisation text, the connection word and the option word.
struct PreferencesBlock {
    static constexpr std::size_t kSize = 44;
    static constexpr std::size_t kSyncTextSize = 36; // with its terminating NUL
    static constexpr std::uint32_t kDefaultConnectionWord = 0x00009600; // port 300
    static constexpr std::uint32_t kDefaultOptionWord = 0x0E070000;

    // Connection word fields.
    using PortField = BitField<7, 10>;
    using ParityField = BitField<24, 3>;
    using StopBitsField = BitField<27, 3>;
    // Option word fields.
    using FlowControlField = BitField<0, 3>;
    using LineControlField = BitField<0, 2>; // DTR and RTS control of the port
    using PimDirectionField = BitField<3, 3>;
    using PortPositionField = BitField<6, 10>;
    using StartupField = BitField<16, 2>;
    static constexpr std::uint32_t kFullScreen = 1u << 18;
    static constexpr std::uint32_t kAlwaysOnTop = 1u << 19;
    static constexpr std::uint32_t kConnectionConfirmed = 1u << 20;
    static constexpr std::uint32_t kPimContacts = 1u << 21;
    static constexpr std::uint32_t kPimCalendar = 1u << 22;
    static constexpr std::uint32_t kWarnDeleteData = 1u << 25;
    static constexpr std::uint32_t kWarnDeleteHandsetData = 1u << 26;
    static constexpr std::uint32_t kWarnDeleteFolder = 1u << 27;

    // PIM transfer directions (option word bits 3-5).
    static constexpr std::uint32_t kPimDownload = 0;
    static constexpr std::uint32_t kPimUpload = 1;

    std::array<std::uint8_t, kSyncTextSize> lastSync{}; // ANSI code page, NUL-terminated
    std::uint32_t connectionWord = kDefaultConnectionWord;
    std::uint32_t optionWord = kDefaultOptionWord;

    // The port PIOOpen is given: 1-256 a serial port, 300 the infrared link.
    int port() const { return static_cast<int>(PortField::get(connectionWord)); }
    void setPort(int port) { PortField::set(connectionWord, static_cast<std::uint32_t>(port)); }
    std::uint8_t parity() const { return static_cast<std::uint8_t>(ParityField::get(connectionWord)); }
    std::uint8_t stopBits() const { return static_cast<std::uint8_t>(StopBitsField::get(connectionWord)); }

    // Position in the connection dialog's list: 0 the infrared link, n serial port n.
    int portPosition() const { return static_cast<int>(PortPositionField::get(optionWord)); }
    void setPortPosition(int position) { PortPositionField::set(optionWord, static_cast<std::uint32_t>(position)); }
    std::uint32_t lineControl() const { return LineControlField::get(optionWord); }
    std::uint32_t pimDirection() const { return PimDirectionField::get(optionWord); }
    void setPimDirection(std::uint32_t direction) { PimDirectionField::set(optionWord, direction); }
    std::uint32_t startupSetting() const { return StartupField::get(optionWord); }
    void setStartupSetting(StartupSetting s) { StartupField::set(optionWord, static_cast<std::uint32_t>(s)); }

    bool option(std::uint32_t bit) const { return (optionWord & bit) != 0; }
    void setOption(std::uint32_t bit, bool on) { optionWord = on ? (optionWord | bit) : (optionWord & ~bit); }

    // The last synchronisation text in UTF-8 (empty before the first transfer).
    std::string lastSyncText() const;
    // Stores it in the ANSI code page, cut at a whole character to fit 35 bytes.
    void setLastSyncText(const std::string& utf8);

    std::array<std::uint8_t, kSize> toBytes() const;
    // nullopt unless exactly kSize bytes.
    static std::optional<PreferencesBlock> fromBytes(std::span<const std::uint8_t> bytes);
};

// "Ring Tone": the ring-tone editor's two switches of the preferences' audio page, one
// 32-bit word. A value of any other size gives the defaults.
struct RingToneBlock {
    static constexpr std::size_t kSize = 4;
    static constexpr std::uint32_t kDefaultSetting = 1u << 0; // each song opens at its own tempo and volume
    static constexpr std::uint32_t kAutoRepeat = 1u << 1;     // each song opens with loop on
    std::uint32_t flags = kDefaultSetting;

    bool defaultSetting() const { return (flags & kDefaultSetting) != 0; }
    bool autoRepeat() const { return (flags & kAutoRepeat) != 0; }
    void set(std::uint32_t flag, bool on) { flags = on ? (flags | flag) : (flags & ~flag); }

    std::array<std::uint8_t, kSize> toBytes() const;
    static std::optional<RingToneBlock> fromBytes(std::span<const std::uint8_t> bytes);
};

// Bits of the transient flags word of the application object (zero at every start, never saved).
namespace AppFlags {
inline constexpr std::uint32_t kHandsetPhonebookLoaded = 1u << 2;
inline constexpr std::uint32_t kHandsetCalendarLoaded = 1u << 3;
inline constexpr std::uint32_t kOutlookDataLoaded = 1u << 4;
} // namespace AppFlags

struct AppSettings {
    UiInfoBlock uiInfo;
    PreferencesBlock preferences;
    RingToneBlock ringTone;
};

// The profile key below HKEY_CURRENT_USER: Software\Tessel\<profile title>\1.00.
std::string settingsRootPath();

// Reads both blocks and applies the start rules: the line settings, the PIM direction and
// unused connection bits are reset, and a start-up setting other than "follow the last
// mode" decides the last mode.
AppSettings loadSettings();
// Writes the blocks; false when the registry cannot be written.
bool saveSettings(const AppSettings& settings);

// The serial settings for PIOSetCOMPort: 115200 baud, 8 data bits, parity and stop bits from
// the connection word, DTR and RTS control from the option word, everything else 0.
platform::DCB serialSettings(const PreferencesBlock& preferences);

} // namespace orka::app
