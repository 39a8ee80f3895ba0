#pragma once
// Sending the wizard's result to the handset: an upload, or the handset's own preview of it.
#include "orka/app/ui/WizardWork.h"

class QWidget;

namespace orka::app {
class COrkaApp;
}

namespace orka::transfer {
class CTransferDlg;
}

namespace orka::app::ui {

// The job for the result: one entry per item, or one per picture of a main-menu set. Raises
// what the picture coding or the document refuses.
void fillTransferJob(transfer::CTransferDlg& job, int categoryId, const WizardResult& result);

// Runs the upload (or the preview on the handset) through the transfer dialog on the port of
// the settings; the dialog tells the outcome. True when it succeeded.
bool runWizardTransfer(QWidget* parent, COrkaApp& app, int categoryId, const WizardResult& result, bool previewOnly);

} // namespace orka::app::ui
