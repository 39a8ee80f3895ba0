#pragma once
// The wizard window: one modal dialog holding the seven pages, made once, in a stack; pages
// ask it to show another page (with a title suffix) or to leave.
#include "orka/app/WizardFlow.h"
#include "orka/app/ui/Wizard.h"

#include <QDialog>

#include "orka/app/GalleryModel.h"
#include "orka/app/ui/ItemEditingPages.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

class QStackedWidget;

namespace orka::app::ui {

class ChooseMediaPage;
class ChooseFilePage;
class UploadOrSavePage;
struct WizardSource;
struct WizardResult;

class CWizard : public QDialog {
    Q_OBJECT
public:
    // Opening sets the last mode to 1 and makes the pages.
    CWizard(COrkaApp& app, COrkaDoc& doc, QWidget* parent = nullptr);
    ~CWizard() override;

    // Shows a page; the window title is the page's title followed by the suffix's text.
    void showPage(WizardPage page, unsigned suffixId = 0);
    WizardPage currentPage() const { return current_; }
    // The page of that dialog id, or nullptr while the program has no such page.
    QWidget* page(WizardPage page) const;
    ChooseMediaPage& chooseMediaPage() const { return *chooseMedia_; }
    ChooseFilePage& chooseFilePage() const { return *chooseFile_; }
    UploadOrSavePage& uploadOrSavePage() const { return *uploadOrSave_; }
    audio::ui::RingToneEditPage& ringTonePage() const;
    picture::ui::CapturePicturePage& capturePicturePage() const;
    picture::ui::CaptureAnimationPage& captureAnimationPage() const;
    orka::ui::EditPicturePage& editPicturePage() const;
    int categoryId() const { return categoryId_; }

    // How the wizard was left (ManagementMode also when it was closed).
    WizardEnd end() const { return end_; }
    bool placesMainWindow() const { return placeMainWindow_; }

    void leaveToManagementMode();
    void leaveAndEndProgram();

protected:
    // Closing the window finishes the wizard as leaving to management mode does, with the
    // upload-or-save page's question while its result is not kept.
    void reject() override;

private:
    void chooseCategory(int categoryId);
    void importMidlet();
    void sourceChosen(const WizardSource& source);
    void resultReady(const std::vector<ItemContent>& contents);
    void nextItem();
    void finish(const WizardExit& exit);

    COrkaApp& app_;
    COrkaDoc& doc_;
    QStackedWidget* stack_ = nullptr;
    std::map<WizardPage, QWidget*> pages_;
    ChooseMediaPage* chooseMedia_ = nullptr;
    ChooseFilePage* chooseFile_ = nullptr;
    UploadOrSavePage* uploadOrSave_ = nullptr;
    ItemEditingPages* editing_ = nullptr; // the capture, edit and ring-tone pages of a pass
    std::string sourceName_; // the name the result of this pass starts with
    WizardPage current_ = WizardPage::ChooseMedia;
    int categoryId_ = 0;
    WizardEnd end_ = WizardEnd::ManagementMode;
    bool placeMainWindow_ = false;
    bool finished_ = false;
};

} // namespace orka::app::ui
