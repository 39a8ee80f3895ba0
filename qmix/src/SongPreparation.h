#pragma once
// Turns a real-world song into one the converter accepts: format 0, every used channel given
// its bank, program and FM channel reserve, polyphony and tones fitted to the handset's 16 FM
// channels, and the controllers the converter refuses folded into the notes or left out.
// Where several ways meet the converter's rules, the one closest to the song's sound wins.
#include "orka/common/FilterLog.h"
#include "orka/smf/Smf.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orka::qmix {

using common::NoteCounts;

struct PreparationResult {
    std::vector<std::uint8_t> file; // the prepared format-0 song
    std::vector<std::string> log;   // one line per change
    NoteCounts notes;
};

// Keeps the channels whose bit is set in `keepChannels`. `voiceBank` is the FM voice bank the
// converter is given (it decides which tones take four operators).
PreparationResult prepareSong(const smf::Song& song, std::uint32_t keepChannels, std::span<const std::uint8_t> voiceBank);

} // namespace orka::qmix
