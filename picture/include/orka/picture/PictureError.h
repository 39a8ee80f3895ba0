#pragma once
// The one error object of the picture codecs: the cores' Failure (a message from the string
// table and its detail) with a numeric code, and the source file number and line where it
// was raised.
#include "orka/Failure.h"

#include <cstdint>
#include <new>
#include <string>
#include <utility>

namespace orka {

// Message ids of the picture texts (resources/strings/picture.tsv).
enum class PictureMessage : unsigned {
    BadArguments = 61100,   // "參數錯誤."
    Internal = 61101,       // "內部運作錯誤."
    BadFormat = 61102,      // "檔案格式不正確."
    Unsupported = 61103,    // "檔案格式不支援."
    OutOfMemory = 61104,    // "記憶體不足."
    NoImageData = 61105,    // "指定的檔案未包含任何的影像資料."
    TooFewFrames = 61106,   // "非有效動畫檔案，畫格數少於5。"
    OpenFailed = 61107,     // "開啟檔案"%s"失敗"
    WriteFailed = 61108,    // "寫入檔案"%s"失敗"
};

// Where an error was raised, so a report names the codec.
enum class PictureSource : int { Dib = 1, Jpeg = 2, Gif = 3, Bmp = 4, File = 5, Package = 6, Animation = 7 };

class PictureError : public Failure {
public:
    // `line` defaults to the line of the raise (a compiler built-in both GCC and Clang have).
    PictureError(PictureMessage message, PictureSource source, std::string argument = {},
                 unsigned line = __builtin_LINE());

    PictureMessage message() const { return message_; }
    int code() const { return static_cast<int>(message_) - 61100 + 1; }
    PictureSource source() const { return source_; }
    unsigned line() const { return line_; }

private:
    PictureMessage message_;
    PictureSource source_;
    unsigned line_;
};

// Runs `work`, turning a failed allocation anywhere inside into "記憶體不足.".
template <typename Work>
auto guardMemory(PictureSource source, Work&& work) -> decltype(work())
{
    try {
        return std::forward<Work>(work)();
    } catch (const std::bad_alloc&) {
        throw PictureError(PictureMessage::OutOfMemory, source);
    }
}

// The most pixels a picture may have, whatever its shape (a 20000 x 1 strip is fine); larger
// declared sizes are refused as not supported before anything is allocated. A size within it
// that the memory cannot hold fails as "記憶體不足.".
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{16384} * 16384;

inline bool pictureSizeSupported(std::uint64_t width, std::uint64_t height)
{
    return width <= kMaxPicturePixels && height <= kMaxPicturePixels && width * height <= kMaxPicturePixels;
}

} // namespace orka
