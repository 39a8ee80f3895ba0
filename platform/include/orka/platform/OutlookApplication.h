#pragma once
// The contacts and tasks store, offered through the calls the PIM transfer makes of a personal
// information manager: the default contacts (10) and tasks (13) folders and their subfolders,
// items restricted by message class, sorted, found by a filter, added and saved.
//
// On Linux the store is a folder of vCard and iCalendar files in the vdir layout that address
// books and task lists share: StatePaths::pimDir()/contacts and /tasks, a subdirectory per
// subfolder, one item a file named after its UID (a file holding several items, as an address
// book export does, is read as several items). Item properties carry the names of the
// contact and task item properties ("FullName", "MobileTelephoneNumber", "ReminderTime", ...);
// dates are OLE automation dates in local time.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace orka::platform {

// Days since 1899-12-30 00:00, the time of day as the fraction.
using OleDate = double;

struct CivilTime {
    int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
OleDate toOleDate(const CivilTime& t);
CivilTime fromOleDate(OleDate date);
OleDate oleDateNow(); // local time

class OutlookError : public std::runtime_error {
public:
    enum class Kind {
        Unavailable, // the store or a default folder cannot be opened
        QueryFailed, // a filter cannot be understood
        ItemFailed,  // an item cannot be fetched or saved
    };
    OutlookError(Kind kind, const std::string& what) : std::runtime_error(what), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

inline constexpr const char* kContactClass = "IPM.Contact";
inline constexpr const char* kTaskClass = "IPM.Task";

using OutlookValue = std::variant<std::monostate, std::string, OleDate, bool, long>;

class OutlookItem {
public:
    OutlookItem() = default;
    // A new item of a class in a folder, not yet saved.
    OutlookItem(std::string messageClass, std::filesystem::path folder);

    const std::string& messageClass() const { return class_; }
    // Unset properties read as "", nullopt, false and 0.
    std::string text(const std::string& property) const;
    std::optional<OleDate> date(const std::string& property) const;
    bool flag(const std::string& property) const;
    long number(const std::string& property) const;
    const OutlookValue& value(const std::string& property) const;
    void set(const std::string& property, OutlookValue value);

    // Writes a new item to a new file named after its EntryID (which it gets here when it has
    // none). Items read from files are never rewritten. Throws OutlookError when it cannot.
    void save();

    // Where the item was read from; empty for a new item.
    const std::filesystem::path& file() const { return file_; }
    void setSource(std::filesystem::path file);

private:
    std::string class_;
    std::filesystem::path folder_;
    std::filesystem::path file_;
    bool savedHere_ = false;
    std::map<std::string, OutlookValue> properties_;
};

class OutlookItems {
public:
    explicit OutlookItems(std::vector<OutlookItem> items = {}) : items_(std::move(items)) {}
    // Items matching "[Property] = 'text'" or "[Property] = number" (a date as an OLE date;
    // equal to the second). Throws OutlookError (QueryFailed) for any other filter.
    OutlookItems restrict(const std::string& filter) const;
    std::optional<OutlookItem> find(const std::string& filter) const;
    // Ascending and stable; texts compare without regard to case, unset dates come first.
    void sort(const std::string& property);
    std::size_t count() const { return items_.size(); }
    // 1-based, as the collection counts; throws OutlookError (ItemFailed) outside.
    const OutlookItem& item(std::size_t index) const;

private:
    std::vector<OutlookItem> items_;
};

class OutlookFolder {
public:
    explicit OutlookFolder(std::filesystem::path dir) : dir_(std::move(dir)) {}
    const std::filesystem::path& path() const { return dir_; }
    std::string name() const { return dir_.filename().string(); }
    // Subfolders in name order (hidden folders left out).
    std::vector<OutlookFolder> folders() const;
    // Every item of the folder itself; unreadable files and items are left out.
    OutlookItems items() const;
    OutlookItem add(const std::string& messageClass) const { return OutlookItem(messageClass, dir_); }

private:
    std::filesystem::path dir_;
};

class OutlookApplication {
public:
    enum DefaultFolder { kContactsFolder = 10, kTasksFolder = 13 };
    // The store under StatePaths::pimDir(), or under root.
    OutlookApplication();
    explicit OutlookApplication(std::filesystem::path root);
    // Made on first use. Throws OutlookError (Unavailable) when it cannot be.
    OutlookFolder getDefaultFolder(int folder) const;
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

// The store's file formats, each item a property set as above. Readers skip what they cannot
// understand and never throw; writers give the file's text.
std::vector<OutlookItem> readVcardItems(const std::string& text);
std::string writeVcardItem(const OutlookItem& item);
std::vector<OutlookItem> readVtodoItems(const std::string& text);
std::string writeVtodoItem(const OutlookItem& item);

} // namespace orka::platform
