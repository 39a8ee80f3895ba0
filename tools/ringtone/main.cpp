// ringtone: the ring-tone editor's paths from the command line.
//   ringtone info IN.mid --json
//   ringtone make IN.mid OUT.mmf [--from TICK] [--to TICK] [--tempo F] [--volume P] [--channels 1,2,10] [--log]
//   ringtone play IN.mid [--from TICK] [--tempo F] [--volume P] [--mute 3,4] [--loop]
#include "orka/StringTable.h"
#include "orka/cli/CommandLine.h"
#include "orka/audio/midi/AudioStrings.h"
#include "orka/audio/midi/CMidiPlayer.h"
#include "orka/audio/midi/RingToneEditor.h"
#include "orka/platform/MidiOut.h"
#include "orka/platform/StatePaths.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace orka::audio::midi;

namespace {

using orka::cli::Arguments;
using orka::cli::kExitFailed;
using orka::cli::kExitOk;
using orka::cli::UsageError;

const char* const kUsageText =
    "usage:\n"
    "  ringtone info IN.mid --json\n"
    "  ringtone make IN.mid OUT.mmf [--from TICK] [--to TICK] [--tempo F] [--volume P] [--channels 1,2,10] [--log]\n"
    "  ringtone play IN.mid [--from TICK] [--tempo F] [--volume P] [--mute 3,4] [--loop]\n";

long parseInteger(const std::string& text, const std::string& what, long low, long high)
{
    if (const auto v = orka::cli::parseInteger(text, low, high))
        return *v;
    throw UsageError("bad " + what + ": " + text);
}

float parseFactor(const std::string& text)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0.1 - 1e-9 || v > 2.0 + 1e-9)
        throw UsageError("bad tempo factor (0.1 to 2.0): " + text);
    return static_cast<float>(v);
}

QmixChannelFlags parseChannels(const std::string& text)
{
    QmixChannelFlags flags{};
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        flags[static_cast<std::size_t>(parseInteger(item, "channel", 1, 16) - 1)] = 1;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return flags;
}

std::optional<std::vector<std::uint8_t>> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> readSongOrFail(const std::string& path)
{
    auto bytes = readFile(path);
    if (!bytes) {
        std::cerr << orka::loadString(kIdSongNotLoaded) << " (" << path << ")\n";
        std::exit(kExitFailed);
    }
    return *bytes;
}

// The reader's diagnostic (which track, which byte) follows on a line of its own.
int songNotLoaded(const std::string& path, const std::string& diagnostic)
{
    std::cerr << orka::loadString(kIdSongNotLoaded) << " (" << path << ")\n";
    if (!diagnostic.empty())
        std::cerr << diagnostic << "\n";
    return kExitFailed;
}

int runInfo(const Arguments& o)
{
    if (o.positional().size() != 1 || !o.has("json"))
        throw UsageError("info takes IN.mid --json");
    const auto bytes = readSongOrFail(o.positional()[0]);
    CMidiPlayer player(orka::platform::makeSystemTimer());
    player.setUp(nullptr, orka::platform::openQuietMidiOut);
    if (!player.load(bytes))
        return songNotLoaded(o.positional()[0], player.lastMessage());
    const MidiSong& song = player.song();
    std::printf("{\"format\": %u, \"tracks\": %u, \"division\": %d, \"tempo\": %u, \"length_ticks\": %d, \"seconds\": %u, \"channels\": [",
                song.format, song.trackCount, song.division, song.tempo, song.songLength, player.durationSeconds());
    bool first = true;
    for (int ch = 0; ch < 16; ++ch) {
        const auto& info = song.channels[static_cast<std::size_t>(ch)];
        const std::uint32_t volume = song.channelVolumes[static_cast<std::size_t>(ch)];
        if (!info.hasNotes && info.firstProgram < 0 && volume == kNoVolume)
            continue;
        std::printf("%s{\"channel\": %d, \"notes\": %s, \"program\": %d, \"volume\": ", first ? "" : ", ", ch + 1,
                    info.hasNotes ? "true" : "false", info.firstProgram);
        if (volume == kNoVolume)
            std::printf("null}");
        else
            std::printf("%u}", volume);
        first = false;
    }
    std::printf("]}\n");
    return kExitOk;
}

