#pragma once
// Writes the SMAF file: contents chunk, score tracks, audio track, stamps and CRC.
#include "ConverterTypes.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace melconv {

// The output file in memory. Bytes beyond `limit` are counted but not kept, so a song whose
// file cannot fit the caller's buffer still reports its length without growing without end.
class MemoryFile {
public:
    explicit MemoryFile(std::size_t limit) : limit_(limit) {}
    void reserve(std::size_t bytes) { bytes_.reserve(bytes); }
    void put(std::uint8_t b);
    void put(std::initializer_list<std::uint8_t> bytes) { for (auto b : bytes) put(b); }
    void put(std::span<const std::uint8_t> bytes);
    void putText(const char* text);
    void put32(std::uint32_t v);
    // The same bytes `count` times.
    void repeat(std::span<const std::uint8_t> pattern, std::uint64_t count);
    void set32(std::size_t offset, std::uint32_t v);
    void set8(std::size_t offset, std::uint8_t v);
    std::uint64_t size() const { return size_; }
    bool complete() const { return size_ == bytes_.size(); }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t size_ = 0;
    std::size_t limit_;
};

struct SmafSong {
    const ContentsInfo* contents = nullptr;
    const ToneSlots* slots = nullptr;
    const FmChannels* channels = nullptr;
    std::array<std::uint8_t, 16> channelStatus{}; // 4-bit status per FM channel
    LoopPoints loop;
    const std::vector<SeqEvent>* audioEvents = nullptr;
    const std::vector<WaveEntry>* waves = nullptr;
    unsigned sampleRate = 0;
    std::uint8_t m2 = 0;
};

class SmafWriter {
public:
    // Builds the file; bytes past `limit` are only counted (the caller reports the length).
    MemoryFile write(const SmafSong& song, std::size_t limit) const;

    // The "M2" value: score tracks the handset needs for the voices and channels in use.
    static std::uint8_t scoreTracksNeeded(const ToneSlots& slots, const FmChannels& channels);
    // CRC-16 (polynomial 0x1021, initial 0xFFFF, no final complement).
    static std::uint16_t crc(std::span<const std::uint8_t> bytes);
    // The two characters of a stamp over `bytes`.
    static std::array<char, 2> stamp(std::span<const std::uint8_t> bytes);

private:
    void contents(MemoryFile& f, const SmafSong& song) const;
    void scoreTrack(MemoryFile& f, const SmafSong& song, int track, bool withSetup) const;
    void audioTrack(MemoryFile& f, const SmafSong& song) const;
    // Merges the loop points and the event lists into a sequence chunk body; fills the
    // seek-and-phrase offsets at `seekAt`.
    void sequence(MemoryFile& f, const LoopPoints& loop, std::span<const std::vector<SeqEvent>* const> lists,
                  std::size_t seekAt) const;
};

// Writes a duration or gate-time number (0 to 16511) in its 1- or 2-byte form.
void putNumber(MemoryFile& f, std::int64_t n);

} // namespace melconv
