#pragma once
// The registry: a tree of keys in two hives, each key holding named values of binary or
// string data. Key paths use backslashes as on Windows ("Software\\Tessel"); names are
// compared without regard to ASCII case, as the Windows registry does.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orka::platform {

enum class RegistryHive { CurrentUser, LocalMachine };

class RegistryKey {
public:
    // Opens an existing key; nullopt when it (or a key on its path) does not exist.
    static std::optional<RegistryKey> open(RegistryHive hive, const std::string& path);
    // Opens a key, creating it and the keys on its path; nullopt when that fails.
    static std::optional<RegistryKey> create(RegistryHive hive, const std::string& path);

    std::optional<RegistryKey> openSubKey(const std::string& path) const;
    std::optional<RegistryKey> createSubKey(const std::string& path) const;

    // Names of the direct sub-keys and of the values, in a stable (sorted) order.
    std::vector<std::string> subKeyNames() const;
    std::vector<std::string> valueNames() const;

    // A value of the asked type; nullopt when there is none of that type, or when it is
    // longer than maxBytes (a string counts its terminating NUL, as a Windows read buffer does).
    std::optional<std::vector<std::uint8_t>> readBinary(const std::string& name,
                                                        std::size_t maxBytes = SIZE_MAX) const;
    std::optional<std::string> readString(const std::string& name, std::size_t maxBytes = SIZE_MAX) const;

    // Each write replaces the whole value atomically (a crash leaves the old or the new
    // value, never a mixture), whatever type it had. False when it cannot be written.
    bool writeBinary(const std::string& name, std::span<const std::uint8_t> bytes) const;
    bool writeString(const std::string& name, const std::string& text) const;
    bool deleteValue(const std::string& name) const;

    // The folder that holds this key (for tools and tests).
    const std::filesystem::path& location() const { return dir_; }

    // The folder of a hive below StatePaths' registry folder.
    static std::filesystem::path hiveDir(RegistryHive hive);

private:
    explicit RegistryKey(std::filesystem::path dir) : dir_(std::move(dir)) {}
    static std::optional<RegistryKey> walk(std::filesystem::path dir, const std::string& path, bool create);

    std::filesystem::path dir_;
};

} // namespace orka::platform
