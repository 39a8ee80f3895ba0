#pragma once
// The modal transfer dialog: shows one gallery job (download, upload, preview, delete) while
// its worker talks to the handset, and closes when the job ends.
#include "orka/transfer/TransferJob.h"

#include <QDialog>

#include <memory>

class QTimer;

namespace Ui {
class TransferDialog;
}

namespace orka::transfer::ui {

class TransferDialog : public QDialog {
    Q_OBJECT
public:
    // The job is the caller's and must outlive the dialog; the worker starts when the dialog
    // first shows, on the given port.
    TransferDialog(CTransferDlg& job, int port, QWidget* parent = nullptr);
    ~TransferDialog() override;

    // Shows the job modally, then its outcome: the success text, the failure's message, or
    // nothing when nothing was done (cancelled, or nothing on the handset).
    static JobOutcome run(QWidget* parent, CTransferDlg& job, int port);

    bool jobRunning() const { return running_; }

public Q_SLOTS:
    // Esc and the window's close button must not leave a worker without its dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void onTimer();
    void onCancel();
    void onWorkerEnded();

private:
    void startJob();
    void refresh();

    std::unique_ptr<Ui::TransferDialog> ui_;
    CTransferDlg& job_;
    int port_;
    QTimer* timer_;
    bool started_ = false;
    bool running_ = false;
};

} // namespace orka::transfer::ui
