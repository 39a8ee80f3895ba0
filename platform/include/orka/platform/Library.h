#pragma once
// Loads a shared library by its Windows name ("Melconv.DLL" -> libMelconv.so), looking
// next to the running executable first, then on the normal dynamic-loader path.
#include <string>

namespace orka::platform {

class Library {
public:
    Library() = default;
    explicit Library(const std::string& windowsName) { load(windowsName); }
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    Library(Library&& other) noexcept;
    Library& operator=(Library&& other) noexcept;

    bool load(const std::string& windowsName);
    void unload();
    bool isLoaded() const { return handle_ != nullptr; }
    // The address of an exported symbol, or nullptr.
    void* symbol(const char* name) const;
    template <typename Fn> Fn function(const char* name) const { return reinterpret_cast<Fn>(symbol(name)); }
    const std::string& error() const { return error_; }

    // "Melconv.DLL" -> "libMelconv.so"; a name that already ends in ".so" is kept.
    static std::string sharedObjectName(const std::string& windowsName);
    // The folder of the running executable.
    static std::string executableDir();

private:
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace orka::platform
