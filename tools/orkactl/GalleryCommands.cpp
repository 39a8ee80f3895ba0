#include "GalleryCommands.h"

#include "JsonText.h"
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

using orka::cli::Arguments;
using orka::cli::UsageError;

struct GalleryOptions {
    int port = 0;
    std::optional<long> into;
    std::vector<long> numbers;
};

int refused(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

// The numbers after the command word, --into, and the port to open.
GalleryOptions optionsOf(const Arguments& args)
{
    GalleryOptions o;
    for (const std::string& word : args.positional())
        o.numbers.push_back(number(word, 0, INT32_MAX, "not a number: " + word));
    if (const auto into = args.value("into"))
        o.into = number(*into, 0, INT32_MAX, "--into takes a folder id");
    o.port = linkPort(args);
    return o;
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
        out += "{\"id\":" + std::to_string(category->id) + ",\"name\":" + jsonString(category->name) + ",\"folders\":[";
        bool firstFolder = true;
        for (const auto& folder : category->folders) {
            doc.loadFolderItems(*folder);
            out += firstFolder ? "" : ",";
            firstFolder = false;
            out += "{\"id\":" + std::to_string(folder->id) + ",\"name\":" + jsonString(folder->name) +
                   ",\"kind\":" + std::to_string(int(folder->kind)) +
                   ",\"read_only\":" + (folder->readOnly ? "true" : "false") + ",\"items\":[";
            bool firstItem = true;
            for (const auto& item : folder->items) {
                out += firstItem ? "" : ",";
                firstItem = false;
                out += "{\"name\":" + jsonString(item.name) + ",\"size\":" + jsonString(orka::app::sizeText(item)) +
                       ",\"type\":" + jsonString(orka::app::typeText(*folder, item)) +
                       ",\"date\":" + jsonString(item.dateText) + "}";
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
        throw UsageError("download takes TYPE --into FOLDER_ID");
    const int type = int(o.numbers[0]);
    COrkaDoc doc;
    doc.build();
    const int folderId = int(*o.into);
    orka::app::FolderNode* folder = doc.findFolder(folderId);
    if (!folder || !folder->stored() || orka::app::storeTypeOf(folderId) != type)
        throw UsageError("FOLDER_ID must be a stored folder of the category of store type " + std::to_string(type));
    doc.openFolder(folderId);
    if (folder->readOnly)
        return refused(GalleryRefusal(orka::app::kStrReadOnlyFolder).what());

    CTransferDlg dlg(type, JobKind::Download);
    const JobOutcome outcome = dlg.run(o.port);
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
        throw UsageError("upload takes FOLDER_ID INDEX...");
    COrkaDoc doc;
    doc.build();
    const int folderId = int(o.numbers[0]);
    orka::app::FolderNode* folder = doc.findFolder(folderId);
    if (!folder || !folder->stored())
        throw UsageError("FOLDER_ID must be a stored folder");
    doc.openFolder(folderId);
    const int type = orka::app::storeTypeOf(folderId);
    CTransferDlg dlg(type, JobKind::Upload);
    for (std::size_t i = 1; i < o.numbers.size(); ++i) {
        const auto index = std::size_t(o.numbers[i]);
        if (index >= folder->items.size())
            throw UsageError("folder " + std::to_string(folderId) + " has " + std::to_string(folder->items.size()) +
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
    return finish(dlg.run(o.port));
}

int remove(const GalleryOptions& o)
{
    if (o.numbers.size() < 2)
        throw UsageError("delete takes TYPE NUMBER...");
    CTransferDlg dlg(int(o.numbers[0]), JobKind::Delete);
    for (std::size_t i = 1; i < o.numbers.size(); ++i)
        dlg.handsetNumbers.push_back(unsigned(o.numbers[i]));
    return finish(dlg.run(o.port));
}

// Runs one job command: refusals of the document or a picture become their message.
int runJob(const Arguments& args, int (*job)(const GalleryOptions&))
{
    const GalleryOptions o = optionsOf(args);
    if (!PIOInitPhone())
        return refused(PIOGetLastErrMsg());
    try {
        return job(o);
    } catch (const GalleryRefusal& e) {
        return refused(e.what());
    } catch (const orka::PictureError& e) {
        return refused(e.what());
    }
}

} // namespace

std::vector<orka::cli::Command> galleryCommands()
{
    return {
        {"gallery", {{"json", 0, false}},
         [](const Arguments& args) {
             if (!args.has("json") || !args.positional().empty())
                 throw UsageError("gallery takes --json");
             return galleryJson();
         }},
        {"download", {{"into", 0, true}}, [](const Arguments& args) { return runJob(args, download); }},
        {"upload", {}, [](const Arguments& args) { return runJob(args, upload); }},
        {"delete", {}, [](const Arguments& args) { return runJob(args, remove); }},
    };
}

} // namespace orkactl
