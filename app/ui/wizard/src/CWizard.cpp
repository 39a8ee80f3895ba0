#include "orka/app/ui/CWizard.h"

#include "WizardPages.h"
#include "WizardWork.h"

#include "EditPicturePage.h"
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/ItemCommands.h"
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
    captureAnimation_ = new picture::ui::CaptureAnimationPage;
    uploadOrSave_ = new UploadOrSavePage(app_, doc_);
    capturePicture_ = new picture::ui::CapturePicturePage;
    editPicture_ = new orka::ui::EditPicturePage;
    ringTone_ = new audio::ui::RingToneEditPage;
    // The pages in the order of the table, made once for the whole run.
    pages_ = {
        {WizardPage::ChooseMedia, chooseMedia_},
        {WizardPage::ChooseFile, chooseFile_},
        {WizardPage::CaptureAnimation, captureAnimation_},
        {WizardPage::UploadOrSave, uploadOrSave_},
        {WizardPage::CapturePicture, capturePicture_},
        {WizardPage::EditPicture, editPicture_},
        {WizardPage::RingToneEditing, ringTone_},
    };
    for (const auto& info : kWizardPages)
        stack_->addWidget(pages_.at(info.page));

    connect(chooseMedia_, &ChooseMediaPage::categoryChosen, this, &CWizard::chooseCategory);
    connect(chooseMedia_, &ChooseMediaPage::javaChosen, this, &CWizard::importMidlet);
    connect(chooseMedia_, &ChooseMediaPage::managementModeChosen, this, &CWizard::leaveToManagementMode);
    connect(chooseMedia_, &ChooseMediaPage::endProgramChosen, this, &CWizard::leaveAndEndProgram);
    connect(chooseFile_, &ChooseFilePage::sourceChosen, this, &CWizard::sourceChosen);
    connect(chooseFile_, &ChooseFilePage::backRequested, this, [this] { showPage(WizardPage::ChooseMedia); });
    connect(uploadOrSave_, &UploadOrSavePage::nextItemRequested, this, &CWizard::nextItem);
    connect(uploadOrSave_, &UploadOrSavePage::managementModeRequested, this, &CWizard::leaveToManagementMode);
    connect(uploadOrSave_, &UploadOrSavePage::endProgramRequested, this, &CWizard::leaveAndEndProgram);
    connectEditingPages();
    showPage(WizardPage::ChooseMedia);
}

void CWizard::connectEditingPages()
{
    const auto backToFile = [this] { showPage(WizardPage::ChooseFile, suffixId_); };
    connect(capturePicture_, &picture::ui::CapturePicturePage::picturesCaptured, this, &CWizard::picturesCaptured);
    connect(capturePicture_, &picture::ui::CapturePicturePage::backRequested, this, backToFile);
    connect(editPicture_, &orka::ui::EditPicturePage::picturesEdited, this, &CWizard::picturesEdited);
    connect(editPicture_, &orka::ui::EditPicturePage::backRequested, this,
            [this] { showPage(WizardPage::CapturePicture, suffixId_); });
    connect(captureAnimation_, &picture::ui::CaptureAnimationPage::animationCaptured, this,
            [this](const AnimationContent& animation) { resultReady({animation}); });
    connect(captureAnimation_, &picture::ui::CaptureAnimationPage::backRequested, this, backToFile);
    connect(ringTone_, &audio::ui::RingToneEditPage::ringToneMade, this, [this](const std::vector<std::uint8_t>& smaf) {
        ringTone_->stopPlayback();
        resultReady({MelodyContent{MelodyContent::kSmaf, smaf}});
    });
    connect(ringTone_, &audio::ui::RingToneEditPage::backRequested, this, [this, backToFile] {
        ringTone_->stopPlayback();
        backToFile();
    });
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
    // The same import as the main window's Java command: descriptor and archive to the handset.
    ItemCommands(app_, doc_, this).importMidlet();
}

void CWizard::sourceChosen(const WizardSource& source)
{
    const auto step = nextStepAfterChoosing(categoryId_, source.kind);
    if (!step)
        return;
    sourceName_ = source.name;
    try {
        switch (step->page) {
        case WizardPage::CapturePicture:
            capturePicture_->setCategory(categoryId_);
            // A file the picture reader refuses was reported by the page; the pass stays here.
            if (!capturePicture_->setSourceFile(fromUtf8(sourceFile(source, scratch_.path().toStdString()).string())))
                return;
            break;
        case WizardPage::CaptureAnimation:
            // An animation of the gallery has its five frames already.
            if (source.itemContent) {
                resultReady({*source.itemContent});
                return;
            }
            if (!captureAnimation_->setSourceFile(fromUtf8(source.file.string())))
                return;
            break;
        case WizardPage::RingToneEditing:
            ringTone_->setSong(source.tune, fromUtf8(source.name));
            break;
        default:
            uploadOrSave_->setResult(categoryId_, resultWithoutEditing(source, categoryId_));
            break;
        }
    } catch (const std::exception& failure) {
        orka::ui::showFailure(this, failure);
        return;
    }
    showPage(step->page, step->suffixId);
}

void CWizard::picturesCaptured(const std::vector<DibPicture>& pictures)
{
    editPicture_->setPictures(pictures, categoryId_);
    showPage(WizardPage::EditPicture, suffixId_);
}

void CWizard::picturesEdited(const std::vector<DibPicture>& pictures)
{
    resultReady(itemContentsOf(pictures, categoryId_));
}

void CWizard::resultReady(std::vector<ItemContent> contents)
{
    uploadOrSave_->setResult(categoryId_, {sourceName_, std::move(contents)});
    showPage(WizardPage::UploadOrSave, findCategoryRow(categoryId_)->nameId);
}

void CWizard::nextItem()
{
    captureAnimation_->resetTools();
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
    ringTone_->stopPlayback();
    captureAnimation_->resetTools();
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
