#include "RemovalCommand.h"

#include "orka/platform/Registry.h"

namespace orka::remover {
namespace {

constexpr char kRemovalKey[] =
    "SOFTWARE\\MICROSOFT\\Windows\\CurrentVersion\\Uninstall\\{5B1D7C42-9E3A-4F60-B8D2-17C4A9E05F3B}";
constexpr char kRemovalValue[] = "UninstallString";
constexpr std::size_t kValueBufferBytes = 260;
constexpr char kQuote = '"';

} // namespace

std::optional<RemovalCommand> parseRemovalCommand(const std::string& value)
{
    const auto open = value.find(kQuote);
    if (open == std::string::npos)
        return std::nullopt;
    const auto close = value.find(kQuote, open + 1);
    if (close == std::string::npos)
        return std::nullopt;
    return RemovalCommand{value.substr(open + 1, close - open - 1), value.substr(close + 1)};
}

std::optional<RemovalCommand> registeredRemovalCommand()
{
    const auto key = platform::RegistryKey::open(platform::RegistryHive::LocalMachine, kRemovalKey);
    if (!key)
        return std::nullopt;
    const std::string value = key->readString(kRemovalValue, kValueBufferBytes).value_or(std::string());
    if (value.empty())
        return std::nullopt;
    return parseRemovalCommand(value);
}

} // namespace orka::remover
