#pragma once
// The transfer dialog without its window: the fields the caller fills, the worker that runs
// one job against the handset through the engine, and the outcome the dialog shows.
#include "orka/transfer/TransferProgress.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace orka::transfer {

enum class JobKind : int { Download = 1, Upload = 2, Preview = 3, Delete = 4 };

// Diagnostic numbers of the jobs: component, then the stage.
inline constexpr std::uint32_t kComponentJobs = 31031;
inline constexpr std::uint32_t kStageOpen = 100;
inline constexpr std::uint32_t kStageUpload = 200;
inline constexpr std::uint32_t kStageDownload = 300;
inline constexpr std::uint32_t kStagePreview = 400;
inline constexpr std::uint32_t kStageDelete = 500;
inline constexpr std::uint32_t kLocationOpen = 10;

inline constexpr unsigned kStrOpenFailed = 65087;   // "開啟序列埠失敗!"
inline constexpr unsigned kStrNoResponse = 65083;   // "無回應!"
inline constexpr unsigned kStrEngineText = 65085;   // "%s"
inline constexpr unsigned kStrNoData = 65086;       // "無資料!"
inline constexpr unsigned kStrNoStorage = 65070;    // "無儲存空間"
inline constexpr unsigned kStrCancelMenuUpload = 65189;

using Bytes = std::vector<std::uint8_t>;

// One entry of the item list: one buffer for a one-part item or one part of a set, the
// five frames of an animation.
struct TransferEntry {
    std::vector<Bytes> parts;
};

// A failure of a job: a string id, the diagnostic numbers and the text shown, which is the
// message, a line break and "component:stage:location:system error".
class CLinkException : public std::exception {
public:
    CLinkException(unsigned messageId, std::uint32_t stage, std::uint32_t location, const std::string& argument = {});
    const char* what() const noexcept override { return text_.c_str(); }
    unsigned messageId() const { return messageId_; }
    std::uint32_t stage() const { return stage_; }
    std::uint32_t location() const { return location_; }

    static constexpr std::size_t kMaxText = 511;

private:
    unsigned messageId_;
    std::uint32_t stage_;
    std::uint32_t location_;
    std::string text_;
};

struct JobOutcome {
    enum class Result { Succeeded, NothingDone, Failed };
    Result result = Result::NothingDone;
    std::string message; // the success text or the failure's message box text; empty for nothing done
};

class CTransferDlg {
public:
    CTransferDlg(int type, JobKind job) : type_(type), job_(job) {}
    ~CTransferDlg();
    CTransferDlg(const CTransferDlg&) = delete;
    CTransferDlg& operator=(const CTransferDlg&) = delete;

    int type() const { return type_; }
    JobKind job() const { return job_; }

    // Set by the caller before the job; a download fills them.
    std::vector<TransferEntry> items;
    std::vector<unsigned> handsetNumbers;
    TransferProgress progress;

    // The title label's word ("下載", "上傳", "預覽", " 刪除").
    std::string titleText() const;
    bool cancelEnabled() const;
    int computeRange() const;

    // The cancel button. True when the user must first be asked (main-menu uploads, 65189);
    // answerCancelQuestion then gives the answer.
    bool pressCancel();
    void answerCancelQuestion(bool stop);
    bool cancelRequested() const { return cancel_; }

    // Runs the whole job on the calling thread: open the port, the job, close the port.
    JobOutcome run(int port);
    // Runs it on a worker thread; finished (on that thread) stands for the posted OK command.
    void start(int port, std::function<void()> finished = {});
    // Waits for the worker and gives its outcome.
    JobOutcome wait();

private:
    bool runJob();
    bool download();
    bool uploadSet();
    bool uploadItems();
    bool preview();
    bool remove();
    bool cancelled() const { return cancel_.load() != 0; }
    [[noreturn]] void raise(unsigned messageId, std::uint32_t location, const std::string& argument = {});

    const int type_;
    const JobKind job_;
    std::atomic<int> cancel_{0}; // written by the user-interface thread, polled by the worker
    std::atomic<int> pause_{0};
    std::thread worker_;
    JobOutcome outcome_;
};

// The success text of a job.
std::string successText(JobKind job);

} // namespace orka::transfer
