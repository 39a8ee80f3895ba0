#include "orka/smaf/SmafPlayer.h"

#include "orka/platform/StatePaths.h"
#include "orka/resources/VoiceBank.h"

namespace orka::smaf {

CSmafPlayer::CSmafPlayer(SmafPlayerOwner* owner, std::unique_ptr<platform::WaveOut> device,
                         std::span<const std::uint8_t> builtinBank, const std::filesystem::path& driversDir)
    : owner_(owner), renderer_(builtinBank, driversDir), block_(2 * kBufferBytes, 0), device_(std::move(device))
{
    auto done = [this](int buffer) { onBufferDone(buffer); };
    if (!device_ || !device_->open(platform::WaveFormat{}, done)) {
        device_ = platform::createNullWaveOut();
        device_->open(platform::WaveFormat{}, done);
    }
    for (int i = 0; i < 2; ++i)
        device_->prepare(i, std::span(block_).subspan(i * kBufferBytes, kBufferBytes));
    for (int i = 0; i < 2; ++i)
        device_->write(i, kBufferBytes);
}

std::unique_ptr<CSmafPlayer> CSmafPlayer::createDefault(SmafPlayerOwner* owner)
{
    return std::make_unique<CSmafPlayer>(owner, platform::createDefaultWaveOut(), resources::embeddedVoiceBank(),
                                         platform::StatePaths::driversDir());
}

CSmafPlayer::~CSmafPlayer()
{
    // No callback may run once the members it uses start going away.
    device_->close();
}

void CSmafPlayer::setData(std::span<const std::uint8_t> bytes)
{
    std::lock_guard lock(mutex_);
    data_.assign(bytes.begin(), bytes.end());
}

void CSmafPlayer::setLooping(bool on)
{
    std::lock_guard lock(mutex_);
    renderer_.setLooping(on);
}

bool CSmafPlayer::play()
{
    {
        std::lock_guard lock(mutex_);
        if (!renderer_.start(data_)) {
            lastError_.store(renderer_.lastError());
            return false;
        }
        lastError_.store(PrepareError::kNone);
        state_.store(kPlaying);
    }
    device_->restart();
    return true;
}

void CSmafPlayer::stop()
{
    if (owner_)
        owner_->onSmafEnd();
    std::lock_guard lock(mutex_);
    renderer_.clear();
    state_.store(kStopped);
}

RenderResult CSmafPlayer::render(std::uint8_t* buffer, std::size_t bytes)
{
    std::lock_guard lock(mutex_);
    return renderer_.render(buffer, bytes);
}

void CSmafPlayer::onBufferDone(int buffer)
{
    std::uint8_t* memory = block_.data() + static_cast<std::size_t>(buffer) * kBufferBytes;
    bool ended = false;
    RenderResult r;
    {
        std::lock_guard lock(mutex_);
        r = renderer_.render(memory, kBufferBytes);
        if (state_.load() == kPlaying && r.ended) {
            renderer_.clear();
            state_.store(kStopped);
            ended = true;
        }
    }
    if (ended) {
        // The end of the piece is still played; then the device waits for the next Play.
        device_->write(buffer, r.bytes);
        device_->pause();
        if (owner_)
            owner_->onSmafEnd();
    } else {
        device_->write(buffer, kBufferBytes);
    }
}

} // namespace orka::smaf
