#pragma once
// The AT command exchange: builds a command line, sends it, collects the answer up to a
// final result code with retries and time limits, classifies and splits answer lines.
#include "AtValue.h"
#include "EngineLink.h"
#include "orka/pio.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace orka::engine {

// Request kinds.
inline constexpr int kKindAction = 1;
inline constexpr int kKindPlain = 2;
inline constexpr int kKindSet = 3;
inline constexpr int kKindTest = 4;
inline constexpr int kKindRead = 5;

// Line classification codes of ParseLine.
inline constexpr int kLineOther = -1;
inline constexpr int kLineOk = -2;
inline constexpr int kLineError = -3;
inline constexpr int kLineCmeError = -4;
inline constexpr int kLineEcho = -5;
inline constexpr int kLineNoPrefix = -6;
inline constexpr int kLinePrefixed = 0;

// Flags of Execute and ParseLine.
inline constexpr int kFlagPrefixAT = 1;   // Execute: put "AT" in front
inline constexpr int kFlagAppendCR = 2;   // Execute: end with "\r"
// ParseLine: empty the field list first. Its value is that of kFlagAppendCR on purpose: the
// two belong to different operations, each with its own flag word.
inline constexpr int kFlagClearFields = 2;

// What a result's data points to, so it is released the way it was made.
enum class ResultData { None, Text, Feature, IndexList, DataRecord };

// The result record and how to release its data; the record comes first so the pointer
// handed out is the PIOResult itself.
struct ResultBox {
    PIOResult result{};
    ResultData dataKind = ResultData::None;
};

// The links the exchange may use; the cable wins when both are set.
struct LinkSet {
    CEngineLink* cable = nullptr;
    CEngineLink* infrared = nullptr;
    CEngineLink* active() const { return cable ? cable : infrared; }
};

// Called with a link exception's text when one ends a command.
using LinkFailureHook = std::function<void(const std::string&)>;

class CAtProtocol {
public:
    CAtProtocol();
    virtual ~CAtProtocol() = default;

    void setLinks(LinkSet links) { links_ = links; }
    const LinkSet& links() const { return links_; }
    void setLinkFailureHook(LinkFailureHook hook) { linkFailure_ = std::move(hook); }

    // Runs one command and returns its result (never null in practice; see FreeResult).
    PIOResult* Execute(const std::string& name, int kind, int commandId, int device, const CAtValueList& args, int flags);

    static int ParseLine(const std::string& line, const char* prefix, const char* echo, int flags, CAtValueList& fields);
    static void SplitFields(const std::string& text, CAtValueList& fields);
    static std::string BuildCommandLine(const std::string& name, int kind, const CAtValueList& args, int flags);
    static std::string ErrorText(int number);

    void ResetFinalCodes(bool empty);
    bool IsFinal(const std::string& line) const;
    void FreeResult(PIOResult* result);

    // Waits between retries and between blocks.
    static constexpr int kRetryPauseMs = 50;
    static constexpr int kMaxRetries = 3;

protected:
    // Turns the answer into the result's data; sets ok and error.
    virtual void* ParseResult(int commandId, const std::string& commandLine, int kind,
                              const std::vector<std::string>& lines, int& ok, int& error, ResultData& dataKind);
    static char* copyText(const std::string& text);
    static PIOResult* makeResult(int commandId, int error, int ok, void* data, ResultData dataKind, int kind,
                                 const std::string& commandLine);
    CEngineLink* activeLink() const { return links_.active(); }

private:
    enum class Attempt { Answered, Failed };
    Attempt collectAnswer(CEngineLink& link, std::vector<std::string>& lines);
    static void discardLateAnswer(CEngineLink& link);

    std::set<std::string> finalCodes_;
    std::vector<std::string> lines_;
    LinkSet links_;
    LinkFailureHook linkFailure_;
};

} // namespace orka::engine
