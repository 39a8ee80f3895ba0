#include "GalleryCommands.h"

#include "OrkactlCommands.h"
#include "orka/app/COrkaDoc.h"
#include "orka/app/ItemTexts.h"
#include "orka/picture/PictureError.h"
#include "orka/pio.h"
#include "orka/transfer/TransferItems.h"
#include "orka/transfer/TransferJob.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orkactl {
namespace {

using orka::app::COrkaDoc;
using orka::app::GalleryRefusal;
using orka::transfer::CTransferDlg;
using orka::transfer::JobKind;
using orka::transfer::JobOutcome;

constexpr std::string_view kCommands[] = {"gallery", "download", "upload", "delete"};
// Until the saved connection word can be read, the port is the one orkactl has always used.
constexpr int kDefaultPort = 300;

struct GalleryOptions {
    std::optional<int> port;
    bool json = false;
    std::optional<long> into;
    std::string command;
    std::vector<long> numbers;
};

std::optional<long> number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || v < 0 || v > 0x7FFFFFFF)
        return std::nullopt;
    return v;
}

int usage(const std::string& why)
{
    std::fprintf(stderr, "orkactl: %s\n", why.c_str());
    printGalleryUsage(stderr);
    return kExitUsage;
}

int refused(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

// Everything after the command word: numbers, and the options --port, --json and --into.
std::optional<GalleryOptions> parse(int argc, char** argv, std::string& why)
{
    GalleryOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::optional<long> {
            return i + 1 < argc ? number(argv[++i]) : std::nullopt;
        };
        if (a == "--port") {
            const auto v = value();
            if (!v)
                return why = "--port takes a number", std::nullopt;
            o.port = int(*v);
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--into") {
            if (!(o.into = value()))
                return why = "--into takes a folder id", std::nullopt;
        } else if (o.command.empty()) {
            o.command = a;
        } else if (const auto n = number(a)) {
            o.numbers.push_back(*n);
        } else {
            return why = "not a number: " + a, std::nullopt;
        }
    }
    if (!o.port) {
        if (const char* env = std::getenv("ORKA_PORT"); env && *env) {
            const auto v = number(env);
            if (!v)
                return why = "ORKA_PORT is not a port number", std::nullopt;
            o.port = int(*v);
        }
    }
    return o;
}

