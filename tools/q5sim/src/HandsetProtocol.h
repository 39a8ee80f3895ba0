#pragma once
// The handset's command interpreter for one link: maps each command line to the lines
// of its answer, the last of which is the final result code. It knows nothing of the
// link the line came from; block transfers in progress belong to the session, the stores
// are shared by every link of the handset.
#include "AtCommand.h"
#include "HandsetStore.h"

#include <optional>
#include <string>
#include <vector>

namespace q5sim {

// Answer variations that some handsets show; the fault set switches them on.
struct AnswerQuirks {
    bool lowercaseOk = false;   // "ok" instead of "OK"
    bool blockOrder = false;    // a data read numbers its second block 3
    bool wrongLength = false;   // a data read's first block gives its hex length off by one
    bool emptyListLine = false; // an empty index list still gets a "^QXDIR:" line
};

struct Reply {
    std::vector<std::string> lines; // without line endings; the final result code comes last
    std::vector<std::string> notes; // what the handset did, for the log
};

class HandsetProtocol {
public:
    // Hex characters per block of a data read answer.
    static constexpr std::size_t readBlockHex = 200;
    // Numbers per line of an index list answer.
    static constexpr std::size_t indexesPerLine = 20;

    explicit HandsetProtocol(HandsetStore& store) : store_(store) {}

    Reply handle(const std::string& line, const AnswerQuirks& quirks = {});
    Reply handle(const AtCommand& command, const std::string& line, const AnswerQuirks& quirks = {});

    // ATE1 makes the handset echo each command line before its answer.
    bool echoOn() const { return echo_; }
    // Forgets block transfers in progress (the link was dropped).
    void reset();

private:
    // A block transfer (data write or preview) that has not reached its last block.
    struct Transfer {
        int type = 0, index = 0, part = 0, count = 0, next = 1;
        Bytes data;
    };

    Reply featureRead(const AtCommand& c);
    Reply indexRead(const AtCommand& c, const AnswerQuirks& q);
    Reply dataRead(const AtCommand& c, const AnswerQuirks& q);
    Reply dataWrite(const AtCommand& c, const std::string& line);
    Reply dataDelete(const AtCommand& c);
    Reply preview(const AtCommand& c);
    Reply memoryQuery(const AtCommand& c);
    Reply name(const AtCommand& c);
    Reply testForm(const AtCommand& c);
    Reply basic(const AtCommand& c);

    // Adds one block to a transfer; returns the error number to answer, or nullopt.
    std::optional<int> acceptBlock(std::optional<Transfer>& transfer, int type, int index, int part, int count,
                                   int k, Bytes block, std::uint64_t room);

    HandsetStore& store_;
    std::optional<Transfer> write_;
    std::optional<Transfer> preview_;
    // The last data-write block taken: a repeat of exactly that line (the PC resending
    // because our OK was lost) is answered OK again without being stored twice.
    std::string lastBlockLine_;
    // For a last block: the stores as they were right after it was stored. A change since
    // (another link deleted the item) makes the same line a new write.
    std::uint64_t generationAfterLastBlock_ = 0;
    bool echo_ = false;
};

int errorNumber(StoreError e);
std::string cmeError(int n);

} // namespace q5sim
