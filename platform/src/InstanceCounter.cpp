// The counter lives in a POSIX shared memory object. The system keeps no count of the
// processes using it, so two open-file-description locks on the object do that:
//  - the alive lock (byte 1): every joined process holds it shared for its whole life; the
//    system drops it when the process ends, however it ends;
//  - the gate lock (byte 0): held exclusively for the few steps of joining and leaving, so
//    that "is anyone alive?" and the change that follows are one step for everyone else.
// A joiner that gets the alive lock exclusively knows no copy is left and starts the count
// afresh; the last one to leave normally also removes the object.
#include "orka/platform/InstanceCounter.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orka::platform {
namespace {

constexpr off_t kGateByte = 0;
constexpr off_t kAliveByte = 1;
constexpr int kJoinAttempts = 100;

bool lockByte(int fd, off_t byte, short type, bool wait)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    int rc;
    do
        rc = ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

std::string objectName(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += (c == '/') ? '_' : c;
    return "/orka-" + std::to_string(::getuid()) + "-" + safe;
}

std::atomic_ref<std::int32_t> shared(std::int32_t* counter) { return std::atomic_ref<std::int32_t>(*counter); }

} // namespace

InstanceCounter::InstanceCounter(const std::string& name)
{
    objectName_ = objectName(name);
    const std::string& object = objectName_;
    for (int attempt = 0; attempt < kJoinAttempts; ++attempt) {
        int fd = ::shm_open(object.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        struct stat st {};
        if (!lockByte(fd, kGateByte, F_WRLCK, true) || ::fstat(fd, &st) != 0) {
            ::close(fd);
            return;
        }
        if (st.st_nlink == 0) {
            // The last copy removed this object while we waited at its gate: take the new one.
            ::close(fd);
            continue;
        }
        void* memory = MAP_FAILED;
        if (st.st_size >= off_t{sizeof(std::int32_t)} || ::ftruncate(fd, sizeof(std::int32_t)) == 0)
            memory = ::mmap(nullptr, sizeof(std::int32_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (memory == MAP_FAILED) {
            ::close(fd);
            return;
        }
        auto* counter = static_cast<std::int32_t*>(memory);
        // Only gate holders ever hold the alive lock exclusively, so getting it means that
        // no joined process is left: whatever the counter says was left by ended copies.
        if (lockByte(fd, kAliveByte, F_WRLCK, false))
            shared(counter).store(0);
        if (!lockByte(fd, kAliveByte, F_RDLCK, false)) {
            ::munmap(memory, sizeof(std::int32_t));
            ::close(fd);
            return;
        }
        joinValue_ = shared(counter).fetch_add(1) + 1;
        lockByte(fd, kGateByte, F_UNLCK, false);
        fd_ = fd;
        counter_ = counter;
        return;
    }
}

InstanceCounter::~InstanceCounter()
{
    if (!counter_)
        return;
    if (lockByte(fd_, kGateByte, F_WRLCK, true) && lockByte(fd_, kAliveByte, F_WRLCK, false))
        ::shm_unlink(objectName_.c_str());
    ::munmap(counter_, sizeof(std::int32_t));
    ::close(fd_); // drops both locks
}

std::int32_t InstanceCounter::current() const { return counter_ ? shared(counter_).load() : 0; }

void InstanceCounter::store(std::int32_t value)
{
    if (counter_)
        shared(counter_).store(value);
}

} // namespace orka::platform