class QuietView final : public RingToneEditorView {
public:
    bool showMessage(unsigned id, const std::string& detail) override
    {
        messages.push_back(id);
        details.push_back(detail);
        return false;
    }
    std::vector<unsigned> messages;
    std::vector<std::string> details;
};

int runMake(const Arguments& o)
{
    if (o.positional().size() != 2)
        throw UsageError("make takes IN.mid OUT.mmf");
    std::optional<long> from, to, volume;
    std::optional<float> tempo;
    std::optional<QmixChannelFlags> channels;
    if (o.has("from"))
        from = parseInteger(*o.value("from"), "start tick", 0, INT32_MAX);
    if (o.has("to"))
        to = parseInteger(*o.value("to"), "end tick", 0, INT32_MAX);
    if (o.has("volume"))
        volume = parseInteger(*o.value("volume"), "volume (0 to 200, steps of 10)", 0, 200);
    if (volume && *volume % 10 != 0)
        throw UsageError("bad volume (0 to 200, steps of 10)");
    if (o.has("tempo"))
        tempo = parseFactor(*o.value("tempo"));
    if (o.has("channels"))
        channels = parseChannels(*o.value("channels"));
    // A failed make leaves no output file behind, and an old file of that name as it was.
    const std::string out = o.positional()[1];

    const auto bytes = readSongOrFail(o.positional()[0]);
    QuietView view;
    RingToneEditor editor(nullptr, orka::platform::openQuietMidiOut);
    editor.setView(&view);
    if (!editor.open(bytes))
        return songNotLoaded(o.positional()[0], editor.player().lastMessage());
    if (channels && !editor.changeChannels(*channels)) {
        std::cerr << orka::loadString(kIdConversionFailed) << "\n";
        return kExitFailed;
    }
    // The buttons the user would press: tempo in steps of 0.1, volume in steps of 10.
    if (tempo) {
        const int tenths = static_cast<int>(std::lround(*tempo * 10.0f));
        while (std::lround(editor.tempoFactor() * 10.0f) < tenths)
            editor.tempoUp();
        while (std::lround(editor.tempoFactor() * 10.0f) > tenths)
            editor.tempoDown();
    }
    if (volume) {
        while (editor.volumePercent() < *volume)
            editor.volumeUp();
        while (editor.volumePercent() > *volume)
            editor.volumeDown();
    }
    const std::int32_t length = editor.player().songLength();
    editor.setRange(static_cast<std::int32_t>(from.value_or(0)), static_cast<std::int32_t>(to.value_or(length)));
    if (editor.rangeStart() > length || editor.rangeEnd() > length || (to && editor.rangeEnd() <= editor.rangeStart()))
        throw UsageError("the range must lie within 0.." + std::to_string(length) + " and end after it starts");

    std::vector<std::uint8_t> smaf;
    std::string message;
    const MakeOutcome outcome = editor.makeRingTone(smaf, message);
    if (o.has("log"))
        std::fputs(editor.filterLog().c_str(), stdout);
    switch (outcome) {
    case MakeOutcome::Made:
        break;
    case MakeOutcome::NothingToMake:
        std::cerr << orka::loadString(kIdConvertFileFailed) << "\n";
        return kExitFailed;
    case MakeOutcome::FilterRejected:
        std::cerr << orka::loadString(kIdRingLogWritten) << " (" << orka::platform::StatePaths::ringLogFile().string() << ")\n";
        return kExitFailed;
    case MakeOutcome::FilterFailed:
        std::cerr << orka::loadString(kIdConversionFailed) << "\n";
        return kExitFailed;
    case MakeOutcome::ConversionFailed:
        std::cerr << orka::loadString(kIdConvertFileFailed) << "\n";
        if (!message.empty())
            std::cerr << message << "\n";
        return kExitFailed;
    }
    if (std::string why; !orka::platform::writeFileAtomically(out, smaf.data(), smaf.size(), &why)) {
        std::cerr << "ringtone: cannot write " << out << ": " << why << "\n";
        return kExitFailed;
    }
    std::printf("%s: %zu bytes (%.1f KB)\n", out.c_str(), smaf.size(), smaf.size() * 0.0009765625);
    if (const auto counts = editor.noteCounts(); counts && isatty(fileno(stderr)))
        std::fprintf(stderr, "%lu of %lu notes kept\n", counts->kept, counts->total);
    return kExitOk;
}

