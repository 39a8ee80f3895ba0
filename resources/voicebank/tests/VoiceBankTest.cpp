// The generated voice bank: its shape, and voices that make sense for their instruments.
#include "orka/resources/VoiceBank.h"
#include "orka/common/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kNames = 8;
constexpr std::size_t kMelodic = 8 + 2070 * 16;
constexpr std::size_t kDrums = kMelodic + 1280 * 26;

const std::uint8_t* melodic(int bank, int program) { return orka::resources::embeddedVoiceBank().data() + kMelodic + (bank * 128 + program) * 26; }
const std::uint8_t* drum(int kit, int note) { return orka::resources::embeddedVoiceBank().data() + kDrums + (kit * 79 + note - 13) * 26; }
std::string name(std::size_t index)
{
    const auto* p = reinterpret_cast<const char*>(orka::resources::embeddedVoiceBank().data() + kNames + index * 16);
    return std::string(p, strnlen(p, 16));
}

TEST(VoiceBank, HasTheFixedShape)
{
    const auto bank = orka::resources::embeddedVoiceBank();
    ASSERT_EQ(bank.size(), 86948u);
    EXPECT_EQ(std::string(bank.begin(), bank.begin() + 4), "FM  ");
    EXPECT_EQ(orka::common::readBE32(&bank[4]), 86940u);
    for (std::size_t i = 0; i < 2070; ++i) {
        const std::string n = name(i);
        EXPECT_FALSE(n.empty()) << i;
        EXPECT_LE(n.size(), 8u) << i;
        for (std::size_t k = n.size(); k < 16; ++k)
            EXPECT_EQ(bank[kNames + i * 16 + k], 0) << i;
    }
}

TEST(VoiceBank, MelodicBanksHoldTwoAndFourOperatorVoices)
{
    for (int b = 0; b < 10; ++b) {
        for (int p = 0; p < 128; ++p) {
            const std::uint8_t* r = melodic(b, p);
            const int algorithm = r[3] & 7;
            if (b % 2 == 0)
                EXPECT_LE(algorithm, 1) << b << "/" << p;
            else
                EXPECT_GE(algorithm, 4) << b << "/" << p;
            EXPECT_EQ(r[1], b);
            EXPECT_EQ(r[2], p);
            EXPECT_LE(r[4], 3);
            // Some operator must be audible: a carrier below full attenuation.
            const int carrierLevel = (algorithm <= 1 ? r[13] : r[23]) >> 2;
            EXPECT_LT(carrierLevel, 63) << b << "/" << p;
        }
    }
    // Bank 1 is bank 0 made four-operator: the first pair's modulator is the same voice.
    EXPECT_EQ(melodic(1, 0)[5], melodic(0, 0)[5]);
    EXPECT_EQ(name(0), name(128));
}

TEST(VoiceBank, DrumKitsCoverThePercussionNotesWithSensibleKeys)
{
    for (int kit = 0; kit < 10; ++kit) {
        for (int note = 13; note <= 91; ++note) {
            const std::uint8_t* r = drum(kit, note);
            EXPECT_EQ(r[1], 10 + kit);
            EXPECT_LE(r[3] & 7, 1);
            EXPECT_LT(r[25], 128);
        }
        // The bass drum sounds well below the hi-hat.
        EXPECT_LT(drum(kit, 36)[25] + 24, drum(kit, 42)[25]) << kit;
    }
    EXPECT_EQ(name(1280 + 36 - 13), "BD1"); // Bass Drum 1
}

// A voice that can sound: an attack rate above 0 and a carrier below full attenuation.
bool audible(const std::uint8_t* r)
{
    const int algorithm = r[3] & 7;
    const std::uint8_t* carrier = r + (algorithm <= 1 ? 10 : 20);
    return (carrier[2] >> 4) > 0 && (carrier[3] >> 2) < 63;
}

TEST(VoiceBank, EveryGeneralMidiDrumSoundsInEveryKit)
{
    for (int kit = 0; kit < 10; ++kit)
        for (int note = 35; note <= 81; ++note)
            EXPECT_TRUE(audible(drum(kit, note))) << "kit " << kit << " note " << note;
    // The Latin percussion the source set left empty is ours now, named for what it is.
    EXPECT_EQ(name(1280 + 56 - 13), "Cowbell");
    EXPECT_EQ(name(1280 + 79 + 69 - 13), "Cabasa");
}

TEST(VoiceBank, VoicesKeepTheirOctaveCodesInRange)
{
    // Bank 0 and its variants share the tuning of each program; octave codes move at most
    // two octaves down or one up.
    for (int p = 0; p < 128; ++p)
        for (int b = 2; b < 10; b += 2)
            EXPECT_EQ(melodic(b, p)[4], melodic(0, p)[4]) << b << "/" << p;
    // A piano whose carrier plays half the note's frequency is raised an octave by its code.
    EXPECT_EQ(melodic(0, 0)[10] >> 4, 0);
    EXPECT_EQ(melodic(0, 0)[4], 0);
    // A flute (1:1) plays as struck.
    EXPECT_EQ(melodic(0, 73)[4], 1);
}

TEST(VoiceBank, FileNextToTheProgramsMatchesTheEmbeddedBytes)
{
    const char* bin = std::getenv("ORKA_TEST_BIN");
    ASSERT_NE(bin, nullptr);
    std::ifstream in(std::string(bin) + "/orkavoice.vma", std::ios::binary);
    ASSERT_TRUE(in);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto bank = orka::resources::embeddedVoiceBank();
    EXPECT_EQ(file, std::vector<std::uint8_t>(bank.begin(), bank.end()));
}

} // namespace
