#include "orka/app/ItemTexts.h"

#include "orka/StringTable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <strings.h>

namespace orka::app {
namespace {

constexpr double kBytesToKb = 0.0009765625;
constexpr int kNoon = 12;

constexpr unsigned kStrGifImage = 65164;
constexpr unsigned kStrMidi = 65165;
constexpr unsigned kStrMmf = 65166;
constexpr unsigned kStrPicture = 65064;
constexpr unsigned kStrMainMenu = 65046;
constexpr unsigned kStrMenuEntry = 65158;

std::string trimmedBlanks(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::string dateText(FileTime stamp)
{
    const std::time_t t = static_cast<std::time_t>(stamp.unixSeconds());
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return {};
    const bool morning = local.tm_hour < kNoon;
    const int hour = morning || local.tm_hour == kNoon ? local.tm_hour : local.tm_hour - kNoon;
    char text[64];
    std::snprintf(text, sizeof text, morning ? "%d/%d/%.2d %.2d:%.2d AM" : "%d/%d/%.2d %.2d:%.2d PM",
                  local.tm_mon + 1, local.tm_mday, (local.tm_year + 1900) % 100, hour, local.tm_min);
    return text;
}

std::string sizeText(const GalleryItem& item)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1f KB", double(item.sizeBytes()) * kBytesToKb);
    return text;
}

std::string typeText(const FolderNode& folder, const GalleryItem& item)
{
    switch (categoryOf(folder.id)) {
    case 50000:
        return loadString(kStrGifImage);
    case 70000: {
        const auto* melody = std::get_if<MelodyContent>(&item.content);
        return loadString(melody && melody->isSmaf() ? kStrMmf : kStrMidi);
    }
    case kMainMenuCategory:
        if (folder.kind == FolderKind::SavedMenus)
            return loadString(kStrMainMenu) + loadString(kStrMenuEntry);
        return loadString(kStrPicture);
    default:
        return loadString(kStrPicture);
    }
}

void arrangeItems(std::vector<GalleryItem>& items, ArrangeOrder order)
{
    // A stable sort: ties keep the order they had, which the user can see as sensible.
    switch (order) {
    case ArrangeOrder::ByName:
        std::stable_sort(items.begin(), items.end(), [](const GalleryItem& a, const GalleryItem& b) {
            return ::strcasecmp(trimmedBlanks(a.name).c_str(), trimmedBlanks(b.name).c_str()) < 0;
        });
        break;
    case ArrangeOrder::BySize:
        std::stable_sort(items.begin(), items.end(),
                         [](const GalleryItem& a, const GalleryItem& b) { return a.sizeBytes() < b.sizeBytes(); });
        break;
    case ArrangeOrder::ByDate:
        std::stable_sort(items.begin(), items.end(),
                         [](const GalleryItem& a, const GalleryItem& b) { return a.stamp.value() < b.stamp.value(); });
        break;
    }
}

} // namespace orka::app
