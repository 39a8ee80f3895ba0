// mmfplay: plays a SMAF file through the FM synthesizer, on the sound device or into a WAV file.
//   mmfplay IN.mmf                 play through the default audio device, showing elapsed time
//   mmfplay IN.mmf --wav OUT.wav   render offline as fast as possible
#include "orka/StringTable.h"
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
#include <string_view>
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

void say(std::FILE* to, unsigned id, const std::string& arg = {})
{
    std::fprintf(to, "%s\n", orka::formatString(id, arg).c_str());
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

} // namespace

int main(int argc, char** argv)
{
    std::string in;
    std::string wav;
    if (argc == 2 && std::string_view(argv[1]) != "--wav") {
        in = argv[1];
    } else if (argc == 4 && std::string_view(argv[2]) == "--wav") {
        in = argv[1];
        wav = argv[3];
    } else {
        say(stderr, kUsage);
        return 2;
    }
    // An empty file is read (and refused as no SMAF); one that cannot be read at all is not.
    std::error_code ec;
    const std::vector<std::uint8_t> bytes = orka::smaf::readWholeFile(in, 64u << 20);
    if (bytes.empty() && (!std::filesystem::is_regular_file(in, ec) || std::filesystem::file_size(in, ec) != 0)) {
        say(stderr, kCannotRead, in);
        return 1;
    }

    std::unique_ptr<orka::platform::WaveOut> device;
    if (!wav.empty()) {
        device = orka::platform::createFileWaveOut(wav);
    } else {
        device = orka::platform::createDefaultWaveOut();
    }
    EndWaiter waiter;
    auto player = std::make_unique<orka::smaf::CSmafPlayer>(&waiter, std::move(device),
                                                            orka::resources::embeddedVoiceBank(),
                                                            orka::platform::StatePaths::driversDir());
    if (!wav.empty() && player->deviceName() != "file") {
        say(stderr, kCannotWrite, wav);
        return 1;
    }
    player->setData(bytes);
    if (!player->play()) {
        switch (player->lastError()) {
        case orka::smaf::PrepareError::kNotSmaf: say(stderr, kNotSmaf, in); break;
        case orka::smaf::PrepareError::kNoSequenceChunk: say(stderr, kNoSequence, in); break;
        default: say(stderr, kNoTrack, in); break;
        }
        return 1;
    }
    if (!wav.empty()) {
        while (!waiter.waitFor(std::chrono::milliseconds(200))) {
        }
        player.reset(); // closes the file
        std::error_code ec;
        if (std::filesystem::file_size(wav, ec) < 44 || ec) {
            say(stderr, kCannotWrite, wav);
            return 1;
        }
        return 0;
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
    return 0;
}
