// Replays files (or every file in the folders) given on the command line through a
// libFuzzer entry point, so fuzz targets build and run with any compiler.
//
// A replay that reads nothing proves nothing, so a missing path, an unreadable file, a folder
// without files or no path at all ends the run with status 1 instead of passing quietly.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

// The inputs replayed from one command-line path, or -1 when the path gives none.
int replayPath(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
        return replay(path) ? 1 : -1;
    if (!std::filesystem::is_directory(path, ec)) {
        std::fprintf(stderr, "no such corpus: %s\n", path.c_str());
        return -1;
    }
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path, ec)) {
        if (!entry.is_regular_file())
            continue;
        if (!replay(entry.path()))
            return -1;
        ++count;
    }
    if (ec || count == 0) {
        std::fprintf(stderr, "empty corpus: %s\n", path.c_str());
        return -1;
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS-FILE-OR-FOLDER...\n", argv[0]);
        return 1;
    }
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const int replayed = replayPath(argv[i]);
        if (replayed < 0)
            return 1;
        count += replayed;
    }
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::printf("replayed %d inputs\n", count);
    return 0;
}
