#include "orka/transfer/ui/TransferDialog.h"

#include "ui_TransferDialog.h"

#include "orka/app/MessageText.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <system_error>

namespace orka::transfer::ui {
namespace {

using orka::ui::fromUtf8;

// Keys the dialog swallows while it is up: none of them may close it or press its button.
bool isSwallowedKey(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

} // namespace

TransferDialog::TransferDialog(CTransferDlg& job, int port, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TransferDialog>()), job_(job), port_(port), timer_(new QTimer(this))
{
    ui_->setupUi(this);
    setWindowTitle(orka::ui::uiText(app::kStrWindowTitle));
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    ui_->titleLabel->setText(fromUtf8(job_.titleText()));
    ui_->countLabel->setText(fromUtf8(app::formatText("%d / %d", {"0", "0"})));

    // Keys go to the focused button first, so every control gets the filter, not only the dialog.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    timer_->setInterval(TransferProgress::kTimerMs);
    connect(timer_, &QTimer::timeout, this, &TransferDialog::onTimer);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &TransferDialog::onCancel);
}

TransferDialog::~TransferDialog()
{
    if (running_) {
        // Only reached when the dialog goes away under a running job (its parent closed):
        // stop the job before its next item rather than leave the worker behind.
        if (job_.pressCancel())
            job_.answerCancelQuestion(true);
        job_.wait();
    }
    job_.progress.onCountChanged({}); // the worker has ended: nobody calls it any more
}

JobOutcome TransferDialog::run(QWidget* parent, CTransferDlg& job, int port)
{
    {
        TransferDialog dialog(job, port, parent);
        dialog.exec();
    }
    const JobOutcome outcome = job.wait();
    if (outcome.result != JobOutcome::Result::NothingDone) {
        app::Message message;
        message.exceptionText = outcome.message; // already the whole text of the box
        orka::ui::showMessage(parent, message);
    }
    return outcome;
}

void TransferDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_)
        startJob();
}

void TransferDialog::startJob()
{
    started_ = true;
    running_ = true;
    ui_->progressBar->setRange(0, job_.computeRange());
    ui_->progressBar->setValue(0);
    ui_->cancelButton->setEnabled(job_.cancelEnabled());

    // Both callbacks run on the worker; the dialog's own thread does the drawing.
    job_.progress.onCountChanged([this](int, int) {
        QMetaObject::invokeMethod(this, &TransferDialog::refresh, Qt::QueuedConnection);
    });
    timer_->start();
    const auto ended = [this] { QMetaObject::invokeMethod(this, &TransferDialog::onWorkerEnded, Qt::QueuedConnection); };
    try {
        job_.start(port_, ended);
    } catch (const std::system_error&) {
        ended(); // no worker could be started: nothing was done, the dialog closes at once
    }
}

void TransferDialog::refresh()
{
    const TransferProgress& progress = job_.progress;
    const int range = progress.range();
    if (ui_->progressBar->maximum() != range)
        ui_->progressBar->setRange(0, range);
    ui_->progressBar->setValue(std::min(progress.position(), range));
    ui_->countLabel->setText(fromUtf8(progress.countText()));
}

void TransferDialog::onTimer()
{
    job_.progress.tick();
    refresh();
}

void TransferDialog::onCancel()
{
    if (!running_)
        return;
    if (job_.pressCancel()) {
        // A main-menu upload pauses while the user decides: half a menu set is a broken menu.
        job_.answerCancelQuestion(orka::ui::askYesNo(this, kStrCancelMenuUpload));
        if (!job_.cancelRequested())
            return;
    }
    ui_->cancelButton->setEnabled(false); // the flag is set; the worker stops before its next item
}

void TransferDialog::onWorkerEnded()
{
    job_.wait();
    running_ = false;
    timer_->stop();
    job_.progress.onCountChanged({});
    refresh();
    accept();
}

void TransferDialog::reject()
{
    if (!running_)
        QDialog::reject();
}

void TransferDialog::closeEvent(QCloseEvent* event)
{
    if (running_)
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool TransferDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isSwallowedKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

} // namespace orka::transfer::ui
