#include "NoteRenderer.h"

#include "melconv.h"
#include "orka/smaf/SmafRenderer.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orka::voicing {

namespace {

constexpr int kDivision = 480;          // ticks per quarter note
constexpr int kTempo = 500000;          // microseconds per quarter note: 960 ticks a second
constexpr int kTicksPerSecond = 960;
constexpr int kDrumChannel = 9;
constexpr int kMelodicChannel = 0;
constexpr std::uint8_t kNormalBank = 122;
constexpr std::uint8_t kDrumBank = 123;
constexpr std::uint8_t kChannelReserve = 55;
constexpr int kFluidDrumBank = 128;

class SmfTrack {
public:
    void event(std::uint32_t delta, std::initializer_list<std::uint8_t> bytes)
    {
        std::uint8_t buffer[5];
        int n = 0;
        buffer[n++] = static_cast<std::uint8_t>(delta & 0x7F);
        while (delta >>= 7)
            buffer[n++] = static_cast<std::uint8_t>(0x80 | (delta & 0x7F));
        while (n > 0)
            bytes_.push_back(buffer[--n]);
        bytes_.insert(bytes_.end(), bytes);
    }
    std::vector<std::uint8_t> file() const
    {
        std::vector<std::uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, kDivision >> 8, kDivision & 0xFF,
                                         'M', 'T', 'r', 'k'};
        const auto length = static_cast<std::uint32_t>(bytes_.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(length >> shift));
        out.insert(out.end(), bytes_.begin(), bytes_.end());
        return out;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

std::uint8_t u8(int v) { return static_cast<std::uint8_t>(v); }

std::size_t framesFor(double seconds) { return static_cast<std::size_t>(std::lround(seconds * orka::smaf::kSampleRate)); }

class FmRenderer final : public NoteRenderer {
public:
    explicit FmRenderer(std::span<const std::uint8_t> bank) : bank_(bank.begin(), bank.end()) {}

    std::vector<float> render(const NoteRequest& request, std::string& error) override
    {
        const auto smf = singleNoteSmf(request);
        std::vector<std::uint8_t> smaf(64 * 1024);
        auto size = static_cast<std::int32_t>(smaf.size());
        char message[260] = {};
        if (MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), smaf.data(), &size, bank_.data(),
                       static_cast<std::int32_t>(bank_.size()), nullptr, 0, message, sizeof message - 1) != 1) {
            error = message;
            return {};
        }
        smaf.resize(static_cast<std::size_t>(size));
        // A fresh synthesizer per note: no release tail of the previous note leaks in.
        auto renderer = std::make_unique<orka::smaf::SmafRenderer>(bank_);
        if (!renderer->start(smaf)) {
            error = "the sequencer refused the converted file";
            return {};
        }
        const std::size_t total = framesFor(request.holdSeconds + request.releaseSeconds);
        std::vector<std::int16_t> pcm(2 * total);
        auto* bytes = reinterpret_cast<std::uint8_t*>(pcm.data());
        std::size_t done = 0;
        while (done < total) {
            const auto result = renderer->render(bytes + 4 * done, 4 * (total - done));
            done += result.bytes / 4;
            if (result.ended)
                break;
        }
        std::vector<float> mono(total);
        for (std::size_t i = 0; i < total; ++i)
            mono[i] = static_cast<float>((pcm[2 * i] + pcm[2 * i + 1]) / 65536.0);
        return mono;
    }

private:
    std::vector<std::uint8_t> bank_;
};

class FluidRenderer final : public NoteRenderer {
public:
    bool load(const std::filesystem::path& soundFont)
    {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        settings_ = new_fluid_settings();
        if (!settings_)
            return false;
        fluid_settings_setnum(settings_, "synth.sample-rate", orka::smaf::kSampleRate);
        fluid_settings_setint(settings_, "synth.reverb.active", 0);
        fluid_settings_setint(settings_, "synth.chorus.active", 0);
        synth_ = new_fluid_synth(settings_);
        if (!synth_)
            return false;
        font_ = fluid_synth_sfload(synth_, soundFont.c_str(), 1);
        return font_ != FLUID_FAILED;
    }
    ~FluidRenderer() override
    {
        if (synth_)
            delete_fluid_synth(synth_);
        if (settings_)
            delete_fluid_settings(settings_);
    }

    std::vector<float> render(const NoteRequest& request, std::string& error) override
    {
        const int channel = request.drum ? kDrumChannel : kMelodicChannel;
        // The SoundFont has one kit and one melodic bank: every bank asks for its GM voice.
        if (fluid_synth_program_select(synth_, channel, font_, request.drum ? kFluidDrumBank : 0,
                                       request.drum ? 0 : request.program) != FLUID_OK) {
            error = "no such preset in the SoundFont";
            return {};
        }
        const std::size_t hold = framesFor(request.holdSeconds);
        const std::size_t total = hold + framesFor(request.releaseSeconds);
        std::vector<float> left(total), right(total);
        fluid_synth_noteon(synth_, channel, request.note, request.velocity);
        fluid_synth_write_float(synth_, static_cast<int>(hold), left.data(), 0, 1, right.data(), 0, 1);
        fluid_synth_noteoff(synth_, channel, request.note);
        fluid_synth_write_float(synth_, static_cast<int>(total - hold), left.data() + hold, 0, 1, right.data() + hold,
                                0, 1);
        fluid_synth_all_sounds_off(synth_, -1);
        std::vector<float> mono(total);
        for (std::size_t i = 0; i < total; ++i)
            mono[i] = (left[i] + right[i]) / 2;
        return mono;
    }

private:
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    int font_ = FLUID_FAILED;
};

} // namespace

std::vector<std::uint8_t> singleNoteSmf(const NoteRequest& request)
{
    SmfTrack track;
    const int ch = request.drum ? kDrumChannel : kMelodicChannel;
    const auto cc = [&](int number, int value) { track.event(0, {u8(0xB0 | ch), u8(number), u8(value)}); };
    track.event(0, {0xFF, 0x51, 3, u8(kTempo >> 16), u8(kTempo >> 8), u8(kTempo)});
    cc(0, request.drum ? kDrumBank : kNormalBank);
    cc(32, request.drum ? 0 : request.bank);
    cc(kChannelReserve, 1);
    track.event(0, {u8(0xC0 | ch), u8(request.drum ? request.bank : request.program)});
    const auto gate = static_cast<std::uint32_t>(std::max(1L, std::lround(request.holdSeconds * kTicksPerSecond)));
    track.event(0, {u8(0x90 | ch), u8(request.note), u8(request.velocity)});
    track.event(gate, {u8(0x80 | ch), u8(request.note), 0});
    track.event(0, {0xFF, 0x2F, 0});
    return track.file();
}

std::unique_ptr<NoteRenderer> makeFmRenderer(std::span<const std::uint8_t> voiceBank)
{
    return std::make_unique<FmRenderer>(voiceBank);
}

std::unique_ptr<NoteRenderer> makeFluidRenderer(const std::filesystem::path& soundFont)
{
    auto renderer = std::make_unique<FluidRenderer>();
    if (!renderer->load(soundFont))
        return nullptr;
    return renderer;
}

} // namespace orka::voicing
