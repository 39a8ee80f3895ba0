#pragma once
// The editing pages of the other subsystems (capture picture 154, edit picture 155, capture
// animation 169, ring-tone editing 141), made once into a stack their host owns, and the one
// way a pass goes through them: a source file or gallery item to be imported, or a gallery
// item to be edited in place. The host (the wizard, the main window's editor dialog) shows
// the page asked for and takes the finished contents.
#include "orka/app/GalleryModel.h"
#include "orka/app/Settings.h"
#include "orka/app/WizardFlow.h"
#include "orka/app/ui/WizardWork.h"

#include <QObject>
#include <QTemporaryDir>

#include <optional>
#include <vector>

class QStackedWidget;
class QWidget;

namespace orka::audio::ui {
class RingToneEditPage;
}
namespace orka::picture::ui {
class CapturePicturePage;
class CaptureAnimationPage;
} // namespace orka::picture::ui
namespace orka::ui {
class EditPicturePage;
}

namespace orka::app::ui {

class ItemEditingPages : public QObject {
    Q_OBJECT
public:
    // The help topic of each page ("EditMidiDlgBox.html" for the ring-tone page).
    static constexpr unsigned kRingToneHelpTopic = 5026;

    // Adds the four pages to `stack`, which owns them; F1 in the stack shows the help of the
    // page it shows.
    explicit ItemEditingPages(QStackedWidget& stack, QObject* parent = nullptr);
    ~ItemEditingPages() override;

    // A pass over a chosen source of the category: a picture to capture and edit, a GIF to
    // capture frames of, a MIDI tune for the ring-tone page. A source that needs no editing
    // (a SMAF tune, a main-menu package, a gallery animation) is finished at once. False when
    // the source was refused; the page or a message has said why.
    bool startImport(int categoryId, const WizardSource& source);
    // A gallery item edited in place: a picture on the edit picture page, an animation or a
    // main-menu set with all its frames there, a MIDI tune on the ring-tone page. False for
    // an item with nothing to edit (a SMAF tune).
    bool startEdit(int categoryId, const GalleryItem& item);
    static bool isEditable(const ItemContent& content);

    // How the ring-tone page opens each song: the audio page's switches of the preferences.
    void setRingToneRules(const RingToneBlock& switches);

    // Stops a ring tone playing and the animation page's playback and effect.
    void stopBackground();

    // The page of that dialog id, or nullptr for a page that is not an editing page.
    QWidget* page(WizardPage page) const;
    static unsigned helpTopicOf(WizardPage page);
    audio::ui::RingToneEditPage& ringTonePage() const { return *ringTone_; }
    picture::ui::CapturePicturePage& capturePicturePage() const { return *capturePicture_; }
    picture::ui::CaptureAnimationPage& captureAnimationPage() const { return *captureAnimation_; }
    orka::ui::EditPicturePage& editPicturePage() const { return *editPicture_; }

Q_SIGNALS:
    // The host is to show this page, titled with the suffix's text (0: none).
    void pageWanted(orka::app::WizardPage page, unsigned suffixId);
    // The pass ended in these contents (several for a capture of several pictures).
    void finished(const std::vector<orka::app::ItemContent>& contents);
    // "上一步" on the first page of the pass.
    void leftFirstPage();

private:
    void connectPages();
    void show(WizardPage page);
    void back(WizardPage from);
    void picturesEdited(const std::vector<DibPicture>& pictures);
    void finish(std::vector<ItemContent> contents);

    QStackedWidget& stack_;
    audio::ui::RingToneEditPage* ringTone_ = nullptr;
    picture::ui::CapturePicturePage* capturePicture_ = nullptr;
    picture::ui::CaptureAnimationPage* captureAnimation_ = nullptr;
    orka::ui::EditPicturePage* editPicture_ = nullptr;
    int categoryId_ = 0;
    WizardPage firstPage_ = WizardPage::CapturePicture;
    std::optional<AnimationContent> editedAnimation_; // the frames of an animation being edited
    QTemporaryDir scratch_; // bitmaps of gallery pictures handed to the capture page
};

} // namespace orka::app::ui
