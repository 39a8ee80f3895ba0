// Arbitrary bytes through the channel filter: Detect, then Convert into the twice-the-input
// buffer the editor gives it. What it writes must fit and must read again.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
std::int32_t SetInfo(std::uint32_t* flags);
std::int32_t Reset();
std::int32_t Detect(const std::uint8_t* smf, std::int32_t length);
std::int32_t Convert(const std::uint8_t* smf, std::int32_t length, std::uint8_t* out, std::int32_t* outLength, std::int32_t mode);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20))
        return 0;
    Reset();
    const auto length = static_cast<std::int32_t>(size);
    const bool readable = Detect(data, length) == 0;
    std::array<std::uint32_t, 16> keep{};
    for (std::size_t ch = 0; ch < 16; ++ch)
        keep[ch] = size > 0 ? (data[0] >> (ch % 8)) & 1u : 1u;
    SetInfo(keep.data());
    std::vector<std::uint8_t> out(size * 2);
    std::int32_t outLength = static_cast<std::int32_t>(out.size());
    const std::int32_t result = Convert(data, length, out.data(), &outLength, 20);
    if (result == 0) {
        if (!readable || outLength < 0 || static_cast<std::size_t>(outLength) > out.size())
            __builtin_trap();
        if (Detect(out.data(), outLength) != 0)
            __builtin_trap();
    }
    return 0;
}
