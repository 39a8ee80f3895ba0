#include "WizardTransfer.h"

#include "orka/app/ItemPictures.h"
#include "orka/app/OrkaApp.h"
#include "orka/picture/PictureFile.h"
#include "orka/transfer/TransferItems.h"
#include "orka/transfer/TransferJob.h"
#include "orka/ui/UserPrompts.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>

namespace orka::app::ui {

void fillTransferJob(transfer::CTransferDlg& job, int categoryId, const WizardResult& result)
{
    const int type = storeTypeOf(categoryId);
    for (const ItemContent& content : result.contents) {
        const auto* set = std::get_if<AnimationContent>(&content);
        if (set && categoryId == kMainMenuCategory) {
            // A main-menu set goes out as one picture per entry.
            for (const AnimationFrame& frame : set->frames)
                job.items.push_back({{uploadBytes(pictureFromBitmap(frame.bitmap), type)}});
            continue;
        }
        job.items.push_back(transfer::uploadEntry(GalleryItem::make(result.name, content), type));
    }
}

bool runWizardTransfer(QWidget* parent, COrkaApp& app, int categoryId, const WizardResult& result, bool previewOnly)
{
    transfer::CTransferDlg job(storeTypeOf(categoryId), previewOnly ? transfer::JobKind::Preview : transfer::JobKind::Upload);
    try {
        fillTransferJob(job, categoryId, result);
    } catch (const std::exception& failure) {
        orka::ui::showFailure(parent, failure);
        return false;
    }
    std::atomic<bool> finished{false};
    job.start(app.preferences().port(), [&finished] { finished = true; });
    while (!finished.load()) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    const transfer::JobOutcome outcome = job.wait();
    if (!outcome.message.empty()) {
        app::Message message;
        message.exceptionText = outcome.message;
        orka::ui::showMessage(parent, message);
    }
    return outcome.result == transfer::JobOutcome::Result::Succeeded;
}

} // namespace orka::app::ui
