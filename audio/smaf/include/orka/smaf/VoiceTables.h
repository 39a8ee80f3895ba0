#pragma once
// The synthesizer's four voice tables (melodic, drum, and their working copies) and the
// loaders of the voice bank file and the ADPCM drum wave file.
#include "orka/smaf/VoiceRecord.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace orka::smaf {

class WaveStore;

inline constexpr std::size_t kVoiceBankSize = 86948;
inline constexpr std::size_t kBankNamesOffset = 8;
inline constexpr std::size_t kBankMelodicOffset = 33128;
inline constexpr std::size_t kBankDrumOffset = 66408;
inline constexpr int kDrumRecordsPerBank = 79;
inline constexpr int kFirstDrumNote = 13;

// True for a whole voice bank image: the right length and the "FM  " magic.
bool isVoiceBank(std::span<const std::uint8_t> bank);

class VoiceTables {
public:
    static constexpr int kBanks = 10;
    static constexpr int kPerBank = 128;

    // Builds the tables from the program's own bank (melodic banks 0 and 1, drum bank 0).
    // Without a usable bank every built-in voice is a plain two-operator voice.
    explicit VoiceTables(std::span<const std::uint8_t> builtinBank);

    // Loads a voice bank image over the tables; false (tables kept) when it is not one.
    bool loadBank(std::span<const std::uint8_t> bank);
    bool loadBankFile(const std::filesystem::path& file);

    // Attaches the waves of a drum wave file image to the drum table; false when the image
    // is refused as a whole.
    bool loadDrumWaves(std::span<const std::uint8_t> file, WaveStore& store);
    bool loadDrumWaveFile(const std::filesystem::path& file, WaveStore& store);

    DecodedVoice& melodic(int bank, int program) { return melodic_[index(bank, program)]; }
    DecodedVoice& drum(int bank, int note) { return drum_[index(bank, note)]; }
    // Working tables: banks 0-9 melodic, 10-19 drum (resolved banks 20-39).
    DecodedVoice& working(int bank, int program) { return working_[static_cast<std::size_t>(bank) * kPerBank + program]; }
    const DecodedVoice& working(int bank, int program) const { return working_[static_cast<std::size_t>(bank) * kPerBank + program]; }
    const DecodedVoice& melodic(int bank, int program) const { return melodic_[index(bank, program)]; }
    const DecodedVoice& drum(int bank, int note) const { return drum_[index(bank, note)]; }

    void refreshWorkingBankZero();

private:
    static std::size_t index(int bank, int entry) { return static_cast<std::size_t>(bank) * kPerBank + entry; }
    void fillBuiltin(std::span<const std::uint8_t> bank);

    std::vector<DecodedVoice> melodic_;
    std::vector<DecodedVoice> drum_;
    std::vector<DecodedVoice> working_;
};

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& file, std::size_t limit);

} // namespace orka::smaf
