// melconv: converts Standard MIDI Files to SMAF ring tones with the Melconv library.
//
//   melconv [--bank FILE] [--adpcm FILE] IN.mid OUT.mmf
//   melconv [--bank FILE] [--adpcm FILE] -d OUTDIR IN.mid...
//
// Exit status: 0 converted, 1 a file was refused (the converter's reason on stderr, no
// output left behind), 2 wrong usage.
#include "melconv.h"
#include "orka/cli/CommandLine.h"
#include "orka/platform/Library.h"
#include "orka/platform/StatePaths.h"
#include "orka/resources/VoiceBank.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using orka::cli::kExitFailed;
using orka::cli::kExitOk;

const char* const kUsageText = "usage: melconv [--bank FILE] [--adpcm FILE] IN.mid OUT.mmf\n"
                               "       melconv [--bank FILE] [--adpcm FILE] -d OUTDIR IN.mid...\n";

std::optional<std::vector<std::uint8_t>> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

class Converter {
public:
    bool load(std::string& error)
    {
        if (!library_.load("Melconv.DLL")) {
            error = "Melconv.dll was not found.";
            return false;
        }
        convert_ = library_.function<MCVConvertFn>("MCVConvert");
        if (!convert_) {
            error = "Melconv.dll was not found.";
            return false;
        }
        return true;
    }

    // Converts one song; on refusal `message` holds the converter's reason.
    bool run(const std::vector<std::uint8_t>& smf, std::span<const std::uint8_t> bank,
             const std::vector<std::uint8_t>* adpcm, std::vector<std::uint8_t>& smaf, std::string& message) const
    {
        // No ring tone comes near this; a song that would is refused rather than buffered.
        constexpr std::size_t limit = 64u << 20;
        if (smf.size() > limit) {
            message = "The file is too large.";
            return false;
        }
        std::size_t capacity = std::max<std::size_t>(64 * 1024, smf.size() * 16);
        for (int attempt = 0; attempt < 2; ++attempt) {
            smaf.assign(std::min(capacity, limit), 0);
            auto size = static_cast<std::int32_t>(smaf.size());
            char text[260] = {};
            const int result = convert_(smf.data(), static_cast<std::int32_t>(smf.size()), smaf.data(), &size,
                                        bank.data(), static_cast<std::int32_t>(bank.size()),
                                        adpcm ? adpcm->data() : nullptr,
                                        adpcm ? static_cast<std::int32_t>(adpcm->size()) : 0, text, sizeof text);
            if (result == 1) {
                smaf.resize(static_cast<std::size_t>(size));
                return true;
            }
            message.assign(text, strnlen(text, sizeof text));
            // Too small a buffer: the converter says how much it needs; try once more.
            if (message != "Invalid OutSize" || size <= 0 || static_cast<std::size_t>(size) <= capacity)
                return false;
            capacity = static_cast<std::size_t>(size);
        }
        return false;
    }

private:
    orka::platform::Library library_;
    MCVConvertFn convert_ = nullptr;
};

// Converts `in` to `out`; prints the reason and returns false when it cannot.
bool convertOne(const Converter& converter, const fs::path& in, const fs::path& out, std::span<const std::uint8_t> bank,
                const std::vector<std::uint8_t>* adpcm)
{
    const auto smf = readFile(in);
    if (!smf) {
        std::cerr << "melconv: cannot read " << in.string() << "\n";
        return false;
    }
    std::vector<std::uint8_t> smaf;
    std::string message;
    if (!converter.run(*smf, bank, adpcm, smaf, message)) {
        std::cerr << in.string() << ": " << message << "\n";
        return false;
    }
    // Made beside `out` and renamed into place: an old file of that name survives a failure.
    if (std::string why; !orka::platform::writeFileAtomically(out, smaf.data(), smaf.size(), &why)) {
        std::cerr << "melconv: cannot write " << out.string() << ": " << why << "\n";
        return false;
    }
    return true;
}

int convert(const orka::cli::Arguments& args)
{
    const auto outDir = args.value("d");
    const std::vector<std::string>& files = args.positional();
    if (outDir ? files.empty() : files.size() != 2)
        throw orka::cli::UsageError(outDir ? "give the MIDI files to convert" : "give IN.mid and OUT.mmf");
    std::vector<std::uint8_t> bankFile;
    std::span<const std::uint8_t> bank = orka::resources::embeddedVoiceBank();
    if (const auto bankPath = args.value("bank")) {
        auto bytes = readFile(*bankPath);
        if (!bytes) {
            std::cerr << "melconv: cannot read " << *bankPath << "\n";
            return kExitFailed;
        }
        bankFile = std::move(*bytes);
        bank = bankFile;
    }
    std::optional<std::vector<std::uint8_t>> adpcm;
    if (const auto adpcmPath = args.value("adpcm")) {
        adpcm = readFile(*adpcmPath);
        if (!adpcm) {
            std::cerr << "melconv: cannot read " << *adpcmPath << "\n";
            return kExitFailed;
        }
    }
    Converter converter;
    std::string error;
    if (!converter.load(error)) {
        std::cerr << "melconv: " << error << "\n";
        return kExitFailed;
    }
    const std::vector<std::uint8_t>* adpcmBank = adpcm ? &*adpcm : nullptr;
    if (!outDir)
        return convertOne(converter, files[0], files[1], bank, adpcmBank) ? kExitOk : kExitFailed;

    // The folder is made with the first file written into it, so a run that converts
    // nothing leaves nothing behind.
    int failures = 0;
    for (const fs::path in : files) {
        const fs::path out = fs::path(*outDir) / in.filename().replace_extension(".mmf");
        if (convertOne(converter, in, out, bank, adpcmBank))
            std::cout << in.string() << " -> " << out.string() << "\n";
        else
            ++failures;
    }
    std::cout << files.size() - static_cast<std::size_t>(failures) << " converted, " << failures << " refused\n";
    return failures == 0 ? kExitOk : kExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    const orka::cli::Program program("melconv", kUsageText);
    return program.run(argc, argv, {{"bank", 0, true}, {"adpcm", 0, true}, {"", 'd', true}}, convert);
}
