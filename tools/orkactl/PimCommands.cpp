#include "PimCommands.h"

#include "JsonText.h"
#include "OrkactlCommands.h"

#include "orka/pim/AnsiText.h"
#include "orka/pim/HandsetPim.h"
#include "orka/pim/PimError.h"
#include "orka/pim/PimWorkers.h"
#include "orka/pio.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace orkactl {
namespace {
using namespace orka::pim;

using orka::cli::Arguments;
using orka::cli::UsageError;

// The transfer sets its direction and kinds in a copy of the option word; orkactl keeps no
// settings of its own, so the copy starts empty.
constexpr std::uint32_t kOptionWordUnused = 0;

struct PimOptions {
    int port = 0;
    std::string action;
    PimKind kind = PimKind::Contacts;
    std::vector<std::string> keys; // --keys or --uids
};

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        if (comma > from)
            out.push_back(text.substr(from, comma - from));
        from = comma + 1;
    }
    return out;
}

// pim ACTION KIND with --json, --keys or --uids, checked before anything is opened.
PimOptions optionsOf(const Arguments& args)
{
    const auto& words = args.positional();
    if (words.size() != 2)
        throw UsageError("pim takes an action and a kind");
    PimOptions o;
    o.action = words[0];
    if (words[1] != "contacts" && words[1] != "calendar")
        throw UsageError("the kind is contacts or calendar");
    o.kind = words[1] == "contacts" ? PimKind::Contacts : PimKind::Calendar;
    const bool listing = o.action == "handset" || o.action == "store";
    if (!listing && o.action != "download" && o.action != "upload")
        throw UsageError("unknown pim action " + o.action);
    if (listing != args.has("json"))
        throw UsageError(listing ? o.action + " needs --json" : "--json is for handset and store");
    const bool hasKeys = args.has("keys"), hasUids = args.has("uids");
    if ((hasKeys && o.action != "download") || (hasUids && o.action != "upload"))
        throw UsageError("--keys goes with download, --uids with upload");
    if (hasKeys || hasUids) {
        const std::string option = hasKeys ? "--keys" : "--uids";
        o.keys = splitList(*args.value(hasKeys ? "keys" : "uids"));
        if (o.keys.empty())
            throw UsageError(option + " takes a list separated by commas");
    }
    if (hasKeys)
        for (const auto& k : o.keys)
            if (k.find_first_not_of("0123456789") != std::string::npos || k.size() > 5)
                throw UsageError("--keys takes handset keys (numbers)");
    o.port = linkPort(args); // checked even where the link is not opened
    return o;
}

// Progress on stderr while it is a terminal.
void showProgress(const PimProgress& p)
{
    if (!::isatty(STDERR_FILENO))
        return;
    std::fprintf(stderr, "\r\033[K%s %d%%", stageText(p.stage).c_str(), p.percent());
    std::fflush(stderr);
}

void endProgress()
{
    if (::isatty(STDERR_FILENO))
        std::fprintf(stderr, "\r\033[K");
}

int failed(const std::string& text)
{
    endProgress();
    std::fprintf(stderr, "%s\n", text.c_str());
    return kExitFailed;
}

// JSON output.

std::string text(const std::string& ansi) { return jsonString(utf8FromAnsi(ansi)); }

std::string dateJson(const PimDateTime& t, bool withTime)
{
    if (!t.valid)
        return "null";
    char buf[40];
    if (withTime)
        std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02dT%02d:%02d\"", t.year, t.month, t.day, t.hour, t.minute);
    else
        std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d\"", t.year, t.month, t.day);
    return buf;
}

std::string storeJson(const StoreIdentity& s)
{
    char times[96];
    std::snprintf(times, sizeof times, ", \"creationTime\": %.6f, \"lastModificationTime\": %.6f", s.creationTime,
                  s.lastModificationTime);
    return ", \"entryId\": " + jsonString(s.entryId) + times;
}

std::string contactJson(const CContactItem& c, bool fromStore)
{
    std::string j = "{\"key\": " + std::to_string(c.key);
    const std::pair<const char*, ContactField> fields[] = {
        {"name", ContactField::Name},       {"phone1", ContactField::Phone1},   {"phone2", ContactField::Phone2},
        {"phone3", ContactField::Phone3},   {"phone4", ContactField::Phone4},   {"fax", ContactField::Fax},
        {"company", ContactField::Company}, {"title", ContactField::Title},     {"address", ContactField::Address},
        {"email1", ContactField::Email1},   {"email2", ContactField::Email2},   {"zipCode", ContactField::ZipCode},
        {"webSite", ContactField::WebSite}, {"remark", ContactField::Remark}};
    for (const auto& [name, field] : fields)
        j += ", \"" + std::string(name) + "\": " + text(c.text(field));
    j += ", \"birthday\": " + dateJson(c.birthday, false);
    if (fromStore) {
        j += storeJson(c.store);
    } else {
        char trailer[16];
        for (int i = 0; i < 6; ++i)
            std::snprintf(trailer + 2 * i, 3, "%02X", c.trailer[i]);
        j += ", \"trailer\": \"" + std::string(trailer) + "\"";
    }
    return j + "}";
}

