#include "orka/app/ui/CWizard.h"

#include "WizardPages.h"
#include "WizardWork.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
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
    // The pages in the order of the table; an editing page the program does not have yet
    // leaves its place empty and the pass goes on without it.
    pages_ = {
        {WizardPage::ChooseMedia, chooseMedia_},
        {WizardPage::ChooseFile, chooseFile_},
        {WizardPage::CaptureAnimation, nullptr},
        {WizardPage::UploadOrSave, uploadOrSave_},
        {WizardPage::CapturePicture, nullptr},
        {WizardPage::EditPicture, nullptr},
        {WizardPage::RingToneEditing, nullptr},
    };
    for (const auto& info : kWizardPages)
        if (QWidget* widget = pages_.at(info.page))
            stack_->addWidget(widget);

    connect(chooseMedia_, &ChooseMediaPage::categoryChosen, this, &CWizard::chooseCategory);
    connect(chooseMedia_, &ChooseMediaPage::javaChosen, this, &CWizard::importMidlet);
    connect(chooseMedia_, &ChooseMediaPage::managementModeChosen, this, &CWizard::leaveToManagementMode);
    connect(chooseMedia_, &ChooseMediaPage::endProgramChosen, this, &CWizard::leaveAndEndProgram);
    connect(chooseFile_, &ChooseFilePage::sourceChosen, this, &CWizard::sourceChosen);
    connect(chooseFile_, &ChooseFilePage::backRequested, this, [this] { showPage(WizardPage::ChooseMedia); });
    connect(uploadOrSave_, &UploadOrSavePage::nextItemRequested, this, &CWizard::nextItem);
    connect(uploadOrSave_, &UploadOrSavePage::managementModeRequested, this, &CWizard::leaveToManagementMode);
    connect(uploadOrSave_, &UploadOrSavePage::endProgramRequested, this, &CWizard::leaveAndEndProgram);

#ifndef ORKA_WIZARD_HAS_ITEM_COMMANDS
    // The MIDlet import comes with the main window's item commands; without them Java is not offered.
    chooseMedia_->javaButton()->setEnabled(false);
#endif
    showPage(WizardPage::ChooseMedia);
}

CWizard::~CWizard() = default;

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
    suffixId_ = suffixId;
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
#ifdef ORKA_WIZARD_HAS_ITEM_COMMANDS
    ItemCommands(app_, doc_, this).importMidlet();
#endif
}

void CWizard::sourceChosen(const WizardSource& source)
{
    const auto step = nextStepAfterChoosing(categoryId_, source.kind);
    if (!step)
        return;
    try {
        resultReady(resultWithoutEditing(source, categoryId_));
    } catch (const std::exception& failure) {
        orka::ui::showFailure(this, failure);
    }
}

void CWizard::resultReady(WizardResult result)
{
    uploadOrSave_->setResult(categoryId_, std::move(result));
    showPage(WizardPage::UploadOrSave, findCategoryRow(categoryId_)->nameId);
}

void CWizard::nextItem()
{
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
