#pragma once
// Loading the PIM lists and transferring ticked entries between the handset and the contacts
// store, without any window: the caller runs a worker on a thread of its own (runPimJob does
// it with the synchronous progress hand-over) and shows what it returns. The settings the
// work needs come in as plain values and references, owned by the caller.
#include "orka/pim/HandsetPim.h"
#include "orka/pim/PimLists.h"
#include "orka/pim/PimProgress.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orka::pim {

enum class Direction { Download = 0, Upload = 1 };

// What a worker needs of the program. The loaded flags word is changed only by the worker
// while it runs; the caller reads it after the worker ended.
struct PimJobContext {
    int port = 0;
    std::uint32_t* loadedFlags = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    ProgressSink progress;
    std::filesystem::path storeRoot;                    // empty: StatePaths::pimDir()
    std::chrono::milliseconds settle{100};             // pause after a handset read reached 100 %
};

// An entry the transfer passed over, and why; the transfer went on without it.
struct EntryProblem {
    enum class Reason { CannotEncode, Refused, WriteFailed };
    std::string entry; // its name or subject (UTF-8)
    Reason reason = Reason::Refused;
    std::string text;  // the message (CannotEncode) or the handset's failure text
};

struct JobResult {
    enum class End { Done, Cancelled, Failed };
    End end = End::Done;
    unsigned messageId = 0;    // of the failure
    std::string failureText;   // the message with its diagnostic line (UTF-8)
    std::vector<EntryProblem> problems;
    int entriesSent = 0;
    bool succeeded() const { return end == End::Done; }
};

// Reads the store's contacts and tasks afresh (no handset needed) and sets the loaded flag.
JobResult readStoreLists(PimLists& lists, const PimJobContext& context);

// Loads the store's contacts and tasks (unless loaded) and the handset list of one kind
// (unless loaded), reading the handset's free entries and capacity of that kind with it.
JobResult loadPimLists(PimKind kind, PimLists& lists, const PimJobContext& context);

struct TransferChoice {
    Direction direction = Direction::Download;
    bool contacts = false;
    bool calendar = false;
};

// Option word bits: the direction in bits 3-5, the kinds in bits 21 and 22.
void storeTransferChoice(std::uint32_t& optionWord, const TransferChoice& choice);
TransferChoice transferChoiceOf(std::uint32_t optionWord);

// Why the transfer cannot start (20016, 20017, 20022, 20023) and the read button to focus
// (0 contacts, 1 calendar); nullopt when it can.
struct StartRefusal {
    unsigned messageId;
    int readButton;
};
std::optional<StartRefusal> checkTransferStart(const TransferChoice& choice, const PimLists& lists,
                                               std::uint32_t loadedFlags);
// The selection lists' OK in upload direction: 20024 / 20025 when more entries are ticked
// than the handset has free.
std::optional<unsigned> checkSelection(PimKind kind, Direction direction, const PimLists& lists);

// The worker of a transfer.
JobResult transferPimEntries(const TransferChoice& choice, PimLists& lists, const PimJobContext& context);

// "MM/DD/YY hh:mm" with the year counted from 1900 before 2000 and from 2000 on.
std::string lastSyncText(const std::tm& localTime);

// The whole start of a transfer as the transfer dialog runs it: stores the choice in the
// option word, checks the lists, runs the worker and writes the last-synchronisation text,
// also after a failure or a cancel. A refused start returns Failed with its message and
// leaves the last-synchronisation text alone.
JobResult startTransfer(const TransferChoice& choice, PimLists& lists, PimJobContext context,
                        std::uint32_t& optionWord, std::string& lastSync,
                        const std::function<void(const PimProgress&)>& show = {});

// Runs work on a thread of its own and passes each progress report to show on the calling
// thread, synchronously, until the work ends.
JobResult runPimJob(const std::function<JobResult(const ProgressSink&)>& work,
                    const std::function<void(const PimProgress&)>& show);

} // namespace orka::pim
