// Writes the benchmark piece: smaf_bench_gen OUT.mmf OUT.mid
#include "DensePiece.h"

#include <cstdio>

namespace {
bool save(const char* path, const orka::smaf::test::Bytes& b)
{
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: smaf_bench_gen OUT.mmf OUT.mid\n");
        return 2;
    }
    return save(argv[1], orka::smaf::bench::denseSmaf()) && save(argv[2], orka::smaf::bench::denseMidi()) ? 0 : 1;
}
