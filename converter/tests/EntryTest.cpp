// The call itself: header checks, buffers, sizes and messages.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace melconv::test {
namespace {

std::vector<std::uint8_t> oneNote()
{
    return Smf().setup(0, 1, 5).note(0, 0, 60, 480).bytes();
}

TEST(ConverterEntry, RejectsFilesThatAreNotFormatZeroSmf)
{
    auto smf = oneNote();
    smf[0] = 'X';
    EXPECT_EQ(convert(smf).message, "This is not SMF.");
    EXPECT_EQ(convert(std::vector<std::uint8_t>{'M', 'T', 'h', 'd'}).message, "This is not SMF.");
    EXPECT_EQ(convert(Smf().setup(0, 1, 5).note(0, 0, 60, 480).bytes(1)).message, "This SMF is not Format0.");

    // A header that ends after its format byte holds no events; one that ends before it is no SMF.
    const std::vector<std::uint8_t> twelve = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
    EXPECT_EQ(convert(twelve).message, "No Effective MIDI data.");
    EXPECT_EQ(convert(std::vector<std::uint8_t>(twelve.begin(), twelve.begin() + 10)).message, "No Effective MIDI data.");
    EXPECT_EQ(convert(std::vector<std::uint8_t>(twelve.begin(), twelve.begin() + 9)).message, "This is not SMF.");

    // Only byte 9 is the format: 0x0100 passes the check.
    const Result high = convert(Smf().setup(0, 1, 5).note(0, 0, 60, 480).bytes(0x0100));
    EXPECT_EQ(high.rc, 1) << high.message;
}

TEST(ConverterEntry, NullAndNegativeArgumentsFailCleanly)
{
    const auto smf = oneNote();
    const auto bank = TestBank().bytes();
    std::vector<std::uint8_t> out(4096);
    char message[64] = {};
    EXPECT_EQ(MCVConvert(smf.data(), 100, out.data(), nullptr, bank.data(), 86948, nullptr, 0, message, 64), 0);

    std::int32_t size = 4096;
    EXPECT_EQ(MCVConvert(nullptr, 100, out.data(), &size, bank.data(), 86948, nullptr, 0, message, 64), 0);
    EXPECT_STREQ(message, "This is not SMF.");
    EXPECT_EQ(size, 0);

    size = 4096;
    EXPECT_EQ(MCVConvert(smf.data(), -5, out.data(), &size, bank.data(), 86948, nullptr, 0, nullptr, 0), 0);

    size = -1;
    EXPECT_EQ(MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &size, bank.data(), 86948,
                         nullptr, 0, nullptr, 0),
              0);
    EXPECT_GT(size, 0); // the writer ran: the needed length is reported

    size = 4096;
    std::memset(message, 0, sizeof message);
    EXPECT_EQ(MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &size, bank.data(), 1000,
                         nullptr, 0, message, 64),
              0);
    EXPECT_STREQ(message, "Invalid voice data.");
}

TEST(ConverterEntry, TooSmallBufferReportsNeededLengthAndRetrySucceeds)
{
    const auto smf = oneNote();
    const Result full = convert(smf);
    ASSERT_EQ(full.rc, 1) << full.message;

    const Result small = convert(smf, TestBank().bytes(), nullptr, 20);
    EXPECT_EQ(small.rc, 0);
    EXPECT_EQ(small.message, "Invalid OutSize");
    EXPECT_EQ(small.outSize, static_cast<std::int32_t>(full.smaf.size()));

    const Result exact = convert(smf, TestBank().bytes(), nullptr, small.outSize);
    ASSERT_EQ(exact.rc, 1);
    EXPECT_EQ(exact.smaf, full.smaf);

    const Result tooSmallByOne = convert(smf, TestBank().bytes(), nullptr, small.outSize - 1);
    EXPECT_EQ(tooSmallByOne.message, "Invalid OutSize");

    // An earlier failure reports 0.
    EXPECT_EQ(convert(Smf().bytes()).outSize, 0);
}

TEST(ConverterEntry, MessageIsCutToTheBufferWithoutTerminator)
{
    const auto smf = Smf().bytes(1);
    const auto bank = TestBank().bytes();
    std::vector<std::uint8_t> out(4096);
    std::int32_t size = 4096;
    char message[12];
    std::memset(message, '#', sizeof message);
    EXPECT_EQ(MCVConvert(smf.data(), static_cast<std::int32_t>(smf.size()), out.data(), &size, bank.data(), 86948,
                         nullptr, 0, message, 8),
              0);
    EXPECT_EQ(std::string(message, 12), "This SMF####");

    // On success the message buffer is left alone.
    const auto good = oneNote();
    size = 4096;
    std::memset(message, '#', sizeof message);
    EXPECT_EQ(MCVConvert(good.data(), static_cast<std::int32_t>(good.size()), out.data(), &size, bank.data(), 86948,
                         nullptr, 0, message, 12),
              1);
    EXPECT_EQ(std::string(message, 12), "############");
}

TEST(ConverterEntry, SongWithoutNotesHasNoEffectiveData)
{
    EXPECT_EQ(convert(Smf().bytes()).message, "No Effective MIDI data.");
    EXPECT_EQ(convert(Smf().setup(0, 1, 5).bytes()).message, "No Effective MIDI data.");
    // A header alone (22 bytes or less) has no events at all.
    auto header = Smf().bytes();
    header.resize(22);
    EXPECT_EQ(convert(header).message, "No Effective MIDI data.");
}

TEST(ConverterEntry, ConcurrentCallsDoNotInterfere)
{
    const auto a = Smf().setup(0, 2, 5).note(0, 0, 60, 480).note(0, 0, 64, 240).bytes();
    const auto b = Smf().drumSetup(9, 1).note(0, 9, 38, 100).bytes();
    const Result expectA = convert(a);
    const Result expectB = convert(b);
    ASSERT_EQ(expectA.rc, 1);
    ASSERT_EQ(expectB.rc, 1);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const auto bank = TestBank().bytes();
            for (int i = 0; i < 20; ++i) {
                const Result r = convert(t % 2 ? a : b, bank, nullptr, 4096);
                if (r.smaf != (t % 2 ? expectA.smaf : expectB.smaf))
                    ++mismatches;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
} // namespace melconv::test
