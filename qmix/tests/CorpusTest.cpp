// Real and generated songs: every one is prepared and then converted without a refusal.
#include "QmixCalls.h"
#include "SongGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace orka::test;
namespace fs = std::filesystem;

namespace {

struct Sample {
    std::string name;
    Bytes bytes;
};

std::vector<Sample> corpus()
{
    std::vector<Sample> songs;
    const char* source = std::getenv("ORKA_SOURCE_DIR");
    std::vector<fs::path> folders = {fs::path(source ? source : ".") / "qmix/tests/corpus"};
    // The whole music set when its package is installed.
    folders.push_back("/usr/share/games/openttd/baseset/openmsx");
    for (const auto& folder : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.path().extension() != ".mid")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            songs.push_back({entry.path().filename().string(), Bytes(std::istreambuf_iterator<char>(in), {})});
        }
    }
    SongStyle busy;
    busy.channels = 15;
    busy.chord = 4;
    songs.push_back({"sixteen busy channels", generatedSong(busy)});
    SongStyle many;
    many.seed = 7;
    many.channels = 12;
    many.drumPieces = 20;
    songs.push_back({"format 1, 14 tracks, 20 drum pieces", generatedSong(many)});
    SongStyle plain;
    plain.seed = 3;
    plain.channels = 3;
    plain.sustain = plain.expression = plain.bends = plain.tempoChanges = false;
    plain.division = 96;
    songs.push_back({"small and plain", generatedSong(plain)});
    SongStyle fine;
    fine.seed = 11;
    fine.division = 1920;
    fine.chord = 6;
    songs.push_back({"fine division, six-note chords", generatedSong(fine)});
    return songs;
}

} // namespace

TEST(QmixCorpus, EverySongPreparesAndConverts)
{
    const auto songs = corpus();
    ASSERT_GE(songs.size(), 9u);
    std::vector<double> shares;
    for (const auto& song : songs) {
        SCOPED_TRACE(song.name);
        std::int32_t result = -1;
        const Bytes prepared = prepare(song.bytes, allChannels(), &result);
        ASSERT_EQ(result, 0) << qmixLog();
        EXPECT_EQ(converterRefusal(prepared), "") << qmixLog();
        const auto counts = orka::common::lastNoteCounts(qmixLog());
        ASSERT_TRUE(counts);
        ASSERT_GT(counts->total, 0u);
        EXPECT_GT(counts->kept, 0u);
        shares.push_back(static_cast<double>(counts->kept) / static_cast<double>(counts->total));
    }
    std::sort(shares.begin(), shares.end());
    const double median = shares[shares.size() / 2];
    RecordProperty("median_share_of_notes_kept", std::to_string(median));
    std::printf("songs: %zu, median share of notes kept: %.3f, lowest %.3f\n", shares.size(), median, shares.front());
    EXPECT_GE(median, 0.6);
}

TEST(QmixCorpus, EveryChannelAloneConverts)
{
    // The editor's channel boxes: each channel of a real song kept on its own.
    for (const auto& song : corpus()) {
        if (song.name.find(".mid") == std::string::npos)
            continue;
        SCOPED_TRACE(song.name);
        Reset();
        ASSERT_EQ(Detect(song.bytes.data(), static_cast<std::int32_t>(song.bytes.size())), 0);
        std::array<std::uint32_t, 16> present{};
        GetInfo(present.data());
        for (int ch = 0; ch < 16; ++ch) {
            if (!present[static_cast<std::size_t>(ch)])
                continue;
            std::int32_t result = -1;
            const Bytes prepared = prepare(song.bytes, flagsOf({ch}), &result);
            ASSERT_EQ(result, 0);
            auto read = orka::smf::readSong(prepared);
            ASSERT_TRUE(read);
            bool notes = false;
            for (const auto& e : read->events) {
                if (e.isChannelMessage()) {
                    ASSERT_EQ(e.channel(), ch);
                }
                notes = notes || e.kind() == 0x90;
            }
            if (notes) {
                EXPECT_EQ(converterRefusal(prepared), "") << "channel " << ch + 1 << "\n" << qmixLog();
            }
        }
    }
}
