#include "EngineLink.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace orka::engine {

void traceReceivedRaw(const std::string& text)
{
    traceLine("", "\n<*Recv*>" + text + "<*End Recv*>\n");
}

void traceLine(const char* direction, const std::string& text)
{
    static const char* path = std::getenv("ORKA_ENGINE_TRACE");
    if (!path || !*path)
        return;
    static std::mutex lock;
    std::lock_guard guard(lock);
    if (std::FILE* f = std::fopen(path, "a")) {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch()).count();
        std::fprintf(f, "%lld %s ", static_cast<long long>(ms), direction);
        for (unsigned char c : text) {
            if (c == '\r') std::fputs("\\r", f);
            else if (c == '\n') std::fputs("\\n", f);
            else if (c < 0x20) std::fprintf(f, "\\x%02X", c);
            else std::fputc(c, f);
        }
        std::fputc('\n', f);
        std::fclose(f);
    }
}

} // namespace orka::engine
