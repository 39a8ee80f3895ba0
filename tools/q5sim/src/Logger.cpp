#include "Logger.h"
#include "HexText.h"

#include <chrono>
#include <ctime>
#include <stdexcept>

namespace q5sim {

Logger::Logger(const std::optional<std::filesystem::path>& file, bool verbose)
    : verbose_(verbose)
{
    if (file) {
        file_.reset(std::fopen(file->c_str(), "a"));
        if (!file_)
            throw std::runtime_error("cannot open the log file " + file->string());
    }
}

std::string Logger::printable(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(ch);
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += "\\x";
            appendHex(out, c);
        }
    }
    return out;
}

void Logger::write(std::string_view link, std::string_view arrow, std::string_view text)
{
    if (!file_ && !verbose_)
        return;
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    const std::string line = std::string(stamp) + " " + std::string(link) + " " + std::string(arrow) + " "
        + printable(text) + "\n";
    if (file_) {
        std::fputs(line.c_str(), file_.get());
        std::fflush(file_.get());
    }
    if (verbose_)
        std::fputs(line.c_str(), stderr);
}

} // namespace q5sim
