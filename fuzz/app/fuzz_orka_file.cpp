// ".orka" files from anywhere. The first byte chooses the tree file or the folder file of one
// of the five item layouts; the rest is the file. What a reader takes from a file must write
// back and read again the same, and the written file must read whole.
#include "orka/app/OrkaFile.h"

#include <cstdint>
#include <span>

using namespace orka::app;

namespace {

struct Shape {
    int categoryId;
    int folderId;
    FolderKind folderKind;
};

constexpr Shape kShapes[] = {
    {20000, 20003, FolderKind::Picture},  {30000, 30001, FolderKind::SavedMenus}, {40000, 40003, FolderKind::Picture},
    {50000, 50003, FolderKind::Animation}, {70000, 70003, FolderKind::Melody},
};

FolderHeader headerOf(const Shape& s)
{
    const CategoryRow* row = findCategoryRow(s.categoryId);
    return {"c", s.categoryId, row->kind, row->widthLimit, row->heightLimit, "f", s.folderId, s.folderKind};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 22))
        return 0;
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    const std::size_t choice = data[0] % (std::size(kShapes) + 1);
    if (choice == std::size(kShapes)) {
        const TreeContent first = decodeTree(file);
        if (decodeTree(encodeTree(first)) != first)
            __builtin_trap();
        return 0;
    }
    const FolderHeader header = headerOf(kShapes[choice]);
    const DecodedFolder first = decodeFolder(file, header);
    if (!first.headerMatched && !first.items.empty())
        __builtin_trap();
    const DecodedFolder again = decodeFolder(encodeFolder(header, first.items), header);
    if (!again.headerMatched || again.items != first.items)
        __builtin_trap();
    return 0;
}
