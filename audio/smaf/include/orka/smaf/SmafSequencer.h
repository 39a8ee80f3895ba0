#pragma once
// Reads a SMAF file (handy-phone layout, format type 0): its score tracks, the voice
// definitions of their setup data and the ADPCM waves of the audio track, turns them into a
// time-ordered list of messages and plays that list into the synthesizer.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace orka::smaf {

class Synthesizer;

struct SmafEvent {
    std::uint32_t time = 0;    // ms
    std::uint32_t message = 0; // status | data1 << 8 | data2 << 16 | data3 << 24
};

struct ScoreTrack {
    int number = 0;
    std::size_t setupOffset = 0, setupLength = 0;
    std::size_t sequenceOffset = 0, sequenceLength = 0;
    std::uint32_t durationBase = 4;
    std::uint32_t gateBase = 4;
    std::uint32_t startPoint = 0;
    std::uint32_t stopPoint = 0xFFFFFFFFu;
};

struct AudioWave {
    int number = 0;
    std::size_t offset = 0, length = 0;
};

struct AudioTrack {
    int number = 0;
    std::vector<AudioWave> waves;
    std::uint32_t rate = 4000;
    std::uint32_t durationBase = 4;
    std::uint32_t gateBase = 4;
    std::size_t sequenceOffset = 0, sequenceLength = 0;
    bool hasSequence = false;
};

std::uint32_t timebaseMs(std::uint8_t code);

// Why Prepare refused the data.
enum class PrepareError {
    kNone,
    kNotSmaf,         // no data, or it does not begin with "MMMD"
    kNoTrack,         // no usable score or audio track
    kNoSequenceChunk, // the score tracks found lack "Mtsq"
    kBusy,            // already running
};

class SmafSequencer {
public:
    explicit SmafSequencer(Synthesizer& synth) : synth_(synth) {}

    // Appends to the copy held; an empty span clears everything.
    void setData(std::span<const std::uint8_t> bytes);
    void clear();
    bool prepare();
    bool start(std::uint32_t timeMs = 0);
    // Sends every event due by nowMs; false once the list is exhausted or not running.
    bool process(std::uint32_t nowMs);
    void rewind();
    void stop();

    PrepareError prepareError() const { return prepareError_; }
    bool prepared() const { return prepared_; }
    bool running() const { return running_; }
    bool fullPiece() const { return fullPiece_; }
    const std::vector<SmafEvent>& events() const { return events_; }
    const std::vector<ScoreTrack>& scoreTracks() const { return scoreTracks_; }
    const std::vector<AudioTrack>& audioTracks() const { return audioTracks_; }
    std::int8_t octaveShift(int channel) const { return octaveShift_[channel]; }

    // Stores a voice carried in an exclusive message (data after F0, with or without F7).
    static void defineVoice(Synthesizer& synth, std::span<const std::uint8_t> data);

private:
    bool parseScoreTrack(int number, std::size_t bodyOffset, std::size_t bodyLength);
    bool parseAudioTrack(std::size_t bodyOffset, std::size_t bodyLength);
    void buildScoreEvents(const ScoreTrack& track);
    void buildAudioEvents(const AudioTrack& track);
    void add(std::uint64_t time, std::uint32_t message);
    void send(std::uint32_t message);
    // One system exclusive of the synthesizer: its header, the command, the data, the end.
    void sendToSynth(std::uint8_t command, std::initializer_list<std::uint8_t> data);

    Synthesizer& synth_;
    std::vector<std::uint8_t> data_;
    bool prepared_ = false;
    bool fullPiece_ = false;
    bool running_ = false;
    bool sawTrackWithoutSequence_ = false;
    PrepareError prepareError_ = PrepareError::kNone;
    std::int8_t octaveShift_[16]{};
    std::vector<ScoreTrack> scoreTracks_;
    std::vector<AudioTrack> audioTracks_;
    std::vector<SmafEvent> events_;
    std::size_t next_ = 0;
    std::uint32_t latestTime_ = 0;
};

} // namespace orka::smaf
