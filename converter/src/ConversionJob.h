#pragma once
// One conversion: header check, the four stages in order, the size check. Created for one
// call and gone when it returns, so calls never share anything.
#include "AdpcmStage.h"
#include "ChannelStage.h"
#include "SmafWriter.h"
#include "ToneAnalysis.h"

#include <optional>

namespace melconv {

class ConversionJob {
public:
    ConversionJob(std::span<const std::uint8_t> smf, VoiceBankView voiceBank, AdpcmBank adpcmBank);

    // Runs the conversion for an output buffer of `capacity` bytes. On success `output()`
    // holds the file; on failure `message()` says why.
    bool run(std::size_t capacity);

    const std::string& message() const { return message_; }
    const std::vector<std::uint8_t>& output() const { return output_; }
    // The length of the SMAF built, once the writer has run (0 before).
    std::uint64_t builtLength() const { return builtLength_; }

private:
    bool checkHeader();
    bool stageFailed(const Stage& stage);
    void setChannelTypes(SmafSong& song) const;

    std::span<const std::uint8_t> smf_;
    VoiceBankView voiceBank_;
    AdpcmBank adpcmBank_;
    std::string message_;
    std::vector<std::uint8_t> output_;
    std::uint64_t builtLength_ = 0;

    ToneAnalysis toneAnalysis_;
    ChannelStage channelStage_;
    AdpcmStage adpcmStage_;
    SmafWriter smafWriter_;
};

} // namespace melconv
