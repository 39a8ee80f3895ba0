// Whatever song goes in, the file that comes out is well formed: chunk lengths add up,
// every sequence decodes to its closing zeros and seek points land on event boundaries.
#include "TestSupport.h"
#include "SmafWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace melconv::test {
namespace {

// Checks one sequence chunk body [begin, end) and returns the offsets (from begin) at
// which events start, plus the end offset.
std::set<std::size_t> checkSequence(const std::vector<std::uint8_t>& f, std::size_t begin, std::size_t end, bool audio)
{
    std::set<std::size_t> boundaries;
    EXPECT_GE(end - begin, 4u);
    const std::size_t last = end - 4;
    for (std::size_t i = last; i < end; ++i)
        EXPECT_EQ(f[i], 0) << "closing zeros";
    std::size_t p = begin;
    while (p < last) {
        boundaries.insert(p - begin);
        p += (f[p] & 0x80) ? 2 : 1; // duration
        if (p >= last) {
            ADD_FAILURE() << "duration without an event";
            break;
        }
        if (f[p] == 0xFF) {
            if (f[p + 1] == 0xF0) {
                EXPECT_EQ(f[p + 2 + f[p + 2]], 0xF7);
                p += 3 + f[p + 2];
            } else {
                EXPECT_EQ(f[p + 1], 0x00);
                p += 2;
            }
        } else if (f[p] == 0x00) {
            p += audio || (f[p + 1] & 0x30) == 0x30 ? 3 : 2;
        } else {
            ++p;
            p += (f[p] & 0x80) ? 2 : 1; // gate time
        }
    }
    EXPECT_EQ(p, last);
    boundaries.insert(last - begin);
    return boundaries;
}

void checkFile(const std::vector<std::uint8_t>& f)
{
    ASSERT_GE(f.size(), 8u + 38u + 2u);
    ASSERT_EQ(std::string(f.begin(), f.begin() + 4), "MMMD");
    ASSERT_EQ(be32(f, 4), f.size() - 8);
    const std::uint16_t crc = static_cast<std::uint16_t>(~SmafWriter::crc({f.data(), f.size() - 2}));
    EXPECT_EQ(orka::common::readBE16(&f[f.size() - 2]), crc);
    std::size_t p = 8;
    ASSERT_EQ(std::string(f.begin() + 8, f.begin() + 12), "CNTI");
    p += 8 + be32(f, 12);
    int lastTrack = 0;
    while (p < f.size() - 2) {
        const std::string id(f.begin() + static_cast<std::ptrdiff_t>(p), f.begin() + static_cast<std::ptrdiff_t>(p + 3));
        const std::size_t end = p + 8 + be32(f, p + 4);
        ASSERT_LE(end, f.size() - 2);
        const bool audio = id == "ATR";
        ASSERT_TRUE(id == "MTR" || audio) << id;
        if (!audio) {
            EXPECT_GT(f[p + 3], lastTrack);
            lastTrack = f[p + 3];
        }
        std::size_t q = p + 14; // both track headers are 14 bytes
        std::size_t seekAt = 0;
        std::set<std::size_t> boundaries;
        while (q < end) {
            const std::string sub(f.begin() + static_cast<std::ptrdiff_t>(q), f.begin() + static_cast<std::ptrdiff_t>(q + 4));
            const std::size_t subEnd = q + 8 + be32(f, q + 4);
            ASSERT_LE(subEnd, end) << sub;
            if (sub == "MspI" || sub == "AspI")
                seekAt = q + 8;
            else if (sub == "Mtsq" || sub == "Atsq")
                boundaries = checkSequence(f, q + 8, subEnd, audio);
            else
                EXPECT_TRUE(sub == "Mtsu" || sub.substr(0, 3) == "Awa") << sub;
            q = subEnd;
        }
        EXPECT_EQ(q, end);
        ASSERT_NE(seekAt, 0u);
        EXPECT_TRUE(boundaries.count(be32(f, seekAt + 3))) << "st offset";
        EXPECT_TRUE(boundaries.count(be32(f, seekAt + 11))) << "sp offset";
        p = end;
    }
    EXPECT_EQ(p, f.size() - 2);
}

TEST(SmafStructure, AFullFeaturedSongIsWellFormed)
{
    TestBank bank;
    bank.normal(0, 40, 4).normal(0, 41, 7).drum(0, 38, 5, 50);
    Smf smf;
    smf.meta(0, 0x01, "XFln:JP:T:S:W:A:N").meta(0, 0x02, "c").cue(0, "$Lyrc:2:").cue(0, "START");
    smf.setup(0, 3, 40).setup(1, 1, 41).setup(2, 2, 7, 3).drumSetup(9, 2);
    smf.cc(0, 2, 100, 0).cc(0, 2, 101, 0).cc(0, 2, 6, 12);
    for (int bar = 0; bar < 40; ++bar) {
        smf.on(0, 0, 60 + bar % 3, 80 + bar % 40).on(0, 0, 67, 70).on(0, 1, 72 - bar % 5, 100).on(0, 2, 48 + bar % 3);
        smf.on(0, 9, bar % 2 ? 38 : 36, 120).cc(0, 0, 7, bar * 3).cc(0, 1, 1, bar * 3).cc(0, 2, 10, bar * 3);
        smf.bend(30, 2, 8192 + bar * 90).off(30, 9, bar % 2 ? 38 : 36);
        smf.off(200, 0, 60 + bar % 3).off(0, 0, 67).on(0, 1, 30 + bar, 90).off(1, 1, 72 - bar % 5).off(100, 1, 30 + bar);
        smf.off(0, 2, 48 + bar % 3);
        if (bar == 20)
            smf.tempo(0, 300000).program(0, 0, 40);
    }
    smf.cue(0, "STOP");
    const Result r = convert(smf.bytes(), bank.bytes());
    ASSERT_EQ(r.rc, 1) << r.message;
    checkFile(r.smaf);
}

TEST(SmafStructure, EverySongOfTheFuzzCorpusThatConvertsIsWellFormed)
{
    const char* source = std::getenv("ORKA_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const auto bank = TestBank().bytes();
    int converted = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(source) / "fuzz/melconv/corpus")) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::uint8_t> adpcm;
        static const std::string tag = "ADP ";
        const auto split = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
        adpcm.assign(split, bytes.end());
        bytes.erase(split, bytes.end());
        const Result r = convert(bytes, bank, adpcm.empty() ? nullptr : &adpcm);
        if (r.rc != 1)
            continue;
        ++converted;
        SCOPED_TRACE(entry.path().filename().string());
        checkFile(r.smaf);
    }
    EXPECT_GE(converted, 4);
}

} // namespace
} // namespace melconv::test
