#pragma once
// The wizard page that captures a picture (dialog 154): a BMP, JPEG or GIF file is opened,
// the user chooses the area to keep with a frame of the item's shape, and "下一步" hands on
// the area scaled to the item's size. A main-menu set is built of pictures taken one after
// another.
#include "orka/picture/CaptureFrame.h"
#include "orka/picture/DibPicture.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

namespace Ui {
class CapturePicturePage;
}

namespace orka::picture::ui {

class CaptureView;

class CapturePicturePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDialogId = 154;
    static constexpr unsigned kTitleId = 65000;  // "精靈 - 截取圖片"
    static constexpr unsigned kHelpTopic = 5019;
    // The most pictures a main-menu set holds: as many as a main-menu package carries.
    static constexpr int kMostMenuPictures = 81;

    explicit CapturePicturePage(QWidget* parent = nullptr);
    ~CapturePicturePage() override;

    // One of the picture categories 20000, 30000, 40000; another id is ignored. A change of
    // category starts a new main-menu set and a new frame.
    void setCategory(int categoryId);
    int categoryId() const { return categoryId_; }
    // False, after showing the picture reader's message, for a file that cannot be read; the
    // page then keeps the picture it had.
    bool setSourceFile(const QString& path);
    QString sourceFile() const { return sourceFile_; }

    // What "下一步" would hand on now, and the main-menu pictures taken so far.
    DibPicture capturedPicture() const;
    const std::vector<DibPicture>& menuPictures() const { return menuPictures_; }
    CaptureView* captureView() const;

Q_SIGNALS:
    void picturesCaptured(const std::vector<orka::DibPicture>& pictures);
    void backRequested();

private:
    void chooseFile();
    void showFrame();
    void addToMenu();
    void removeFromMenu();
    void goNext();
    void resetFrame();
    void updateMenuGroup();
    bool isMainMenu() const;

    std::unique_ptr<Ui::CapturePicturePage> ui_;
    int categoryId_ = 20000;
    std::uint32_t targetWidth_ = 128;
    std::uint32_t targetHeight_ = 124;
    QString sourceFile_;
    DibPicture source_;
    std::vector<DibPicture> menuPictures_;
};

} // namespace orka::picture::ui
