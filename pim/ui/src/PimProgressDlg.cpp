#include "orka/pim/ui/PimProgressDlg.h"

#include "ui_PimProgressDlg.h"

#include "orka/ui/UiText.h"

#include <QCloseEvent>

#include <algorithm>
#include <system_error>

namespace orka::pim::ui {
namespace {

constexpr unsigned kStrCaptions = 65120; // "下載資料到電腦|上傳資料到手機|下載電話簿資料|下載行事曆資料"

} // namespace

PimProgressDlg::PimProgressDlg(ProgressCaption caption, PimJobContext context, Work work, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PimProgressDlg>()), context_(std::move(context)),
      work_(std::move(work))
{
    ui_->setupUi(this);
    setWindowTitle(orka::ui::uiText(kStrCaptions).split(QLatin1Char('|')).value(int(caption)));
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    context_.cancel = &cancel_;
    context_.progress = [this](const PimProgress& report) { handOver(report); };
    connect(ui_->cancelButton, &QPushButton::clicked, this, &PimProgressDlg::requestCancel);
}

PimProgressDlg::~PimProgressDlg()
{
    // Only reached under a running worker when the dialog's parent went away: stop it and
    // release it from a hand-over the dialog will never take.
    cancel_ = true;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    taken_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

JobResult PimProgressDlg::run(QWidget* parent, ProgressCaption caption, const PimJobContext& context, Work work)
{
    PimProgressDlg dialog(caption, context, std::move(work), parent);
    dialog.exec();
    return dialog.jobResult();
}

void PimProgressDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!worker_.joinable() && !running_)
        startWorker();
}

void PimProgressDlg::startWorker()
{
    running_ = true;
    try {
        worker_ = std::thread([this] {
            result_ = work_(context_);
            QMetaObject::invokeMethod(this, &PimProgressDlg::onWorkerEnded, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the dialog closes at once, as cancelled.
        result_.end = JobResult::End::Cancelled;
        QMetaObject::invokeMethod(this, &PimProgressDlg::onWorkerEnded, Qt::QueuedConnection);
    }
}

void PimProgressDlg::handOver(const PimProgress& report)
{
    std::unique_lock lock(mutex_);
    if (closing_)
        return;
    pending_ = report;
    QMetaObject::invokeMethod(this, &PimProgressDlg::showPending, Qt::QueuedConnection);
    taken_.wait(lock, [this] { return !pending_ || closing_; });
}

void PimProgressDlg::showPending()
{
    PimProgress report;
    {
        std::lock_guard lock(mutex_);
        if (!pending_)
            return;
        report = *pending_;
        pending_.reset();
    }
    taken_.notify_all();
    const int percent = std::clamp(report.percent(), 0, 100);
    ui_->stageLabel->setText(orka::ui::fromUtf8(stageText(report.stage)));
    ui_->progressBar->setValue(percent);
    ui_->percentLabel->setText(QStringLiteral("%1%").arg(percent));
}

void PimProgressDlg::onWorkerEnded()
{
    if (worker_.joinable())
        worker_.join();
    running_ = false;
    if (result_.succeeded())
        accept();
    else
        done(QDialog::Rejected);
}

void PimProgressDlg::requestCancel()
{
    cancel_ = true;
    ui_->cancelButton->setEnabled(false);
}

void PimProgressDlg::reject()
{
    if (running_)
        requestCancel();
    else
        QDialog::reject();
}

void PimProgressDlg::closeEvent(QCloseEvent* event)
{
    if (running_) {
        requestCancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace orka::pim::ui
