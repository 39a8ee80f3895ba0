// The PortAudio backend: a callback stream on the default output device. Written buffers
// pass through a small FIFO from the device thread to PortAudio's callback.
#include "WaveOutQueue.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <cstring>
#include <vector>

namespace orka::platform {
namespace {

// Probing the host's sound systems makes ALSA and JACK print pages of complaints on a
// machine without sound hardware; they go to /dev/null while PortAudio starts.
PaError quietInitialize()
{
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0)
        ::dup2(null, STDERR_FILENO);
    const PaError err = Pa_Initialize();
    if (saved >= 0 && null >= 0)
        ::dup2(saved, STDERR_FILENO);
    if (null >= 0)
        ::close(null);
    if (saved >= 0)
        ::close(saved);
    return err;
}

// Pa_Initialize / Pa_Terminate as a scoped pair.
class PortAudioSession {
public:
    PortAudioSession() : ok_(quietInitialize() == paNoError) {}
    ~PortAudioSession()
    {
        if (ok_)
            Pa_Terminate();
    }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

class PortAudioWaveOut final : public QueuedWaveOut {
public:
    PortAudioWaveOut() : QueuedWaveOut(false) {}
    ~PortAudioWaveOut() override { close(); }
    bool audible() const override { return true; }
    std::string name() const override { return "portaudio"; }

    bool usable() const { return session_.ok() && Pa_GetDefaultOutputDevice() != paNoDevice; }

protected:
    bool openDevice(const WaveFormat& format) override
    {
        if (!usable())
            return false;
        fifo_.assign(static_cast<std::size_t>(16384), 0);
        const PaError err = Pa_OpenDefaultStream(&stream_, 0, format.channels, paInt16, format.sampleRate,
                                                 paFramesPerBufferUnspecified, &PortAudioWaveOut::callback, this);
        if (err != paNoError) {
            stream_ = nullptr;
            return false;
        }
        if (Pa_StartStream(stream_) != paNoError) {
            Pa_CloseStream(stream_);
            stream_ = nullptr;
            return false;
        }
        return true;
    }

    void consume(std::span<const std::uint8_t> bytes, bool) override
    {
        while (!bytes.empty()) {
            std::unique_lock lock(fifoMutex_);
            fifoSpace_.wait_for(lock, std::chrono::milliseconds(20), [this] { return filled_ < fifo_.size(); });
            if (stopping())
                return;
            const std::size_t room = fifo_.size() - filled_;
            const std::size_t n = std::min(room, bytes.size());
            for (std::size_t i = 0; i < n; ++i)
                fifo_[(head_ + filled_ + i) % fifo_.size()] = bytes[i];
            filled_ += n;
            bytes = bytes.subspan(n);
        }
    }

    void closeDevice() override
    {
        if (stream_) {
            Pa_StopStream(stream_);
            Pa_CloseStream(stream_);
            stream_ = nullptr;
        }
    }

private:
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self)
    {
        auto* me = static_cast<PortAudioWaveOut*>(self);
        auto* out = static_cast<std::uint8_t*>(output);
        const std::size_t wanted = frames * static_cast<std::size_t>(me->format().bytesPerFrame());
        std::size_t n = 0;
        {
            std::lock_guard lock(me->fifoMutex_);
            n = std::min(wanted, me->filled_);
            for (std::size_t i = 0; i < n; ++i)
                out[i] = me->fifo_[(me->head_ + i) % me->fifo_.size()];
            me->head_ = (me->head_ + n) % me->fifo_.size();
            me->filled_ -= n;
        }
        me->fifoSpace_.notify_all();
        std::memset(out + n, 0, wanted - n); // an underrun plays silence
        return paContinue;
    }

    PortAudioSession session_;
    PaStream* stream_ = nullptr;
    std::mutex fifoMutex_;
    std::condition_variable fifoSpace_;
    std::vector<std::uint8_t> fifo_;
    std::size_t head_ = 0;
    std::size_t filled_ = 0;
};

} // namespace

std::unique_ptr<WaveOut> createPortAudioWaveOut()
{
    auto device = std::make_unique<PortAudioWaveOut>();
    if (!device->usable())
        return nullptr;
    return device;
}

} // namespace orka::platform
