#pragma once
// The modal progress dialog of a PIM load or transfer: runs the worker on a thread of its own,
// shows each stage with its bar and percentage, and closes when the worker ends. A report is
// handed over synchronously: the worker waits until the dialog has shown it.
#include "orka/pim/PimWorkers.h"

#include <QDialog>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace Ui {
class PimProgressDlg;
}

namespace orka::pim::ui {

// The items of the caption list (string 65120).
enum class ProgressCaption { Download = 0, Upload = 1, LoadPhonebook = 2, LoadCalendar = 3 };

class PimProgressDlg : public QDialog {
    Q_OBJECT
public:
    using Work = std::function<JobResult(const PimJobContext&)>;

    // The context's progress sink and cancel flag are the dialog's own.
    PimProgressDlg(ProgressCaption caption, PimJobContext context, Work work, QWidget* parent = nullptr);
    ~PimProgressDlg() override;

    // Shows the dialog modally until the worker ends and gives the worker's result.
    static JobResult run(QWidget* parent, ProgressCaption caption, const PimJobContext& context, Work work);

    const JobResult& jobResult() const { return result_; }
    bool jobRunning() const { return running_; }

public Q_SLOTS:
    // Esc asks the worker to stop, as the cancel button does; the dialog closes when it has.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void startWorker();
    void handOver(const PimProgress& report); // on the worker
    void showPending();
    void onWorkerEnded();
    void requestCancel();

    std::unique_ptr<Ui::PimProgressDlg> ui_;
    PimJobContext context_;
    Work work_;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
    JobResult result_;
    bool running_ = false;

    std::mutex mutex_;
    std::condition_variable taken_;
    std::optional<PimProgress> pending_; // guarded by mutex_
    bool closing_ = false;               // guarded by mutex_: the dialog no longer takes reports
};

} // namespace orka::pim::ui
