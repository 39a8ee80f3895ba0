#include "orka/platform/Library.h"

#include <cctype>
#include <climits>
#include <dlfcn.h>
#include <unistd.h>

namespace orka::platform {

Library::~Library() { unload(); }

Library::Library(Library&& other) noexcept : handle_(other.handle_), error_(std::move(other.error_))
{
    other.handle_ = nullptr;
}

Library& Library::operator=(Library&& other) noexcept
{
    if (this != &other) {
        unload();
        handle_ = other.handle_;
        error_ = std::move(other.error_);
        other.handle_ = nullptr;
    }
    return *this;
}

std::string Library::sharedObjectName(const std::string& windowsName)
{
    std::string base = windowsName;
    auto slash = base.find_last_of("/\\");
    if (slash != std::string::npos)
        base = base.substr(slash + 1);
    if (base.size() > 3 && base.compare(base.size() - 3, 3, ".so") == 0)
        return base;
    auto dot = base.find_last_of('.');
    if (dot != std::string::npos) {
        std::string ext = base.substr(dot + 1);
        for (auto& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == "dll")
            base = base.substr(0, dot);
    }
    return "lib" + base + ".so";
}

std::string Library::executableDir()
{
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool Library::load(const std::string& windowsName)
{
    unload();
    const std::string so = sharedObjectName(windowsName);
    const std::string local = executableDir() + "/" + so;
    handle_ = ::dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        handle_ = ::dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : "cannot load " + so;
        return false;
    }
    error_.clear();
    return true;
}

void Library::unload()
{
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* Library::symbol(const char* name) const
{
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

} // namespace orka::platform
