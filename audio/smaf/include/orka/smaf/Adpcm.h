#pragma once
// The 4-bit ADPCM of drum waves and SMAF audio data, the store of decoded waves and the one
// sample-playback voice that plays them.
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orka::smaf {

// Two samples per byte, low nibble first.
std::vector<std::int16_t> decodeAdpcm(std::span<const std::uint8_t> data);

struct StoredWave {
    std::uint32_t rate = 0;
    std::shared_ptr<const std::vector<std::int16_t>> samples; // shared with a playing voice
};

class WaveStore {
public:
    static constexpr int kEntries = 256;
    static constexpr int kFirstFree = 63;

    // Decodes into entry `number`, or for 0 into the first free entry from 63 up.
    // Returns the entry used, 0 when none was free or the number is out of range.
    int store(int number, std::span<const std::uint8_t> adpcm, std::uint32_t rate);
    void erase(int number);
    void clear();
    const StoredWave* find(int number) const;

private:
    std::array<StoredWave, kEntries> entries_{};
};

class SampleVoice {
public:
    static constexpr int kMaxHolds = 126;

    void start(const StoredWave& wave, int waveNumber);
    // A new strike of the wave already playing only adds a hold (up to 126).
    void strike(const StoredWave& wave, int waveNumber);
    void endHold();
    void silence();
    void setVolume(std::int32_t gain) { volume_ = gain; }
    std::int32_t volume() const { return volume_; }
    bool idle() const { return idle_; }
    int waveNumber() const { return waveNumber_; }
    int holds() const { return holds_; }

    // Adds the voice into n interleaved stereo frames, saturating at +-32767.
    void mix(std::int16_t* interleaved, int n);

private:
    bool idle_ = true;
    int waveNumber_ = 0;
    std::shared_ptr<const std::vector<std::int16_t>> samples_;
    std::uint32_t position_ = 0; // 20.12 fixed point
    std::uint32_t step_ = 0;
    int holds_ = 0;
    std::int32_t volume_ = 32767;
};

} // namespace orka::smaf
