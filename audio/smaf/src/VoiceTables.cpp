#include "orka/smaf/VoiceTables.h"

#include "orka/smaf/Adpcm.h"
#include "orka/common/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace orka::smaf {
namespace {

using common::readBE16;
using common::readBE32;

std::span<const std::uint8_t> melodicRecord(std::span<const std::uint8_t> bank, int bankNo, int program)
{
    return bank.subspan(kBankMelodicOffset + (static_cast<std::size_t>(bankNo) * 128 + program) * kVoiceRecordSize,
                        kVoiceRecordSize);
}

std::span<const std::uint8_t> drumRecord(std::span<const std::uint8_t> bank, int bankNo, int record)
{
    return bank.subspan(kBankDrumOffset + (static_cast<std::size_t>(bankNo) * kDrumRecordsPerBank + record) * kVoiceRecordSize,
                        kVoiceRecordSize);
}

// A plain voice for programs without a bank: operator 1 gently modulates operator 2.
DecodedVoice fallbackVoice(bool drum)
{
    static constexpr std::uint8_t melodicRecordBytes[26] = {
        0, 0, 0, 0x00, 0x01,
        0x10, 0x44, 0xF4, 0x90, 0x00,
        0x10, 0x63, 0xF4, 0x00, 0x00,
    };
    static constexpr std::uint8_t drumRecordBytes[26] = {
        0, 10, 0, 0x38, 0x01,
        0x00, 0x88, 0xF8, 0x40, 0x00,
        0x10, 0x88, 0xF8, 0x00, 0x00,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 45,
    };
    return decodeVoiceRecord(drum ? drumRecordBytes : melodicRecordBytes);
}

} // namespace

bool isVoiceBank(std::span<const std::uint8_t> bank)
{
    return bank.size() == kVoiceBankSize && std::memcmp(bank.data(), "FM  ", 4) == 0;
}

std::vector<std::uint8_t> readWholeFile(const std::filesystem::path& file, std::size_t limit)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || static_cast<std::uint64_t>(size) > limit)
        return {};
    in.seekg(0);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        return {};
    return bytes;
}

VoiceTables::VoiceTables(std::span<const std::uint8_t> builtinBank)
    : melodic_(kBanks * kPerBank), drum_(kBanks * kPerBank), working_(2 * kBanks * kPerBank)
{
    fillBuiltin(builtinBank);
    refreshWorkingBankZero();
}

void VoiceTables::fillBuiltin(std::span<const std::uint8_t> bank)
{
    if (!isVoiceBank(bank)) {
        const DecodedVoice melodicVoice = fallbackVoice(false);
        const DecodedVoice drumVoice = fallbackVoice(true);
        for (int p = 0; p < kPerBank; ++p) {
            melodic(0, p) = melodicVoice;
            melodic(1, p) = melodicVoice;
        }
        for (int n = kFirstDrumNote; n < kFirstDrumNote + kDrumRecordsPerBank - 1; ++n)
            drum(0, n) = drumVoice;
        return;
    }
    for (int b = 0; b < 2; ++b)
        for (int p = 0; p < kPerBank; ++p)
            melodic(b, p) = decodeVoiceRecord(melodicRecord(bank, b, p));
    for (int r = 0; r < kDrumRecordsPerBank - 1; ++r)
        drum(0, kFirstDrumNote + r) = decodeVoiceRecord(drumRecord(bank, 0, r));
}

void VoiceTables::refreshWorkingBankZero()
{
    std::copy_n(melodic_.begin(), kPerBank, working_.begin());
    std::copy_n(drum_.begin(), kPerBank, working_.begin() + static_cast<std::ptrdiff_t>(kBanks * kPerBank));
}

bool VoiceTables::loadBank(std::span<const std::uint8_t> bank)
{
    if (bank.size() != kVoiceBankSize)
        return false;
    if (!isVoiceBank(bank)) {
        refreshWorkingBankZero();
        return false;
    }
    for (int b = 0; b < kBanks; ++b) {
        for (int p = 0; p < kPerBank; ++p)
            melodic(b, p) = decodeVoiceRecord(melodicRecord(bank, b, p));
        // The 79th record of each drum bank is not used.
        for (int r = 0; r < kDrumRecordsPerBank - 1; ++r)
            drum(b, kFirstDrumNote + r) = decodeVoiceRecord(drumRecord(bank, b, r));
    }
    refreshWorkingBankZero();
    return true;
}

bool VoiceTables::loadBankFile(const std::filesystem::path& file)
{
    const std::vector<std::uint8_t> bytes = readWholeFile(file, kVoiceBankSize);
    return !bytes.empty() && loadBank(bytes);
}

bool VoiceTables::loadDrumWaves(std::span<const std::uint8_t> file, WaveStore& store)
{
    if (file.size() < 16 || std::memcmp(file.data(), "ADP ", 4) != 0 || std::memcmp(file.data() + 8, "FMT ", 4) != 0)
        return false;
    store.clear();
    if (readBE32(file.data() + 4) != file.size() - 8)
        return false;
    const std::span<const std::uint8_t> body = file.subspan(16);
    const std::size_t tableLength = readBE32(file.data() + 12);
    if (body.size() < 4 || tableLength >= body.size() - 4)
        return true; // no entry can be used
    for (std::size_t entry = 0; entry < tableLength && entry + 24 <= body.size(); entry += 24) {
        const std::uint8_t* e = body.data() + entry;
        if (e[20] != 4 || e[21] != 0)
            continue;
        const int bank = e[18];
        const int note = e[19];
        if (bank >= kBanks || note >= kPerBank)
            continue; // outside the drum table
        const std::uint32_t rate = readBE16(e + 22);
        for (std::size_t pos = tableLength; pos + 8 <= body.size(); ++pos) {
            const std::uint8_t* c = body.data() + pos;
            if (c[0] != 'W' || c[1] != 'A' || c[2] != e[0] || c[3] != e[1])
                continue;
            const std::size_t length = readBE32(c + 4);
            if (length > body.size() - pos - 8)
                continue; // a chunk running past the end is not a wave
            const int handle = store.store(0, body.subspan(pos + 8, length), rate);
            if (handle != 0)
                drum(bank, note).waveHandle = static_cast<std::uint32_t>(handle);
        }
    }
    return true;
}

bool VoiceTables::loadDrumWaveFile(const std::filesystem::path& file, WaveStore& store)
{
    const std::vector<std::uint8_t> bytes = readWholeFile(file, 64u << 20);
    return !bytes.empty() && loadDrumWaves(bytes, store);
}

} // namespace orka::smaf
