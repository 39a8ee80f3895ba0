#include "orka/app/GalleryModel.h"

#include "orka/app/ItemTexts.h"

#include <chrono>

namespace orka::app {
namespace {

constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

} // namespace

const CategoryRow* findCategoryRow(int categoryId)
{
    for (std::size_t row = 1; row < kCategoryTable.size(); ++row)
        if (kCategoryTable[row].id == categoryId)
            return &kCategoryTable[row];
    return nullptr;
}

FileTime FileTime::fromUnixSeconds(std::int64_t seconds)
{
    return fromValue(std::uint64_t((seconds + kSecondsFrom1601To1970) * kFileTimeTicksPerSecond));
}

std::int64_t FileTime::unixSeconds() const
{
    return std::int64_t(value() / kFileTimeTicksPerSecond) - kSecondsFrom1601To1970;
}

FileTime FileTime::now()
{
    using namespace std::chrono;
    const auto ticks = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() * 10;
    return fromValue(std::uint64_t(ticks + kSecondsFrom1601To1970 * kFileTimeTicksPerSecond));
}

GalleryItem GalleryItem::make(std::string name, ItemContent content)
{
    GalleryItem item;
    item.name = std::move(name);
    item.stamp = FileTime::now();
    item.dateText = orka::app::dateText(item.stamp);
    item.content = std::move(content);
    return item;
}

std::size_t GalleryItem::sizeBytes() const
{
    struct Size {
        std::size_t operator()(const PictureContent& p) const { return p.bitmap.pixels.size(); }
        std::size_t operator()(const AnimationContent& a) const
        {
            std::size_t sum = 0;
            for (const auto& f : a.frames)
                sum += f.bitmap.pixels.size();
            return sum;
        }
        std::size_t operator()(const MelodyContent& m) const { return m.data.size(); }
    };
    return std::visit(Size{}, content);
}

FolderNode& CategoryNode::insertFolder(std::unique_ptr<FolderNode> folder)
{
    auto at = folders.empty() ? folders.end() : folders.end() - 1;
    return **folders.insert(at, std::move(folder));
}

FolderNode* CategoryNode::findFolder(int folderId) const
{
    for (const auto& f : folders)
        if (f->id == folderId)
            return f.get();
    return nullptr;
}

} // namespace orka::app
