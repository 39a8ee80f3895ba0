#pragma once
// String-table ids of the ring-tone editor's texts (resources/strings/audio.tsv).
namespace orka::audio::midi {

constexpr unsigned kIdConversionFailed = 61001;  // "轉換失敗"
constexpr unsigned kIdRangeReset = 61002;        // the cut range exceeds the song and is reset
constexpr unsigned kIdConvertFileFailed = 61003; // "轉換檔案失敗!"
constexpr unsigned kIdMelconvNotFound = 61004;   // "Melconv.dll was not found."
constexpr unsigned kIdSongNotLoaded = 61005;     // the song did not load
constexpr unsigned kIdRingLogWritten = 61006;    // the channel filter could not read the ring tone

} // namespace orka::audio::midi
