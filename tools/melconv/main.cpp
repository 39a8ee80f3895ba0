// melconv: converts Standard MIDI Files to SMAF ring tones with the Melconv library.
//
//   melconv [--bank FILE] [--adpcm FILE] IN.mid OUT.mmf
//   melconv [--bank FILE] [--adpcm FILE] -d OUTDIR IN.mid...
//
// Exit status: 0 converted, 1 a file was refused (the converter's reason on stderr, no
// output left behind), 2 wrong usage.
#include "melconv.h"
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

constexpr int kConverted = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

void usage()
{
    std::cerr << "usage: melconv [--bank FILE] [--adpcm FILE] IN.mid OUT.mmf\n"
                 "       melconv [--bank FILE] [--adpcm FILE] -d OUTDIR IN.mid...\n";
}

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

struct Options {
    std::optional<fs::path> bank;
    std::optional<fs::path> adpcm;
    std::optional<fs::path> outDir;
    std::vector<fs::path> files;
};

std::optional<Options> parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::optional<fs::path> {
            if (i + 1 >= argc)
                return std::nullopt;
            return fs::path(argv[++i]);
        };
        if (arg == "--bank") {
            if (!(o.bank = value()))
                return std::nullopt;
        } else if (arg == "--adpcm") {
            if (!(o.adpcm = value()))
                return std::nullopt;
        } else if (arg == "-d") {
            if (!(o.outDir = value()))
                return std::nullopt;
        } else if (arg == "-h" || arg == "--help" || (arg.size() > 1 && arg[0] == '-')) {
            return std::nullopt;
        } else {
            o.files.emplace_back(arg);
        }
    }
    if (o.outDir ? o.files.empty() : o.files.size() != 2)
        return std::nullopt;
    return o;
}

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
    if (!orka::platform::writeFileAtomically(out, smaf.data(), smaf.size())) {
        std::cerr << "melconv: cannot write " << out.string() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const auto options = parse(argc, argv);
    if (!options) {
        usage();
        return kUsage;
    }
    std::vector<std::uint8_t> bankFile;
    std::span<const std::uint8_t> bank = orka::resources::embeddedVoiceBank();
    if (options->bank) {
        auto bytes = readFile(*options->bank);
        if (!bytes) {
            std::cerr << "melconv: cannot read " << options->bank->string() << "\n";
            return kRefused;
        }
        bankFile = std::move(*bytes);
        bank = bankFile;
    }
    std::optional<std::vector<std::uint8_t>> adpcm;
    if (options->adpcm) {
        adpcm = readFile(*options->adpcm);
        if (!adpcm) {
            std::cerr << "melconv: cannot read " << options->adpcm->string() << "\n";
            return kRefused;
        }
    }
    Converter converter;
    std::string error;
    if (!converter.load(error)) {
        std::cerr << "melconv: " << error << "\n";
        return kRefused;
    }
    const std::vector<std::uint8_t>* adpcmBank = adpcm ? &*adpcm : nullptr;
    if (!options->outDir)
        return convertOne(converter, options->files[0], options->files[1], bank, adpcmBank) ? kConverted : kRefused;

    std::error_code ec;
    fs::create_directories(*options->outDir, ec);
    int failures = 0;
    for (const fs::path& in : options->files) {
        const fs::path out = *options->outDir / in.filename().replace_extension(".mmf");
        if (convertOne(converter, in, out, bank, adpcmBank))
            std::cout << in.string() << " -> " << out.string() << "\n";
        else
            ++failures;
    }
    std::cout << options->files.size() - static_cast<std::size_t>(failures) << " converted, " << failures << " refused\n";
    return failures == 0 ? kConverted : kRefused;
}
