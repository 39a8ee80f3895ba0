#pragma once
// A counter of running copies of a program, shared by every process that joins it under one
// name. Joining increments it; nothing decrements it; it is back at 0 whenever no joined
// process is left, also when they ended by a crash.
#include <cstdint>
#include <string>

namespace orka::platform {

class InstanceCounter {
public:
    // Joins the counter called `name` (a short word; one counter per name and user).
    // joined() is false when the shared memory cannot be had.
    explicit InstanceCounter(const std::string& name);
    ~InstanceCounter();
    InstanceCounter(const InstanceCounter&) = delete;
    InstanceCounter& operator=(const InstanceCounter&) = delete;

    bool joined() const { return counter_ != nullptr; }
    // The value this process's increment produced (1 for the first copy); 0 when not joined.
    std::int32_t joinValue() const { return joinValue_; }
    std::int32_t current() const;
    // One plain store, as a second copy makes once it has handed over to the first.
    void store(std::int32_t value);

private:
    std::string objectName_;
    int fd_ = -1;
    std::int32_t* counter_ = nullptr;
    std::int32_t joinValue_ = 0;
};

} // namespace orka::platform
