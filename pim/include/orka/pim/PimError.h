#pragma once
// The one failure of the PIM work: a message of the string table with its arguments, the three
// diagnostic numbers (area, function, point) and, when an underlying failure had one, its text.
#include <stdexcept>
#include <string>
#include <vector>

namespace orka::pim {

// Message ids of the PIM work.
namespace msg {
inline constexpr unsigned kStoreReadFailed = 20003;
inline constexpr unsigned kHandsetReadFailed = 20004;
inline constexpr unsigned kPortOpenFailed = 20013;
inline constexpr unsigned kNoFreePhonebook = 20015;
inline constexpr unsigned kLoadPhonebookFirst = 20016;
inline constexpr unsigned kLoadStoreContactsFirst = 20017;
inline constexpr unsigned kComInitFailed = 20018;
inline constexpr unsigned kFieldTooLong = 20019;
inline constexpr unsigned kNoFreeCalendar = 20021;
inline constexpr unsigned kLoadCalendarFirst = 20022;
inline constexpr unsigned kLoadStoreTasksFirst = 20023;
inline constexpr unsigned kTooManyContacts = 20024;
inline constexpr unsigned kTooManyTasks = 20025;
inline constexpr unsigned kNoPhoneNumber = 20026;
inline constexpr unsigned kNumberEncodingFailed = 20027;
inline constexpr unsigned kTransferDone = 4026;
inline constexpr unsigned kUnknownError = 46000;
inline constexpr unsigned kOutOfMemory = 46040;
inline constexpr unsigned kStoreUnavailable = 46042;
inline constexpr unsigned kStoreQueryFailed = 46063;
inline constexpr unsigned kStoreItemFailed = 46064;
} // namespace msg

// Diagnostic areas: where in the PIM work a failure arose.
namespace area {
inline constexpr unsigned long kRecords = 71;
inline constexpr unsigned long kHandset = 72;
inline constexpr unsigned long kStore = 73;
inline constexpr unsigned long kWorker = 74;
} // namespace area

struct Diagnostic {
    unsigned long area = 0, function = 0, point = 0;
};

class PimError : public std::runtime_error {
public:
    PimError(unsigned messageId, std::vector<std::string> args, Diagnostic where, std::string cause = {});
    unsigned messageId() const { return messageId_; }
    const Diagnostic& where() const { return where_; }
    // The message alone, its arguments filled in (UTF-8).
    const std::string& message() const { return message_; }

private:
    unsigned messageId_;
    Diagnostic where_;
    std::string message_;
};

// A string-table text with each "%s" replaced by the next argument, in order.
std::string formatMessage(unsigned messageId, const std::vector<std::string>& args = {});
// Item `index` of a string-table text that lists several separated by "|"; empty past the end.
std::string messageItem(unsigned messageId, std::size_t index);

} // namespace orka::pim
