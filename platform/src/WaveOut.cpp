#include "WaveOutQueue.h"

#include "orka/platform/StatePaths.h"

#include <chrono>

namespace orka::platform {

QueuedWaveOut::~QueuedWaveOut()
{
    // Derived backends close in their own destructors; this is the last safety net.
    close();
}

bool QueuedWaveOut::open(const WaveFormat& format, BufferDone done)
{
    std::lock_guard lock(mutex_);
    if (opened_)
        return false;
    format_ = format;
    if (!openDevice(format))
        return false;
    done_ = std::move(done);
    opened_ = true;
    stop_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void QueuedWaveOut::prepare(int buffer, std::span<std::uint8_t> memory)
{
    std::lock_guard lock(mutex_);
    if (buffer >= 0 && buffer < kMaxBuffers)
        buffers_[buffer] = memory;
}

bool QueuedWaveOut::write(int buffer, std::size_t bytes)
{
    std::lock_guard lock(mutex_);
    if (!opened_ || buffer < 0 || buffer >= kMaxBuffers || bytes > buffers_[buffer].size())
        return false;
    queue_.push_back(Written{buffer, bytes, !paused_});
    wake_.notify_all();
    return true;
}

void QueuedWaveOut::pause()
{
    std::lock_guard lock(mutex_);
    paused_ = true;
}

void QueuedWaveOut::restart()
{
    std::lock_guard lock(mutex_);
    paused_ = false;
    wake_.notify_all();
}

bool QueuedWaveOut::stopping() const
{
    std::lock_guard lock(mutex_);
    return stop_;
}

void QueuedWaveOut::close()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
    std::deque<Written> left;
    bool wasOpen = false;
    {
        std::lock_guard lock(mutex_);
        left.swap(queue_);
        wasOpen = opened_;
    }
    if (wasOpen && drainOnClose())
        for (const Written& w : left)
            consume(buffers_[w.buffer].first(w.bytes), w.whileRunning);
    std::lock_guard lock(mutex_);
    if (opened_) {
        opened_ = false;
        closeDevice();
    }
}

void QueuedWaveOut::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty() || (!paused_ && !heldDone_.empty()); });
        if (stop_)
            return;
        if (!paused_ && !heldDone_.empty()) {
            const int buffer = heldDone_.front();
            heldDone_.pop_front();
            lock.unlock();
            done_(buffer);
            lock.lock();
            continue;
        }
        const Written w = queue_.front();
        const int buffer = w.buffer;
        queue_.pop_front();
        const std::span<const std::uint8_t> memory = buffers_[buffer].first(w.bytes);
        lock.unlock();
        consume(memory, w.whileRunning);
        lock.lock();
        if (stop_)
            return;
        if (paused_) {
            heldDone_.push_back(buffer);
            continue;
        }
        lock.unlock();
        done_(buffer);
        lock.lock();
    }
}

namespace {

class NullWaveOut final : public QueuedWaveOut {
public:
    NullWaveOut() : QueuedWaveOut(false) {}
    ~NullWaveOut() override { close(); }
    bool audible() const override { return false; }
    std::string name() const override { return "none"; }

protected:
    bool openDevice(const WaveFormat&) override
    {
        next_ = std::chrono::steady_clock::now();
        return true;
    }
    // Takes the buffer at the pace a real device would, so playing lasts as long as the piece.
    void consume(std::span<const std::uint8_t> bytes, bool) override
    {
        const auto frames = static_cast<std::int64_t>(bytes.size() / static_cast<std::size_t>(format().bytesPerFrame()));
        const auto now = std::chrono::steady_clock::now();
        if (next_ < now)
            next_ = now;
        next_ += std::chrono::microseconds(frames * 1000000 / format().sampleRate);
        sleepUntil(next_);
    }

private:
    std::chrono::steady_clock::time_point next_;
};

} // namespace

std::unique_ptr<WaveOut> createNullWaveOut()
{
    return std::make_unique<NullWaveOut>();
}

std::unique_ptr<WaveOut> createDefaultWaveOut()
{
    if (auto device = createPortAudioWaveOut())
        return device;
    return createNullWaveOut();
}

} // namespace orka::platform