std::string calendarJson(const CCalendarItem& e, bool fromStore)
{
    std::string j = fromStore ? "{" : "{\"key\": " + std::to_string(e.key + 1) + ", \"location\": " + std::to_string(e.key) + ", ";
    j += "\"subject\": " + text(e.subject) + ", \"content\": " + text(e.content) +
         ", \"flag\": " + std::to_string(e.flag) + ", \"when\": " + dateJson(e.when, true);
    if (fromStore)
        j += storeJson(e.store);
    return j + "}";
}

template <class Entry, class ToJson> void printList(const std::vector<Entry>& entries, bool fromStore, ToJson toJson)
{
    std::printf("[");
    for (std::size_t i = 0; i < entries.size(); ++i)
        std::printf("%s\n  %s", i ? "," : "", toJson(entries[i], fromStore).c_str());
    std::printf("%s]\n", entries.empty() ? "" : "\n");
}

void printEntries(const PimLists& lists, PimKind kind, bool fromStore)
{
    if (kind == PimKind::Contacts)
        printList(fromStore ? lists.storeContacts : lists.phonebook, fromStore, contactJson);
    else
        printList(fromStore ? lists.storeTasks : lists.calendar, fromStore, calendarJson);
}

// Ticks the entries named on the command line, or all of them; the names not found.
template <class Entry, class Name>
std::vector<std::string> tick(std::vector<Entry>& entries, const std::vector<std::string>& wanted, Name nameOf)
{
    std::set<std::string> missing(wanted.begin(), wanted.end());
    for (auto& e : entries) {
        const std::string name = nameOf(e);
        e.setTicked(wanted.empty() || std::find(wanted.begin(), wanted.end(), name) != wanted.end());
        missing.erase(name);
    }
    return {missing.begin(), missing.end()};
}

std::vector<std::string> tickChosen(PimLists& lists, const PimOptions& o)
{
    const auto key = [](const auto& e) { return std::to_string(e.key); };
    const auto calendarKey = [](const CCalendarItem& e) { return std::to_string(e.key + 1); };
    const auto uid = [](const auto& e) { return e.store.entryId; };
    if (o.action == "download")
        return o.kind == PimKind::Contacts ? tick(lists.phonebook, o.keys, key) : tick(lists.calendar, o.keys, calendarKey);
    return o.kind == PimKind::Contacts ? tick(lists.storeContacts, o.keys, uid) : tick(lists.storeTasks, o.keys, uid);
}

std::string problemText(const EntryProblem& p)
{
    switch (p.reason) {
    case EntryProblem::Reason::CannotEncode: return p.entry + ": " + p.text;
    case EntryProblem::Reason::Refused: return p.entry + ": no reminder date from 2000 to 2099; not sent";
    case EntryProblem::Reason::WriteFailed: return p.entry + ": " + p.text;
    }
    return p.entry;
}

int listStore(PimKind kind)
{
    PimLists lists;
    const JobResult r = runPimJob([&](const ProgressSink& sink) { return readStoreLists(lists, {0, nullptr, nullptr, sink}); },
                                  showProgress);
    if (!r.succeeded())
        return failed(r.failureText);
    endProgress();
    printEntries(lists, kind, true);
    return kExitOk;
}

int listHandset(const PimOptions& o)
{
    PimLists lists;
    std::uint32_t flags = loaded::kStore; // the store is not wanted here
    const JobResult r = runPimJob(
        [&](const ProgressSink& sink) { return loadPimLists(o.kind, lists, {o.port, &flags, nullptr, sink}); },
        showProgress);
    if (!r.succeeded())
        return failed(r.failureText);
    endProgress();
    printEntries(lists, o.kind, false);
    return kExitOk;
}

int transfer(const PimOptions& o)
{
    PimLists lists;
    std::uint32_t flags = 0;
    const JobResult loaded = runPimJob(
        [&](const ProgressSink& sink) { return loadPimLists(o.kind, lists, {o.port, &flags, nullptr, sink}); },
        showProgress);
    if (!loaded.succeeded())
        return failed(loaded.failureText);
    if (auto missing = tickChosen(lists, o); !missing.empty())
        return failed("orkactl: no entry " + missing.front());
    TransferChoice choice;
    choice.direction = o.action == "upload" ? Direction::Upload : Direction::Download;
    choice.contacts = o.kind == PimKind::Contacts;
    choice.calendar = !choice.contacts;
    if (auto refused = checkSelection(o.kind, choice.direction, lists))
        return failed(formatMessage(*refused));
    std::uint32_t optionWord = kOptionWordUnused;
    std::string lastSync;
    const JobResult r = startTransfer(choice, lists, {o.port, &flags, nullptr, {}}, optionWord, lastSync, showProgress);
    endProgress();
    for (const auto& p : r.problems)
        std::fprintf(stderr, "%s\n", problemText(p).c_str());
    if (!r.succeeded())
        return failed(r.failureText);
    std::printf("%s %d\n", formatMessage(msg::kTransferDone).c_str(), r.entriesSent);
    return r.problems.empty() ? kExitOk : kExitFailed;
}
} // namespace

std::vector<orka::cli::Command> pimCommands()
{
    return {{"pim",
             {{"json", 0, false}, {"keys", 0, true}, {"uids", 0, true}},
             [](const Arguments& args) {
                 const PimOptions o = optionsOf(args);
                 if (o.action == "store")
                     return listStore(o.kind);
                 if (!PIOInitPhone())
                     return failed(PIOGetLastErrMsg());
                 if (o.action == "handset")
                     return listHandset(o);
                 return transfer(o);
             }}};
}

} // namespace orkactl
