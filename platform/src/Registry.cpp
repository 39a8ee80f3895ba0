// The registry on Linux: one folder per key under StatePaths' registry folder, one file per
// value. A value's file is its name with a suffix for its type (".bin" binary, ".sz" string);
// names are escaped so that any registry name makes one safe file name.
#include "orka/platform/Registry.h"

#include "orka/platform/StatePaths.h"
#include "orka/common/HexText.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace orka::platform {
namespace fs = std::filesystem;

namespace {

constexpr char kBinarySuffix[] = ".bin";
constexpr char kStringSuffix[] = ".sz";
constexpr char kPathSeparator = '\\';

enum class ValueType { Binary, String };

const char* suffixOf(ValueType type) { return type == ValueType::Binary ? kBinarySuffix : kStringSuffix; }

// '%', '/', control characters and a leading '.' (so "." and ".." and hidden names cannot
// appear) become %XX; everything else, UTF-8 included, stays as it is.
std::string escapeName(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '%' || c == '/' || c < 0x20 || c == 0x7F || (i == 0 && c == '.')) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string unescapeName(const std::string& file)
{
    std::string out;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '%' && i + 2 < file.size() && common::hexDigitValue(file[i + 1]) >= 0 && common::hexDigitValue(file[i + 2]) >= 0) {
            out += static_cast<char>(common::hexDigitValue(file[i + 1]) * 16 + common::hexDigitValue(file[i + 2]));
            i += 2;
        } else {
            out += file[i];
        }
    }
    return out;
}

bool sameName(const std::string& a, const std::string& b)
{
    auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == kPathSeparator) {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

// The sub-folder of dir standing for key `name`: the exact spelling when it exists, else
// one that differs only in case; nullopt when there is neither.
std::optional<fs::path> findSubKey(const fs::path& dir, const std::string& name)
{
    std::error_code ec;
    const fs::path exact = dir / escapeName(name);
    if (fs::is_directory(exact, ec))
        return exact;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_directory(ec) && sameName(unescapeName(entry.path().filename().string()), name))
            return entry.path();
    return std::nullopt;
}

struct ValueFile {
    fs::path path;
    ValueType type;
};

// The file of value `name` of either type, or nullopt. A temporary file left by an interrupted
// write has a longer suffix and is never taken for a value.
std::optional<ValueFile> findValue(const fs::path& dir, const std::string& name)
{
    std::error_code ec;
    for (ValueType type : {ValueType::Binary, ValueType::String}) {
        const fs::path exact = dir / (escapeName(name) + suffixOf(type));
        if (fs::is_regular_file(exact, ec))
            return ValueFile{exact, type};
    }
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (!entry.is_regular_file(ec))
            continue;
        const std::string file = entry.path().filename().string();
        for (ValueType type : {ValueType::Binary, ValueType::String}) {
            const std::string suffix = suffixOf(type);
            if (file.size() >= suffix.size() && file.ends_with(suffix) &&
                sameName(unescapeName(file.substr(0, file.size() - suffix.size())), name))
                return ValueFile{entry.path(), type};
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> readValue(const fs::path& dir, const std::string& name, ValueType type,
                                                   std::size_t maxBytes, std::size_t terminator)
{
    const auto file = findValue(dir, name);
    if (!file || file->type != type)
        return std::nullopt;
    std::error_code ec;
    const auto size = fs::file_size(file->path, ec);
    if (ec || size + terminator > maxBytes)
        return std::nullopt;
    std::ifstream in(file->path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

bool writeValue(const fs::path& dir, const std::string& name, ValueType type, const void* data, std::size_t size)
{
    const auto old = findValue(dir, name);
    // Keep the spelling the value already has, so a name differing in case replaces it.
    std::string stored = escapeName(name);
    if (old) {
        stored = old->path.filename().string();
        stored.resize(stored.size() - std::char_traits<char>::length(suffixOf(old->type)));
    }
    if (!writeFileAtomically(dir / (stored + suffixOf(type)), data, size))
        return false;
    std::error_code ec;
    if (old && old->type != type)
        fs::remove(old->path, ec);
    return true;
}

} // namespace

fs::path RegistryKey::hiveDir(RegistryHive hive)
{
    return StatePaths::registryDir() / (hive == RegistryHive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE");
}

std::optional<RegistryKey> RegistryKey::walk(fs::path dir, const std::string& path, bool create)
{
    std::error_code ec;
    if (create)
        fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec))
        return std::nullopt;
    for (const std::string& part : splitPath(path)) {
        if (auto found = findSubKey(dir, part)) {
            dir = *found;
            continue;
        }
        if (!create)
            return std::nullopt;
        dir /= escapeName(part);
        if (!fs::create_directory(dir, ec) && !fs::is_directory(dir, ec))
            return std::nullopt;
    }
    return RegistryKey(dir);
}

std::optional<RegistryKey> RegistryKey::open(RegistryHive hive, const std::string& path)
{
    return walk(hiveDir(hive), path, false);
}

std::optional<RegistryKey> RegistryKey::create(RegistryHive hive, const std::string& path)
{
    return walk(hiveDir(hive), path, true);
}

std::optional<RegistryKey> RegistryKey::openSubKey(const std::string& path) const { return walk(dir_, path, false); }

std::optional<RegistryKey> RegistryKey::createSubKey(const std::string& path) const { return walk(dir_, path, true); }

std::vector<std::string> RegistryKey::subKeyNames() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec))
        if (entry.is_directory(ec))
            names.push_back(unescapeName(entry.path().filename().string()));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> RegistryKey::valueNames() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec)) {
        if (!entry.is_regular_file(ec))
            continue;
        const std::string file = entry.path().filename().string();
        for (ValueType type : {ValueType::Binary, ValueType::String}) {
            const std::string suffix = suffixOf(type);
            if (file.ends_with(suffix))
                names.push_back(unescapeName(file.substr(0, file.size() - suffix.size())));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::vector<std::uint8_t>> RegistryKey::readBinary(const std::string& name, std::size_t maxBytes) const
{
    return readValue(dir_, name, ValueType::Binary, maxBytes, 0);
}

std::optional<std::string> RegistryKey::readString(const std::string& name, std::size_t maxBytes) const
{
    const auto bytes = readValue(dir_, name, ValueType::String, maxBytes, 1);
    if (!bytes)
        return std::nullopt;
    // A string ends at its first NUL, as it does when a program reads it into a buffer.
    const auto end = std::find(bytes->begin(), bytes->end(), std::uint8_t{0});
    return std::string(bytes->begin(), end);
}

bool RegistryKey::writeBinary(const std::string& name, std::span<const std::uint8_t> bytes) const
{
    return writeValue(dir_, name, ValueType::Binary, bytes.data(), bytes.size());
}

bool RegistryKey::writeString(const std::string& name, const std::string& text) const
{
    return writeValue(dir_, name, ValueType::String, text.data(), text.size());
}

bool RegistryKey::deleteValue(const std::string& name) const
{
    const auto file = findValue(dir_, name);
    std::error_code ec;
    return file && fs::remove(file->path, ec);
}

} // namespace orka::platform
