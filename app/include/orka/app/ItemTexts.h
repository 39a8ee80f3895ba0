#pragma once
// What the list view shows of an item, and the three orders the arrange commands give.
#include "orka/app/GalleryModel.h"

#include <string>
#include <vector>

namespace orka::app {

// Month/day/yy hh:mm with AM below noon (midnight shows 00) and PM from noon (12, then 01...),
// in local time.
std::string dateText(FileTime stamp);
// The size in kilobytes with one decimal: "7.4 KB".
std::string sizeText(const GalleryItem& item);
// The type column by the folder the item is in.
std::string typeText(const FolderNode& folder, const GalleryItem& item);

enum class ArrangeOrder { ByName = 32782, BySize = 32781, ByDate = 32963 };
// Reorders the items in place, ascending: names without surrounding blanks compared without
// regard to case, sizes, or time stamps oldest first.
void arrangeItems(std::vector<GalleryItem>& items, ArrangeOrder order);

} // namespace orka::app
