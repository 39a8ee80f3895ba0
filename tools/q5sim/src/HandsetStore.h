#pragma once
// The handset's typed stores: for each store type its shape and size, the items by
// index, each item's parts and its name. With a directory the stores persist there
// (stores.txt with the sizes of all stores, one folder per store, one per item, one
// file per part); without one they live in
// memory only.
#include "HexText.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace q5sim {

// How the items of a store are made up.
enum class ItemShape {
    OnePart, // each item is part 0
    Frames,  // parts 1..maxParts of any item (the animation frames)
    Set,     // one item (index 1) with parts 1..maxParts; writing part 1 starts a new set
};

struct StoreSettings {
    ItemShape shape = ItemShape::OnePart;
    int capacity = 1;           // indexes run from 1 to capacity
    int maxParts = 0;           // highest part number (0 for one-part stores)
    std::uint32_t memory = 0;   // bytes the store may hold in all
};

// Why a store operation was refused; the protocol maps each to a handset error number.
enum class StoreError {
    None,
    UnknownType,
    InvalidIndex, // index or part outside what the store allows
    NotFound,
    Full,
    NameTooLong,
    Io,           // the backing file could not be written
};

class HandsetStore {
public:
    static constexpr int maxNameUnits = 20; // UTF-16 code units of an item name

    // The store types a Q5 keeps, in ascending order.
    static const std::vector<int>& types();
    static StoreSettings defaultSettings(int type);

    // Loads (or creates) the stores under dir; std::nullopt keeps everything in memory.
    explicit HandsetStore(std::optional<std::filesystem::path> dir);

    // Takes the sizes from a settings text ("type capacity parts memory" a line), before
    // any item is loaded; lines that do not fit are noted in the warnings under the origin.
    void applySettings(std::string_view text, const std::string& origin);

    bool hasType(int type) const { return stores_.count(type) != 0; }
    const StoreSettings* settings(int type) const;
    StoreError checkAddress(int type, int index, int part) const;

    std::vector<int> freeIndexes(int type) const;
    std::vector<int> usedIndexes(int type) const;
    std::uint64_t usedBytes(int type) const;
    std::uint64_t freeBytes(int type) const;

    const Bytes* part(int type, int index, int part) const;
    // Free bytes a write of this part would find (the old bytes of the part count as free).
    std::uint64_t roomFor(int type, int index, int part) const;
    StoreError writePart(int type, int index, int part, Bytes data);
    // Part 0 removes the whole item; another part removes that part (and the item with its last part).
    StoreError remove(int type, int index, int part);

    StoreError name(int type, int index, Bytes& out) const;
    StoreError setName(int type, int index, Bytes utf16le);

    // Grows with every change of items or names, whoever makes it.
    std::uint64_t generation() const { return generation_; }

    // What the handset shows on its screen after a preview (kept in dir/preview/ too).
    void showPreview(int type, int part, Bytes data);
    const Bytes& lastPreview() const { return preview_; }

    // Messages about files that were skipped while loading.
    const std::vector<std::string>& loadWarnings() const { return warnings_; }

private:
    struct Item {
        std::map<int, Bytes> parts;
        Bytes name; // UTF-16LE
    };
    struct Store {
        StoreSettings settings;
        std::map<int, Item> items;
    };

    std::filesystem::path storeDir(int type) const;
    std::filesystem::path itemDir(int type, int index) const;
    void loadSettings();
    void load(int type, Store& store);
    void loadItem(int type, Store& store, const std::filesystem::path& dir, int index);
    bool persistPart(int type, int index, int part, const Bytes& data) const;
    bool persistName(int type, int index, const Bytes& name) const;
    void eraseFile(const std::filesystem::path& path) const;

    std::optional<std::filesystem::path> dir_;
    std::map<int, Store> stores_;
    std::vector<std::string> warnings_;
    Bytes preview_;
    std::uint64_t generation_ = 0;
};

} // namespace q5sim
