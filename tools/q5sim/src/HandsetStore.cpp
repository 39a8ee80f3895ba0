#include "HandsetStore.h"

#include "orka/platform/StatePaths.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

namespace q5sim {
namespace fs = std::filesystem;

namespace {
constexpr const char* settingsFileName = "stores.txt";
constexpr const char* nameFileName = "name.hex";

std::optional<long long> parseNumber(std::string_view text)
{
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "item12" -> 12, "part3.bin" -> 3; nullopt for anything else.
std::optional<int> numberBetween(const std::string& name, std::string_view prefix, std::string_view suffix)
{
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0
        || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    std::string_view digits(name.data() + prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 6 || (digits.size() > 1 && digits[0] == '0'))
        return std::nullopt;
    auto n = parseNumber(digits);
    if (!n || *n < 0)
        return std::nullopt;
    return static_cast<int>(*n);
}

std::optional<std::string> readWholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string settingsText(const std::map<int, StoreSettings>& all)
{
    std::ostringstream out;
    out << "# The stores of the simulated handset, one line per store type. Edit and restart q5sim.\n"
        << "# capacity: indexes 1..capacity (sets: always 1); parts: highest part number\n"
        << "# (one-part stores: always 0); memory: bytes the store holds in all\n"
        << "# type capacity parts memory\n";
    for (const auto& [type, s] : all)
        out << type << " " << s.capacity << " " << s.maxParts << " " << s.memory << "\n";
    return out.str();
}
} // namespace

const std::vector<int>& HandsetStore::types()
{
    static const std::vector<int> all{2, 3, 4, 5, 7, 8, 10, 11};
    return all;
}

StoreSettings HandsetStore::defaultSettings(int type)
{
    constexpr std::uint32_t KiB = 1024;
    switch (type) {
    case 2: return {ItemShape::OnePart, 30, 0, 4096 * KiB};   // wallpapers
    case 3: return {ItemShape::Set, 1, 81, 2048 * KiB};       // main-menu picture set: a whole package
    case 4: return {ItemShape::OnePart, 30, 0, 2048 * KiB};   // caller photos
    case 5: return {ItemShape::Frames, 10, 5, 2048 * KiB};    // power-on/off animations
    case 7: return {ItemShape::OnePart, 40, 0, 4096 * KiB};   // ring tones
    case 8: return {ItemShape::Set, 1, 16, 1024 * KiB};       // Java MIDlet pieces
    case 10: return {ItemShape::OnePart, 500, 0, 256 * KiB};  // phonebook
    case 11: return {ItemShape::OnePart, 300, 0, 128 * KiB};  // calendar
    default: return {};
    }
}

HandsetStore::HandsetStore(std::optional<fs::path> dir)
    : dir_(std::move(dir))
{
    for (int type : types())
        stores_[type].settings = defaultSettings(type);
    if (!dir_)
        return;
    loadSettings();
    for (auto& [type, store] : stores_)
        load(type, store);
}

void HandsetStore::applySettings(std::string_view text, const std::string& origin)
{
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string fields[4], extra;
        words >> fields[0] >> fields[1] >> fields[2] >> fields[3] >> extra;
        std::optional<long long> n[4];
        for (int i = 0; i < 4; ++i)
            n[i] = parseNumber(fields[i]);
        if (!extra.empty() || !n[0] || !n[1] || !n[2] || !n[3] || *n[0] < 0 || *n[0] > 99
            || !stores_.count(static_cast<int>(*n[0]))
            || *n[1] < 1 || *n[1] > 99999 || *n[2] < 0 || *n[2] > 999 || *n[3] < 0 || *n[3] > 0x7FFFFFFF) {
            warnings_.push_back(origin + ": ignored line: " + line);
            continue;
        }
        StoreSettings& s = stores_.at(static_cast<int>(*n[0])).settings;
        s.capacity = static_cast<int>(*n[1]);
        s.maxParts = static_cast<int>(*n[2]);
        s.memory = static_cast<std::uint32_t>(*n[3]);
        // The shape of a store is the handset's own; only its sizes may change.
        if (s.shape == ItemShape::Set)
            s.capacity = 1;
        if (s.shape == ItemShape::OnePart)
            s.maxParts = 0;
        else if (s.maxParts < 1)
            s.maxParts = defaultSettings(static_cast<int>(*n[0])).maxParts;
    }
}

void HandsetStore::loadSettings()
{
    const fs::path file = *dir_ / settingsFileName;
    auto text = readWholeFile(file);
    if (!text) {
        std::map<int, StoreSettings> all;
        for (const auto& [type, store] : stores_)
            all[type] = store.settings;
        const std::string defaults = settingsText(all);
        if (!orka::platform::writeFileAtomically(file, defaults.data(), defaults.size()))
            warnings_.push_back("cannot write " + file.string());
        return;
    }
    applySettings(*text, file.string());
}

fs::path HandsetStore::storeDir(int type) const { return *dir_ / ("store" + std::to_string(type)); }
fs::path HandsetStore::itemDir(int type, int index) const
{
    return storeDir(type) / ("item" + std::to_string(index));
}

void HandsetStore::load(int type, Store& store)
{
    const fs::path folder = storeDir(type);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        auto index = numberBetween(name, "item", "");
        if (!entry.is_directory() || !index || *index < 1 || *index > store.settings.capacity) {
            warnings_.push_back("skipped " + entry.path().string());
            continue;
        }
        loadItem(type, store, entry.path(), *index);
    }
}

