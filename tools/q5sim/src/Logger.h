#pragma once
// The simulator's trace: every line received and sent, with a timestamp and the link
// it went over, to a file and (verbose) to stderr.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace q5sim {

class Logger {
public:
    Logger() = default;
    // Throws std::runtime_error when the file cannot be opened for appending.
    Logger(const std::optional<std::filesystem::path>& file, bool verbose);

    void received(std::string_view link, std::string_view line) { write(link, "<-", line); }
    void sent(std::string_view link, std::string_view line) { write(link, "->", line); }
    void note(std::string_view link, std::string_view text) { write(link, "**", text); }

    // Control characters and bytes above 0x7E appear as \xNN so a log stays one line per line.
    static std::string printable(std::string_view bytes);

private:
    void write(std::string_view link, std::string_view arrow, std::string_view text);

    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file_;
    bool verbose_ = false;
};

} // namespace q5sim
