#include "orka/smaf/Adpcm.h"

#include <algorithm>

namespace orka::smaf {

std::vector<std::int16_t> decodeAdpcm(std::span<const std::uint8_t> data)
{
    static constexpr std::int32_t kStepFactor[8] = {14720, 14720, 14720, 14720, 19648, 26176, 32768, 39296};
    std::vector<std::int16_t> out;
    out.reserve(data.size() * 2);
    std::int32_t value = 0;
    std::int32_t step = 127;
    auto decode = [&](unsigned code) {
        std::int32_t d = step / 8;
        if (code & 2)
            d += step / 2;
        if (code & 1)
            d += step / 4;
        if (code & 4)
            d += step;
        value = std::clamp(code & 8 ? value - d : value + d, -32768, 32767);
        step = std::clamp((step * kStepFactor[code & 7]) >> 14, 127, 24576);
        out.push_back(static_cast<std::int16_t>(value));
    };
    for (std::uint8_t b : data) {
        decode(b & 0x0F);
        decode(b >> 4);
    }
    return out;
}

int WaveStore::store(int number, std::span<const std::uint8_t> adpcm, std::uint32_t rate)
{
    if (number < 0 || number >= kEntries)
        return 0;
    if (number == 0) {
        for (int i = kFirstFree; i < kEntries; ++i)
            if (!entries_[i].samples) {
                number = i;
                break;
            }
        if (number == 0)
            return 0;
    }
    entries_[number].rate = rate;
    entries_[number].samples = std::make_shared<const std::vector<std::int16_t>>(decodeAdpcm(adpcm));
    return number;
}

void WaveStore::erase(int number)
{
    if (number > 0 && number < kEntries)
        entries_[number] = StoredWave{};
}

void WaveStore::clear()
{
    entries_.fill(StoredWave{});
}

const StoredWave* WaveStore::find(int number) const
{
    if (number <= 0 || number >= kEntries || !entries_[number].samples)
        return nullptr;
    return &entries_[number];
}

void SampleVoice::start(const StoredWave& wave, int waveNumber)
{
    samples_ = wave.samples;
    waveNumber_ = waveNumber;
    step_ = static_cast<std::uint32_t>((static_cast<std::uint64_t>(wave.rate) << 12) / 22050);
    position_ = 0;
    holds_ = 1;
    idle_ = !samples_ || samples_->empty() || step_ == 0;
}

void SampleVoice::strike(const StoredWave& wave, int waveNumber)
{
    if (!idle_ && waveNumber_ == waveNumber && samples_ == wave.samples) {
        holds_ = std::min(holds_ + 1, kMaxHolds);
        return;
    }
    start(wave, waveNumber);
}

void SampleVoice::endHold()
{
    if (idle_)
        return;
    if (--holds_ <= 0)
        silence();
}

void SampleVoice::silence()
{
    idle_ = true;
    holds_ = 0;
    samples_.reset();
}

void SampleVoice::mix(std::int16_t* out, int n)
{
    if (idle_)
        return;
    const std::vector<std::int16_t>& s = *samples_;
    const auto count = static_cast<std::uint32_t>(s.size());
    for (int i = 0; i < n && !idle_; ++i) {
        const std::uint32_t index = position_ >> 12;
        const std::int32_t a = s[index];
        const std::int32_t b = index + 1 < count ? s[index + 1] : 0;
        const auto fraction = static_cast<std::int32_t>(position_ & 0xFFF);
        const std::int32_t sample = ((a + (((b - a) * fraction) >> 12)) * volume_) >> 15;
        for (int side = 0; side < 2; ++side) {
            std::int16_t& o = out[2 * i + side];
            o = static_cast<std::int16_t>(std::clamp(o + sample, -32767, 32767));
        }
        position_ += step_;
        if ((position_ >> 12) >= count) {
            // The wave has played through: one hold ends; a wave struck again plays again.
            if (holds_ >= 2) {
                --holds_;
                position_ = 0;
            } else {
                silence();
            }
        }
    }
}

} // namespace orka::smaf
