#include "orka/app/Settings.h"

#include "orka/common/ByteOrder.h"
#include "orka/platform/Codepage.h"
#include "orka/platform/Registry.h"

#include <algorithm>

namespace orka::app {
namespace {

using common::readLE32;
using common::writeLE32;
using platform::RegistryHive;
using platform::RegistryKey;

constexpr char kCompanyKey[] = "Software\\Tessel";
constexpr char kProfileTitle[] = "Orka Handset Desk -- Q5(Orka Kit)";
constexpr int kProfileMajor = 1;
constexpr int kProfileMinor = 0;
constexpr char kUiInfoSection[] = "UI Info";
constexpr char kPreferencesSection[] = "Preferences";
constexpr char kRingToneSection[] = "Ring Tone";
constexpr char kValueName[] = "Values";
constexpr std::size_t kConnectionWordOffset = 36;
constexpr std::size_t kOptionWordOffset = 40;
constexpr std::uint32_t kBaudRate = 115200;
constexpr std::uint8_t kByteSize = 8;

// Connection word bits the start clears and sets.
constexpr std::uint32_t kConnectionClearedAtStart = BitField<17, 2>::kMask | BitField<21, 9>::kMask;
constexpr std::uint32_t kConnectionSetAtStart = BitField<19, 2>::kMask;
constexpr std::uint32_t kConnectionUnusedLowBits = BitField<0, 6>::kMask;

std::optional<std::vector<std::uint8_t>> readBlock(const std::optional<RegistryKey>& root, const char* section)
{
    if (!root)
        return std::nullopt;
    const auto key = root->openSubKey(section);
    return key ? key->readBinary(kValueName) : std::nullopt;
}

bool writeBlock(const RegistryKey& root, const char* section, std::span<const std::uint8_t> bytes)
{
    const auto key = root.createSubKey(section);
    return key && key->writeBinary(kValueName, bytes);
}

// The start rules, in the order the start applies them.
void applyStartRules(AppSettings& s)
{
    PreferencesBlock& p = s.preferences;
    PreferencesBlock::FlowControlField::set(p.optionWord, 0);
    p.connectionWord = (p.connectionWord & ~kConnectionClearedAtStart) | kConnectionSetAtStart;
    if (p.startupSetting() != static_cast<std::uint32_t>(StartupSetting::FollowLastMode))
        s.uiInfo.lastMode = p.startupSetting();
    p.connectionWord &= ~kConnectionUnusedLowBits;
    p.setPimDirection(PreferencesBlock::kPimDownload);
}

} // namespace

std::array<std::uint8_t, UiInfoBlock::kSize> UiInfoBlock::toBytes() const
{
    std::array<std::uint8_t, kSize> bytes{};
    const std::uint32_t words[] = {lastMode, viewMode, viewModeCopy, barFlags};
    for (std::size_t i = 0; i < 4; ++i)
        writeLE32(bytes.data() + 4 * i, words[i]);
    return bytes;
}

std::optional<UiInfoBlock> UiInfoBlock::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    UiInfoBlock b;
    b.lastMode = readLE32(bytes.data());
    b.viewMode = readLE32(bytes.data() + 4);
    b.viewModeCopy = readLE32(bytes.data() + 8);
    b.barFlags = readLE32(bytes.data() + 12);
    return b;
}

std::array<std::uint8_t, RingToneBlock::kSize> RingToneBlock::toBytes() const
{
    std::array<std::uint8_t, kSize> bytes{};
    writeLE32(bytes.data(), flags);
    return bytes;
}

std::optional<RingToneBlock> RingToneBlock::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    RingToneBlock b;
    b.flags = readLE32(bytes.data()) & (kDefaultSetting | kAutoRepeat);
    return b;
}

std::string PreferencesBlock::lastSyncText() const
{
    // The text ends at its NUL, or at the last byte of the field if a stored block has none.
    const auto end = std::find(lastSync.begin(), lastSync.end() - 1, std::uint8_t{0});
    const std::string ansi(lastSync.begin(), end);
    if (auto utf8 = platform::Codepage::ansiToUtf8(ansi))
        return *utf8;
    return {};
}

void PreferencesBlock::setLastSyncText(const std::string& utf8)
{
    // Take whole characters while the ANSI form still fits beside the NUL; a character
    // the code page lacks ends the text there.
    std::string fitted;
    for (std::size_t pos = 0; pos < utf8.size();) {
        std::size_t next = pos + 1;
        while (next < utf8.size() && (static_cast<unsigned char>(utf8[next]) & 0xC0) == 0x80)
            ++next;
        const auto ansi = platform::Codepage::utf8ToAnsi(utf8.substr(0, next));
        if (!ansi || ansi->size() >= kSyncTextSize)
            break;
        fitted = *ansi;
        pos = next;
    }
    lastSync.fill(0);
    std::copy(fitted.begin(), fitted.end(), lastSync.begin());
}

std::array<std::uint8_t, PreferencesBlock::kSize> PreferencesBlock::toBytes() const
{
    std::array<std::uint8_t, kSize> bytes{};
    std::copy(lastSync.begin(), lastSync.end(), bytes.begin());
    writeLE32(bytes.data() + kConnectionWordOffset, connectionWord);
    writeLE32(bytes.data() + kOptionWordOffset, optionWord);
    return bytes;
}

std::optional<PreferencesBlock> PreferencesBlock::fromBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != kSize)
        return std::nullopt;
    PreferencesBlock b;
    std::copy_n(bytes.begin(), kSyncTextSize, b.lastSync.begin());
    b.connectionWord = readLE32(bytes.data() + kConnectionWordOffset);
    b.optionWord = readLE32(bytes.data() + kOptionWordOffset);
    return b;
}

std::string settingsRootPath()
{
    return std::string(kCompanyKey) + "\\" + kProfileTitle + "\\" + std::to_string(kProfileMajor) + "." +
           (kProfileMinor < 10 ? "0" : "") + std::to_string(kProfileMinor);
}

AppSettings loadSettings()
{
    const auto root = RegistryKey::open(RegistryHive::CurrentUser, settingsRootPath());
    AppSettings s;
    if (const auto bytes = readBlock(root, kUiInfoSection))
        s.uiInfo = UiInfoBlock::fromBytes(*bytes).value_or(UiInfoBlock{});
    if (const auto bytes = readBlock(root, kPreferencesSection))
        s.preferences = PreferencesBlock::fromBytes(*bytes).value_or(PreferencesBlock{});
    if (const auto bytes = readBlock(root, kRingToneSection))
        s.ringTone = RingToneBlock::fromBytes(*bytes).value_or(RingToneBlock{});
    applyStartRules(s);
    return s;
}

bool saveSettings(const AppSettings& settings)
{
    const auto root = RegistryKey::create(RegistryHive::CurrentUser, settingsRootPath());
    if (!root)
        return false;
    const bool ui = writeBlock(*root, kUiInfoSection, settings.uiInfo.toBytes());
    const bool prefs = writeBlock(*root, kPreferencesSection, settings.preferences.toBytes());
    const bool ringTone = writeBlock(*root, kRingToneSection, settings.ringTone.toBytes());
    return ui && prefs && ringTone;
}

platform::DCB serialSettings(const PreferencesBlock& preferences)
{
    platform::DCB dcb{};
    dcb.XonChar = 0;
    dcb.XoffChar = 0;
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = kByteSize;
    dcb.Parity = preferences.parity();
    dcb.StopBits = preferences.stopBits();
    dcb.fDtrControl = preferences.lineControl();
    dcb.fRtsControl = preferences.lineControl();
    return dcb;
}

} // namespace orka::app
