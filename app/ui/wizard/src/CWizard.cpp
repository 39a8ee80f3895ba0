#include "orka/app/ui/CWizard.h"

#include "WizardPages.h"
#include "orka/app/ui/WizardWork.h"

#include "EditPicturePage.h"
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/ItemCommands.h"
#include "orka/app/ui/ItemEditingPages.h"
#include "orka/audio/ui/RingToneEditPage.h"
#include "orka/picture/ui/CaptureAnimationPage.h"
#include "orka/picture/ui/CapturePicturePage.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace orka::app::ui {

using orka::ui::fromUtf8;
using orka::ui::toUtf8;
using orka::ui::uiText;

namespace {
constexpr QSize kFirstSize{720, 540};
}

CWizard::CWizard(COrkaApp& app, COrkaDoc& doc, QWidget* parent)
    : QDialog(parent)
    , app_(app)
    , doc_(doc)
{
    app_.uiInfo().setLastMode(WorkingMode::Wizard);
    setModal(true);
    resize(kFirstSize);
    setAccessibleName(uiText(wizardTitleId(WizardPage::ChooseMedia)));
    stack_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(stack_);

    chooseMedia_ = new ChooseMediaPage;
    chooseFile_ = new ChooseFilePage(doc_);
    uploadOrSave_ = new UploadOrSavePage(app_, doc_);
    stack_->addWidget(chooseMedia_);
    stack_->addWidget(chooseFile_);
    stack_->addWidget(uploadOrSave_);
    editing_ = new ItemEditingPages(*stack_, this);
    editing_->setRingToneRules(app_.settings().ringTone);
    // The pages of the table, made once for the whole run.
    pages_ = {
        {WizardPage::ChooseMedia, chooseMedia_},
        {WizardPage::ChooseFile, chooseFile_},
        {WizardPage::UploadOrSave, uploadOrSave_},
    };
    for (const auto& info : kWizardPages)
        if (QWidget* page = editing_->page(info.page))
            pages_[info.page] = page;

    connect(chooseMedia_, &ChooseMediaPage::categoryChosen, this, &CWizard::chooseCategory);
    connect(chooseMedia_, &ChooseMediaPage::javaChosen, this, &CWizard::importMidlet);
    connect(chooseMedia_, &ChooseMediaPage::managementModeChosen, this, &CWizard::leaveToManagementMode);
    connect(chooseMedia_, &ChooseMediaPage::endProgramChosen, this, &CWizard::leaveAndEndProgram);
    connect(chooseFile_, &ChooseFilePage::sourceChosen, this, &CWizard::sourceChosen);
    connect(chooseFile_, &ChooseFilePage::backRequested, this, [this] { showPage(WizardPage::ChooseMedia); });
    connect(uploadOrSave_, &UploadOrSavePage::nextItemRequested, this, &CWizard::nextItem);
    connect(uploadOrSave_, &UploadOrSavePage::managementModeRequested, this, &CWizard::leaveToManagementMode);
    connect(uploadOrSave_, &UploadOrSavePage::endProgramRequested, this, &CWizard::leaveAndEndProgram);
    connect(editing_, &ItemEditingPages::pageWanted, this, &CWizard::showPage);
    connect(editing_, &ItemEditingPages::finished, this, &CWizard::resultReady);
    connect(editing_, &ItemEditingPages::leftFirstPage, this,
            [this] { showPage(WizardPage::ChooseFile, findCategoryRow(categoryId_)->nameId); });
    showPage(WizardPage::ChooseMedia);
}

CWizard::~CWizard() = default;

audio::ui::RingToneEditPage& CWizard::ringTonePage() const { return editing_->ringTonePage(); }
picture::ui::CapturePicturePage& CWizard::capturePicturePage() const { return editing_->capturePicturePage(); }
picture::ui::CaptureAnimationPage& CWizard::captureAnimationPage() const { return editing_->captureAnimationPage(); }
orka::ui::EditPicturePage& CWizard::editPicturePage() const { return editing_->editPicturePage(); }

QWidget* CWizard::page(WizardPage page) const
{
    return pages_.at(page);
}

void CWizard::showPage(WizardPage page, unsigned suffixId)
{
    QWidget* widget = pages_.at(page);
    if (!widget)
        return;
    current_ = page;
    stack_->setCurrentWidget(widget);
    const std::string suffix = suffixId ? toUtf8(uiText(suffixId)) : std::string();
    setWindowTitle(fromUtf8(wizardWindowTitle(toUtf8(uiText(wizardTitleId(page))), suffix)));
}

void CWizard::chooseCategory(int categoryId)
{
    if (!doc_.findCategory(categoryId)) {
        orka::ui::showMessage(this, WizardText::kNoCategory);
        return;
    }
    categoryId_ = categoryId;
    chooseFile_->fill(categoryId);
    showPage(WizardPage::ChooseFile, findCategoryRow(categoryId)->nameId);
}

void CWizard::importMidlet()
{
    // The same import as the main window's Java command: descriptor and archive to the handset.
    ItemCommands(app_, doc_, this).importMidlet();
}

void CWizard::sourceChosen(const WizardSource& source)
{
    sourceName_ = source.name;
    editing_->startImport(categoryId_, source);
}

void CWizard::resultReady(const std::vector<ItemContent>& contents)
{
    uploadOrSave_->setResult(categoryId_, {sourceName_, contents});
    showPage(WizardPage::UploadOrSave, findCategoryRow(categoryId_)->nameId);
}

void CWizard::nextItem()
{
    editing_->stopBackground();
    showPage(WizardPage::ChooseMedia);
}

void CWizard::leaveToManagementMode()
{
    finish(app::leaveToManagementMode(app_.uiInfo()));
}

void CWizard::leaveAndEndProgram()
{
    finish(app::leaveAndEndProgram(app_.uiInfo()));
}

void CWizard::reject()
{
    if (finished_)
        return;
    // A result not yet kept is not dropped without the question its page asks.
    if (current_ == WizardPage::UploadOrSave)
        uploadOrSave_->leave(LeaveChoice::ManagementMode);
    else
        leaveToManagementMode();
}

void CWizard::finish(const WizardExit& exit)
{
    if (finished_)
        return;
    finished_ = true;
    uploadOrSave_->finishBackground(std::chrono::milliseconds(100));
    editing_->stopBackground();
    end_ = exit.endProgram ? WizardEnd::EndProgram : WizardEnd::ManagementMode;
    placeMainWindow_ = exit.placeMainWindow;
    done(exit.endProgram ? QDialog::Rejected : QDialog::Accepted);
}

WizardEnd runWizard(COrkaApp& app, COrkaDoc& doc, QWidget* mainWindow)
{
    CWizard wizard(app, doc, mainWindow);
    wizard.exec();
    if (wizard.placesMainWindow() && mainWindow)
        mainWindow->setGeometry(wizard.geometry());
    return wizard.end();
}

} // namespace orka::app::ui