void HandsetStore::loadItem(int type, Store& store, const fs::path& dir, int index)
{
    Item item;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == nameFileName) {
            auto text = readWholeFile(entry.path());
            std::string trimmed = text ? *text : std::string();
            while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back())))
                trimmed.pop_back();
            auto bytes = fromHex(trimmed);
            if (bytes && bytes->size() % 2 == 0 && bytes->size() <= 2 * maxNameUnits)
                item.name = std::move(*bytes);
            else
                warnings_.push_back("skipped " + entry.path().string());
            continue;
        }
        auto part = numberBetween(name, "part", ".bin");
        if (!part || checkAddress(type, index, *part) != StoreError::None) {
            warnings_.push_back("skipped " + entry.path().string());
            continue;
        }
        auto text = readWholeFile(entry.path());
        if (!text || text->empty()) {
            warnings_.push_back("skipped " + entry.path().string());
            continue;
        }
        item.parts[*part] = Bytes(text->begin(), text->end());
    }
    if (!item.parts.empty())
        store.items[index] = std::move(item);
}

const StoreSettings* HandsetStore::settings(int type) const
{
    auto it = stores_.find(type);
    return it == stores_.end() ? nullptr : &it->second.settings;
}

StoreError HandsetStore::checkAddress(int type, int index, int part) const
{
    const StoreSettings* s = settings(type);
    if (!s)
        return StoreError::UnknownType;
    if (index < 1 || index > s->capacity)
        return StoreError::InvalidIndex;
    if (s->shape == ItemShape::OnePart ? part != 0 : (part < 1 || part > s->maxParts))
        return StoreError::InvalidIndex;
    return StoreError::None;
}

std::vector<int> HandsetStore::freeIndexes(int type) const
{
    std::vector<int> list;
    auto it = stores_.find(type);
    if (it == stores_.end())
        return list;
    for (int i = 1; i <= it->second.settings.capacity; ++i)
        if (!it->second.items.count(i))
            list.push_back(i);
    return list;
}

std::vector<int> HandsetStore::usedIndexes(int type) const
{
    std::vector<int> list;
    auto it = stores_.find(type);
    if (it != stores_.end())
        for (const auto& [index, item] : it->second.items)
            list.push_back(index);
    return list;
}

std::uint64_t HandsetStore::usedBytes(int type) const
{
    std::uint64_t total = 0;
    auto it = stores_.find(type);
    if (it != stores_.end())
        for (const auto& [index, item] : it->second.items)
            for (const auto& [part, bytes] : item.parts)
                total += bytes.size();
    return total;
}

std::uint64_t HandsetStore::freeBytes(int type) const
{
    const StoreSettings* s = settings(type);
    if (!s)
        return 0;
    std::uint64_t used = usedBytes(type);
    return used >= s->memory ? 0 : s->memory - used;
}

const Bytes* HandsetStore::part(int type, int index, int partNumber) const
{
    auto store = stores_.find(type);
    if (store == stores_.end())
        return nullptr;
    auto item = store->second.items.find(index);
    if (item == store->second.items.end())
        return nullptr;
    auto p = item->second.parts.find(partNumber);
    return p == item->second.parts.end() ? nullptr : &p->second;
}

std::uint64_t HandsetStore::roomFor(int type, int index, int partNumber) const
{
    const StoreSettings* s = settings(type);
    if (!s)
        return 0;
    std::uint64_t released = 0;
    auto item = stores_.at(type).items.find(index);
    if (item != stores_.at(type).items.end()) {
        for (const auto& [p, bytes] : item->second.parts)
            // A new set replaces the whole old set; otherwise only the part itself is replaced.
            if (p == partNumber || (s->shape == ItemShape::Set && partNumber == 1))
                released += bytes.size();
    }
    return freeBytes(type) + released;
}

