// mmfplay: plays a SMAF file through the FM synthesizer, on the sound device or into a WAV file.
//   mmfplay IN.mmf                 play through the default audio device, showing elapsed time
//   mmfplay IN.mmf --wav OUT.wav   render offline as fast as possible; OUT.wav appears only
//                                  when the whole render is written
#include "orka/StringTable.h"
#include "orka/cli/CommandLine.h"
#include "orka/platform/StatePaths.h"
#include "orka/platform/WaveOut.h"
#include "orka/resources/VoiceBank.h"
#include "orka/smaf/SmafPlayer.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

enum Text : unsigned {
    kUsage = 49501,
    kCannotRead = 49502,
    kNotSmaf = 49503,
    kNoTrack = 49504,
    kNoSequence = 49505,
    kCannotWrite = 49506,
    kNoDevice = 49507,
    kPlaying = 49508,
};

// The text of a message, and after it the reason it happened when there is one.
void say(std::FILE* to, unsigned id, const std::string& arg = {}, const std::string& reason = {})
{
    std::string text = orka::formatString(id, arg);
    if (!reason.empty())
        text += ": " + reason;
    std::fprintf(to, "%s\n", text.c_str());
}

// No SMAF file comes near this; a larger one is refused rather than read.
constexpr std::size_t kLargestFile = 64u << 20;

void refused(const std::string& in, orka::smaf::PrepareError why)
{
    switch (why) {
    case orka::smaf::PrepareError::kNotSmaf: say(stderr, kNotSmaf, in); break;
    case orka::smaf::PrepareError::kNoSequenceChunk: say(stderr, kNoSequence, in); break;
    default: say(stderr, kNoTrack, in); break;
    }
}

class EndWaiter final : public orka::smaf::SmafPlayerOwner {
public:
    void onSmafEnd() override
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        cv_.notify_all();
    }
    bool waitFor(std::chrono::milliseconds d)
    {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, d, [this] { return ended_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool ended_ = false;
};

// Renders into the WAV file; the file appears only when the whole render reached the disk.
int renderToFile(const std::string& in, const std::string& wav, const std::vector<std::uint8_t>& bytes)
{
    std::string writeError = "not written";
    EndWaiter waiter;
    auto player = std::make_unique<orka::smaf::CSmafPlayer>(
        &waiter, orka::platform::createFileWaveOut(wav, [&writeError](const std::string& error) { writeError = error; }),
        orka::resources::embeddedVoiceBank(), orka::platform::StatePaths::driversDir());
    if (player->deviceName() != "file") {
        say(stderr, kCannotWrite, wav);
        return orka::cli::kExitFailed;
    }
    player->setData(bytes);
    if (!player->play()) {
        refused(in, player->lastError());
        return orka::cli::kExitFailed;
    }
    while (!waiter.waitFor(std::chrono::milliseconds(200))) {
    }
    player.reset(); // closes the file
    if (!writeError.empty()) {
        say(stderr, kCannotWrite, wav, writeError);
        return orka::cli::kExitFailed;
    }
    return orka::cli::kExitOk;
}

int playOnDevice(const std::string& in, const std::vector<std::uint8_t>& bytes)
{
    EndWaiter waiter;
    auto player = std::make_unique<orka::smaf::CSmafPlayer>(&waiter, orka::platform::createDefaultWaveOut(),
                                                            orka::resources::embeddedVoiceBank(),
                                                            orka::platform::StatePaths::driversDir());
    player->setData(bytes);
    if (!player->play()) {
        refused(in, player->lastError());
        return orka::cli::kExitFailed;
    }
    if (!player->deviceAudible())
        say(stderr, kNoDevice);
    say(stdout, kPlaying, in);
    const auto started = std::chrono::steady_clock::now();
    while (!waiter.waitFor(std::chrono::milliseconds(250))) {
        const auto s = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
        std::printf("\r%lld:%02lld", static_cast<long long>(s / 60), static_cast<long long>(s % 60));
        std::fflush(stdout);
    }
    std::printf("\n");
    // The end is noticed when the last buffer is handed to the device; let it be heard.
    if (player->deviceAudible())
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return orka::cli::kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    const orka::cli::Program program("mmfplay", orka::loadString(kUsage) + "\n");
    return program.run(argc, argv, {{"wav", 0, true}}, [](const orka::cli::Arguments& args) {
        if (args.positional().size() != 1)
            throw orka::cli::UsageError("give one SMAF file");
        const std::string& in = args.positional()[0];
        // An empty file is read (and refused as no SMAF); one that cannot be read at all is not.
        std::error_code ec;
        const std::vector<std::uint8_t> bytes = orka::smaf::readWholeFile(in, kLargestFile);
        if (bytes.empty() &&
            (!std::filesystem::is_regular_file(in, ec) || std::filesystem::file_size(in, ec) != 0)) {
            say(stderr, kCannotRead, in);
            return orka::cli::kExitFailed;
        }
        if (const auto wav = args.value("wav"))
            return renderToFile(in, *wav, bytes);
        return playOnDevice(in, bytes);
    });
}
