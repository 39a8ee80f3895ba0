#pragma once
// Owns one result of the phone link library and gives it back with PIOFreeMemory when it goes
// out of scope, so no caller leaks a result or frees one twice.
#include "orka/pio.h"

#include <string>

namespace orka {

class PioResultHandle {
public:
    explicit PioResultHandle(unsigned long handle) : handle_(handle) {}
    ~PioResultHandle() { PIOFreeMemory(handle_); }
    PioResultHandle(const PioResultHandle&) = delete;
    PioResultHandle& operator=(const PioResultHandle&) = delete;

    bool exists() const { return handle_ != 0; }
    const PIOResult* get() const { return reinterpret_cast<const PIOResult*>(handle_); }
    const PIOResult* operator->() const { return get(); }
    bool ok() const { return handle_ && get()->ok == 1; }
    // The command's data, as the kind of record it returns; null unless the command succeeded.
    template <class T> const T* data() const { return ok() ? static_cast<const T*>(get()->data) : nullptr; }
    // The engine's text of a failed command, or `whenNone` where it gave none (a plain ERROR).
    std::string failureText(const std::string& whenNone = {}) const
    {
        if (!handle_ || ok() || !get()->data)
            return whenNone;
        return static_cast<const char*>(get()->data);
    }

private:
    unsigned long handle_;
};

} // namespace orka