StoreError HandsetStore::writePart(int type, int index, int partNumber, Bytes data)
{
    if (StoreError e = checkAddress(type, index, partNumber); e != StoreError::None)
        return e;
    if (data.size() > roomFor(type, index, partNumber))
        return StoreError::Full;
    Store& store = stores_.at(type);
    Item& item = store.items[index];
    if (store.settings.shape == ItemShape::Set && partNumber == 1) {
        for (const auto& [p, bytes] : item.parts)
            if (p != 1 && dir_)
                eraseFile(itemDir(type, index) / ("part" + std::to_string(p) + ".bin"));
        std::erase_if(item.parts, [](const auto& entry) { return entry.first != 1; });
    }
    const bool fresh = item.parts.empty();
    if (fresh && dir_)
        eraseFile(itemDir(type, index) / nameFileName); // a new item starts without a name
    if (fresh)
        item.name.clear();
    if (dir_ && !persistPart(type, index, partNumber, data)) {
        if (fresh)
            store.items.erase(index);
        return StoreError::Io;
    }
    item.parts[partNumber] = std::move(data);
    ++generation_;
    return StoreError::None;
}

StoreError HandsetStore::remove(int type, int index, int partNumber)
{
    if (!hasType(type))
        return StoreError::UnknownType;
    const StoreSettings& s = *settings(type);
    if (index < 1 || index > s.capacity || partNumber < 0 || partNumber > s.maxParts)
        return StoreError::InvalidIndex;
    Store& store = stores_.at(type);
    auto item = store.items.find(index);
    if (item == store.items.end())
        return StoreError::NotFound;
    if (partNumber != 0) {
        auto p = item->second.parts.find(partNumber);
        if (p == item->second.parts.end())
            return StoreError::NotFound;
        if (dir_)
            eraseFile(itemDir(type, index) / ("part" + std::to_string(partNumber) + ".bin"));
        item->second.parts.erase(p);
        ++generation_;
        if (!item->second.parts.empty())
            return StoreError::None;
    }
    if (dir_) {
        std::error_code ec;
        fs::remove_all(itemDir(type, index), ec);
    }
    store.items.erase(item);
    ++generation_;
    return StoreError::None;
}

StoreError HandsetStore::name(int type, int index, Bytes& out) const
{
    if (!hasType(type))
        return StoreError::UnknownType;
    if (index < 1 || index > settings(type)->capacity)
        return StoreError::InvalidIndex;
    const auto& items = stores_.at(type).items;
    auto item = items.find(index);
    if (item == items.end())
        return StoreError::NotFound;
    out = item->second.name;
    return StoreError::None;
}

StoreError HandsetStore::setName(int type, int index, Bytes utf16le)
{
    if (!hasType(type))
        return StoreError::UnknownType;
    if (index < 1 || index > settings(type)->capacity)
        return StoreError::InvalidIndex;
    auto& items = stores_.at(type).items;
    auto item = items.find(index);
    if (item == items.end())
        return StoreError::NotFound;
    if (utf16le.size() > 2 * maxNameUnits)
        return StoreError::NameTooLong;
    if (dir_ && !persistName(type, index, utf16le))
        return StoreError::Io;
    item->second.name = std::move(utf16le);
    ++generation_;
    return StoreError::None;
}

void HandsetStore::showPreview(int type, int partNumber, Bytes data)
{
    if (dir_) {
        const fs::path file = *dir_ / "preview" / ("store" + std::to_string(type) + "-part" + std::to_string(partNumber) + ".bin");
        if (!orka::platform::writeFileAtomically(file, data.data(), data.size()))
            warnings_.push_back("cannot write " + file.string());
    }
    preview_ = std::move(data);
}

bool HandsetStore::persistPart(int type, int index, int partNumber, const Bytes& data) const
{
    return orka::platform::writeFileAtomically(itemDir(type, index) / ("part" + std::to_string(partNumber) + ".bin"),
                                               data.data(), data.size());
}

bool HandsetStore::persistName(int type, int index, const Bytes& name) const
{
    const fs::path file = itemDir(type, index) / nameFileName;
    if (name.empty()) {
        eraseFile(file);
        return true;
    }
    std::string text = toHex(name) + "\n";
    return orka::platform::writeFileAtomically(file, text.data(), text.size());
}

void HandsetStore::eraseFile(const fs::path& path) const
{
    std::error_code ec;
    fs::remove(path, ec);
}

} // namespace q5sim