std::string jsonText(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

int galleryJson()
{
    COrkaDoc doc;
    doc.build();
    std::string out = "{\"categories\":[";
    bool firstCategory = true;
    for (const auto& category : doc.root().categories) {
        out += firstCategory ? "" : ",";
        firstCategory = false;
        out += "{\"id\":" + std::to_string(category->id) + ",\"name\":" + jsonText(category->name) + ",\"folders\":[";
        bool firstFolder = true;
        for (const auto& folder : category->folders) {
            doc.loadFolderItems(*folder);
            out += firstFolder ? "" : ",";
            firstFolder = false;
            out += "{\"id\":" + std::to_string(folder->id) + ",\"name\":" + jsonText(folder->name) +
                   ",\"kind\":" + std::to_string(int(folder->kind)) +
                   ",\"read_only\":" + (folder->readOnly ? "true" : "false") + ",\"items\":[";
            bool firstItem = true;
            for (const auto& item : folder->items) {
                out += firstItem ? "" : ",";
                firstItem = false;
                out += "{\"name\":" + jsonText(item.name) + ",\"size\":" + jsonText(orka::app::sizeText(item)) +
                       ",\"type\":" + jsonText(orka::app::typeText(*folder, item)) +
                       ",\"date\":" + jsonText(item.dateText) + "}";
            }
            out += "]}";
            // Only the texts are needed: let the next folder reuse this one's memory.
            std::vector<orka::app::GalleryItem>().swap(folder->items);
        }
        out += "]}";
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return kExitOk;
}

// Runs the job and prints what the dialog would show.
int finish(const JobOutcome& outcome)
{
    if (outcome.result == JobOutcome::Result::Failed)
        return refused(outcome.message);
    if (!outcome.message.empty())
        std::printf("%s\n", outcome.message.c_str());
    return kExitOk;
}

int download(const GalleryOptions& o)
{
    if (o.numbers.size() != 1 || !o.into)
        return usage("download takes TYPE --into FOLDER_ID");
    const int type = int(o.numbers[0]);
    COrkaDoc doc;
    doc.build();
    const int folderId = int(*o.into);
    orka::app::FolderNode* folder = doc.findFolder(folderId);
    if (!folder || !folder->stored() || orka::app::storeTypeOf(folderId) != type)
        return usage("FOLDER_ID must be a stored folder of the category of store type " + std::to_string(type));
    doc.openFolder(folderId);
    if (folder->readOnly)
        return refused(GalleryRefusal(orka::app::kStrReadOnlyFolder).what());

    CTransferDlg dlg(type, JobKind::Download);
    const JobOutcome outcome = dlg.run(*o.port);
    // Whatever came before a failure is kept.
    int status = kExitOk;
    for (std::size_t i = 0; i < dlg.items.size(); ++i) {
        const unsigned number = dlg.handsetNumbers[i];
        try {
            doc.addItem(folderId, orka::transfer::itemFromDownload(dlg.items[i], type, number, std::to_string(number)));
        } catch (const orka::PictureError& e) {
            status = refused(e.what());
        } catch (const GalleryRefusal& e) {
            status = refused(e.what());
        }
    }
    try {
        doc.saveFolder(folderId);
    } catch (const GalleryRefusal& e) {
        return refused(e.what());
    }
    const int jobStatus = finish(outcome);
    return jobStatus != kExitOk ? jobStatus : status;
}

int upload(const GalleryOptions& o)
{
    if (o.numbers.size() < 2)
        return usage("upload takes FOLDER_ID INDEX...");
    COrkaDoc doc;
    doc.build();
    const int folderId = int(o.numbers[0]);
    orka::app::FolderNode* folder = doc.findFolder(folderId);
    if (!folder || !folder->stored())
        return usage("FOLDER_ID must be a stored folder");
    doc.openFolder(folderId);
    const int type = orka::app::storeTypeOf(folderId);
    CTransferDlg dlg(type, JobKind::Upload);
    for (std::size_t i = 1; i < o.numbers.size(); ++i) {
        const auto index = std::size_t(o.numbers[i]);
        if (index >= folder->items.size())
            return usage("folder " + std::to_string(folderId) + " has " + std::to_string(folder->items.size()) +
                         " items; INDEX " + std::to_string(index) + " is not one of them");
        const auto& item = folder->items[index];
        if (folder->kind == orka::app::FolderKind::SavedMenus) {
            // A saved set goes out whole: each of its pictures is one part of the set.
            for (const auto& frame : std::get<orka::app::AnimationContent>(item.content).frames) {
                orka::app::GalleryItem part = item;
                part.content = orka::app::PictureContent{frame.bitmap};
                dlg.items.push_back(orka::transfer::uploadEntry(part, type));
            }
        } else {
            dlg.items.push_back(orka::transfer::uploadEntry(item, type));
        }
    }
    return finish(dlg.run(*o.port));
}

int remove(const GalleryOptions& o)
{
    if (o.numbers.size() < 2)
        return usage("delete takes TYPE NUMBER...");
    CTransferDlg dlg(int(o.numbers[0]), JobKind::Delete);
    for (std::size_t i = 1; i < o.numbers.size(); ++i)
        dlg.handsetNumbers.push_back(unsigned(o.numbers[i]));
    return finish(dlg.run(*o.port));
}

int runCommand(GalleryOptions& o)
{
    if (o.command == "gallery")
        return galleryJson();
    if (!o.port)
        o.port = kDefaultPort;
    if (*o.port < 1 || (*o.port > 256 && *o.port != PIO_PORT_IRDA && *o.port != PIO_PORT_IRDA_ALT))
        return usage("the port must be 1-256, 300 or 301");
    if (!PIOInitPhone())
        return refused(PIOGetLastErrMsg());
    if (o.command == "download")
        return download(o);
    if (o.command == "upload")
        return upload(o);
    return remove(o);
}

} // namespace

bool isGalleryCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--port") {
            ++i;
            continue;
        }
        for (const auto c : kCommands)
            if (a == c)
                return true;
        return false;
    }
    return false;
}

int runGalleryCommand(int argc, char** argv)
{
    std::string why;
    auto o = parse(argc, argv, why);
    if (!o)
        return usage(why);
    if (o->command == "gallery" && (!o->json || !o->numbers.empty()))
        return usage("gallery takes --json");
    try {
        return runCommand(*o);
    } catch (const GalleryRefusal& e) {
        return refused(e.what());
    } catch (const orka::PictureError& e) {
        return refused(e.what());
    }
}

void printGalleryUsage(std::FILE* out)
{
    std::fputs("       orkactl gallery --json\n"
               "       orkactl [--port N] download TYPE --into FOLDER_ID\n"
               "       orkactl [--port N] upload FOLDER_ID INDEX...\n"
               "       orkactl [--port N] delete TYPE NUMBER...\n",
               out);
}

} // namespace orkactl