std::atomic<bool> g_interrupted{false};

class ConsoleOwner final : public MidiPlayerOwner {
public:
    explicit ConsoleOwner(std::int32_t rangeStart) : rangeStart_(rangeStart) {}
    void midiNotify(unsigned message, unsigned wParam) override
    {
        if (message == WM_MIDI_TICK)
            ticks_.fetch_add(1);
        else if (message == WM_MIDI_END)
            ended_.store(wParam == 0 ? 1 : 2);
    }
    int editorRangeMode() const override { return rangeStart_ > 0 ? 2 : 1; }
    std::int32_t editorRangeStart() const override { return rangeStart_; }
    int ended() const { return ended_.load(); }
    unsigned ticks() const { return ticks_.load(); }

private:
    std::int32_t rangeStart_;
    std::atomic<int> ended_{0};
    std::atomic<unsigned> ticks_{0};
};

int runPlay(const Arguments& o)
{
    if (o.positional().size() != 1)
        throw UsageError("play takes IN.mid");
    long from = 0;
    if (o.has("from"))
        from = parseInteger(*o.value("from"), "start tick", 0, INT32_MAX);
    const float tempo = o.has("tempo") ? parseFactor(*o.value("tempo")) : 1.0f;
    const long volume = o.has("volume") ? parseInteger(*o.value("volume"), "volume (0 to 200)", 0, 200) : 100;
    const QmixChannelFlags mutes = o.has("mute") ? parseChannels(*o.value("mute")) : QmixChannelFlags{};

    const auto bytes = readSongOrFail(o.positional()[0]);
    ConsoleOwner owner(static_cast<std::int32_t>(from));
    CMidiPlayer player;
    std::string device;
    player.setUp(&owner, [&device] {
        auto out = orka::platform::openMidiOut();
        device = out->description();
        return out;
    });
    if (!player.load(bytes))
        return songNotLoaded(o.positional()[0], player.lastMessage());
    // Editor mode, so that a loop restarts at --from instead of running on in silence.
    player.setMode(CMidiPlayer::kEditorMode);
    player.setTempoFactor(tempo);
    for (int ch = 0; ch < 16; ++ch)
        player.requestMute(ch, mutes[static_cast<std::size_t>(ch)] != 0);
    if (o.has("loop"))
        player.toggleLoop();
    std::signal(SIGINT, [](int) { g_interrupted.store(true); });
    std::signal(SIGTERM, [](int) { g_interrupted.store(true); });

    const std::uint32_t total = player.durationSeconds();
    std::printf("output: %s; %d ticks, %02u:%02u at %u bpm\n", device.c_str(), player.songLength(), total / 60, total % 60,
                player.tempoQuery(false));
    player.play(static_cast<std::int32_t>(from));
    player.setVolume(static_cast<std::uint32_t>(volume));
    const bool terminal = isatty(fileno(stdout));
    while (!g_interrupted.load() && owner.ended() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (owner.ended() != 0)
            break;
        const std::uint32_t s = player.playingSeconds();
        std::printf(terminal ? "\r%02u:%02u  %d <%d>   " : "%02u:%02u  %d <%d>\n", s / 60, s % 60, player.position(),
                    player.songLength());
        std::fflush(stdout);
    }
    if (owner.ended() == 0)
        player.stop();
    std::printf("\n");
    player.shutDown();
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    const orka::cli::Program program("ringtone", kUsageText);
    return program.run(argc, argv, {},
                       {
                           {"info", {{"json", 0, false}}, runInfo},
                           {"make",
                            {{"from", 0, true}, {"to", 0, true}, {"tempo", 0, true}, {"volume", 0, true}, {"channels", 0, true},
                             {"log", 0, false}},
                            runMake},
                           {"play",
                            {{"from", 0, true}, {"tempo", 0, true}, {"volume", 0, true}, {"mute", 0, true}, {"loop", 0, false}},
                            runPlay},
                       });
}
