#include "orka/app/OrkaFile.h"

#include "orka/common/ByteOrder.h"
#include "orka/platform/Codepage.h"

#include <algorithm>

namespace orka::app {
namespace {

using common::appendBE16;
using common::appendBE32;

// Reads fields front to back; every read checks that the field lies inside the bytes, and a
// failed read leaves the reader failed so that nothing after it is taken.
class FieldReader {
public:
    explicit FieldReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool failed() const { return failed_; }

    std::uint32_t number(std::size_t width)
    {
        const std::uint8_t* p = take(width);
        if (!p)
            return 0;
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < width; ++i)
            v = (v << 8) | p[i];
        return v;
    }

    // A name field: length n, then 2n bytes of which those before the first zero count.
    std::string name()
    {
        const std::size_t n = number(1);
        const std::uint8_t* p = take(2 * n);
        if (!p)
            return {};
        const auto* end = std::find(p, p + 2 * n, std::uint8_t{0});
        return nameFromAnsi(std::string(p, end));
    }

    // A short text: length m, then m bytes.
    std::string shortText()
    {
        const std::size_t m = number(1);
        const std::uint8_t* p = take(m);
        return p ? nameFromAnsi(std::string(p, p + m)) : std::string{};
    }

    bool bytes(std::size_t count, std::vector<std::uint8_t>& out)
    {
        const std::uint8_t* p = take(count);
        if (!p)
            return false;
        out.assign(p, p + count);
        return true;
    }

private:
    const std::uint8_t* take(std::size_t count)
    {
        if (failed_ || count > bytes_.size() - at_) {
            failed_ = true;
            return nullptr;
        }
        const std::uint8_t* p = bytes_.data() + at_;
        at_ += count;
        return p;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

class FieldWriter {
public:
    std::vector<std::uint8_t> out;

    void byte(unsigned v) { out.push_back(static_cast<std::uint8_t>(v)); }
    void be16(unsigned v) { appendBE16(out, static_cast<std::uint16_t>(v)); }
    void be24(std::uint32_t v)
    {
        byte(v >> 16);
        byte(v >> 8);
        byte(v);
    }
    void be32(std::uint32_t v) { appendBE32(out, v); }
    void name(const std::string& utf8)
    {
        std::string ansi = nameToAnsi(utf8);
        ansi = ansi.substr(0, std::min(ansi.find('\0'), 2 * kMaxNameBytes));
        // n bytes and n zeros; a longer name that came from a file (a reader takes up to 2n
        // bytes before a zero) goes back in the same room it came in.
        const std::size_t n = ansi.size() <= kMaxNameBytes ? ansi.size() : (ansi.size() + 1) / 2;
        byte(unsigned(n));
        out.insert(out.end(), ansi.begin(), ansi.end());
        out.insert(out.end(), 2 * n - ansi.size(), 0);
    }
    void shortText(const std::string& utf8)
    {
        const std::string ansi = nameToAnsi(utf8).substr(0, kMaxNameBytes);
        byte(unsigned(ansi.size()));
        out.insert(out.end(), ansi.begin(), ansi.end());
    }
};

// Only a 1-byte side fits the field; a larger picture cannot be stored whole.
void writeBitmapHead(FieldWriter& w, const Bitmap& b)
{
    w.byte(b.width);
    w.byte(b.height);
    w.byte(b.padding);
}

void writeBitmapPixels(FieldWriter& w, const Bitmap& b)
{
    // The reader takes exactly (w + p) x h x 3 bytes; keep the file readable even when an
    // item's buffer disagrees with its sizes.
    const std::size_t size = Bitmap::bytesFor(b.width, b.height, b.padding);
    const std::size_t kept = std::min(size, b.pixels.size());
    w.out.insert(w.out.end(), b.pixels.begin(), b.pixels.begin() + std::ptrdiff_t(kept));
    w.out.insert(w.out.end(), size - kept, 0);
}

bool readBitmap(FieldReader& r, Bitmap& b, std::uint8_t* frameValue)
{
    b.width = std::uint8_t(r.number(1));
    b.height = std::uint8_t(r.number(1));
    b.padding = std::uint8_t(r.number(1));
    if (frameValue)
        *frameValue = std::uint8_t(r.number(1));
    return !r.failed() && r.bytes(Bitmap::bytesFor(b.width, b.height, b.padding), b.pixels);
}

void writeItemHead(FieldWriter& w, const GalleryItem& item)
{
    w.name(item.name);
    w.shortText(item.dateText);
    w.be32(item.stamp.high);
    w.be32(item.stamp.low);
}

void readItemHead(FieldReader& r, GalleryItem& item)
{
    item.name = r.name();
    item.dateText = r.shortText();
    item.stamp.high = r.number(4);
    item.stamp.low = r.number(4);
}

bool isAnimationLayout(FolderKind kind) { return kind == FolderKind::Animation || kind == FolderKind::SavedMenus; }

void writeItem(FieldWriter& w, FolderKind kind, const GalleryItem& item)
{
    if (kind == FolderKind::Melody) {
        const auto* melody = std::get_if<MelodyContent>(&item.content);
        const MelodyContent empty;
        const MelodyContent& m = melody ? *melody : empty;
        w.byte(m.format);
        writeItemHead(w, item);
        const std::size_t length = std::min<std::size_t>(m.data.size(), kMaxMelodyBytes);
        w.be24(std::uint32_t(length));
        w.out.insert(w.out.end(), m.data.begin(), m.data.begin() + std::ptrdiff_t(length));
        return;
    }
    writeItemHead(w, item);
    if (isAnimationLayout(kind)) {
        const auto* animation = std::get_if<AnimationContent>(&item.content);
        const std::size_t count = animation ? std::min(animation->frames.size(), kMaxItems) : 0;
        w.be16(unsigned(count));
        for (std::size_t i = 0; i < count; ++i) {
            const AnimationFrame& f = animation->frames[i];
            writeBitmapHead(w, f.bitmap);
            w.byte(f.value);
            writeBitmapPixels(w, f.bitmap);
        }
        return;
    }
    const auto* picture = std::get_if<PictureContent>(&item.content);
    const Bitmap empty;
    const Bitmap& b = picture ? picture->bitmap : empty;
    writeBitmapHead(w, b);
    writeBitmapPixels(w, b);
}

bool readItem(FieldReader& r, FolderKind kind, GalleryItem& item)
{
    if (kind == FolderKind::Melody) {
        MelodyContent m;
        m.format = std::uint8_t(r.number(1));
        readItemHead(r, item);
        const std::uint32_t length = r.number(3);
        if (r.failed() || !r.bytes(length, m.data))
            return false;
        item.content = std::move(m);
        return true;
    }
    readItemHead(r, item);
    if (isAnimationLayout(kind)) {
        AnimationContent a;
        const std::uint32_t count = r.number(2);
        for (std::uint32_t i = 0; i < count && !r.failed(); ++i) {
            AnimationFrame f;
            if (!readBitmap(r, f.bitmap, &f.value))
                return false;
            a.frames.push_back(std::move(f));
        }
        if (r.failed())
            return false;
        item.content = std::move(a);
        return true;
    }
    PictureContent p;
    if (r.failed() || !readBitmap(r, p.bitmap, nullptr))
        return false;
    item.content = std::move(p);
    return true;
}

bool isAscii(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

// ASCII is the same in the ANSI code page and in UTF-8, and most names and every date text
// are ASCII: those skip the converter.
std::string nameToAnsi(const std::string& utf8)
{
    if (isAscii(utf8))
        return utf8;
    if (auto ansi = platform::Codepage::utf8ToAnsi(utf8))
        return *ansi;
    std::string ascii;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) // one '?' per character
            ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return ascii;
}

std::string nameFromAnsi(const std::string& ansi)
{
    if (isAscii(ansi))
        return ansi;
    if (auto utf8 = platform::Codepage::ansiToUtf8(ansi))
        return *utf8;
    std::string ascii;
    for (const char c : ansi)
        ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return ascii;
}

FolderHeader FolderHeader::of(const CategoryNode& category, const FolderNode& folder)
{
    return {category.name, category.id, category.kind, category.widthLimit, category.heightLimit,
            folder.name,   folder.id,   folder.kind};
}

std::vector<std::uint8_t> encodeTree(const TreeContent& tree)
{
    FieldWriter w;
    w.byte(kFormatMark);
    w.byte(unsigned(tree.rootId));
    w.name(tree.rootName);
    w.be16(unsigned(tree.categories.size()));
    for (const auto& category : tree.categories) {
        w.name(category.name);
        w.be24(std::uint32_t(category.id));
        w.be16(unsigned(category.folders.size()));
        for (const auto& folder : category.folders) {
            w.name(folder.name);
            w.be24(std::uint32_t(folder.id));
        }
    }
    return std::move(w.out);
}

TreeContent decodeTree(std::span<const std::uint8_t> bytes, int rootId)
{
    TreeContent tree;
    FieldReader r(bytes);
    r.number(1); // the format mark is not checked
    tree.rootId = int(r.number(1));
    if (r.failed() || tree.rootId != (rootId & 0xFF))
        return {};
    tree.rootName = r.name();
    const std::uint32_t count = r.number(2);
    for (std::uint32_t c = 0; c < count && !r.failed(); ++c) {
        TreeCategoryEntry category;
        category.name = r.name();
        category.id = int(r.number(3));
        const std::uint32_t folders = r.number(2);
        for (std::uint32_t f = 0; f < folders && !r.failed(); ++f) {
            TreeFolderEntry folder;
            folder.name = r.name();
            folder.id = int(r.number(3));
            if (!r.failed())
                category.folders.push_back(std::move(folder));
        }
        // A category cut short still gives the folders read whole before the cut.
        tree.categories.push_back(std::move(category));
    }
    return tree;
}

std::vector<std::uint8_t> encodeFolder(const FolderHeader& header, const std::vector<GalleryItem>& items)
{
    FieldWriter w;
    std::size_t estimate = 64;
    for (const auto& item : items)
        estimate += 64 + item.sizeBytes();
    w.out.reserve(estimate); // one buffer for files of megabytes
    w.byte(kFormatMark);
    w.byte(kRootId);
    w.name(header.categoryName);
    w.be24(std::uint32_t(header.categoryId));
    w.byte(unsigned(header.categoryKind));
    w.byte(unsigned(header.widthLimit));
    w.byte(unsigned(header.heightLimit));
    w.name(header.folderName);
    w.be24(std::uint32_t(header.folderId));
    const std::size_t count = std::min(items.size(), kMaxItems);
    w.be16(unsigned(count));
    for (std::size_t i = 0; i < count; ++i)
        writeItem(w, header.folderKind, items[i]);
    return std::move(w.out);
}

DecodedFolder decodeFolder(std::span<const std::uint8_t> bytes, const FolderHeader& expected)
{
    DecodedFolder folder;
    FieldReader r(bytes);
    r.number(1); // the format mark is not checked
    const bool headerMatches = r.number(1) == (kRootId & 0xFF) && (r.name(), true) &&
                               r.number(3) == std::uint32_t(expected.categoryId) &&
                               r.number(1) == unsigned(expected.categoryKind) &&
                               r.number(1) == (unsigned(expected.widthLimit) & 0xFF) &&
                               r.number(1) == (unsigned(expected.heightLimit) & 0xFF) && (r.name(), true) &&
                               r.number(3) == std::uint32_t(expected.folderId);
    if (!headerMatches || r.failed())
        return folder;
    const std::uint32_t count = r.number(2);
    if (r.failed())
        return folder;
    folder.headerMatched = true;
    for (std::uint32_t i = 0; i < count; ++i) {
        GalleryItem item;
        if (!readItem(r, expected.folderKind, item))
            break;
        folder.items.push_back(std::move(item));
    }
    return folder;
}

} // namespace orka::app
