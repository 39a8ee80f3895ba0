#pragma once
// The wizard's own three pages: choose media (210), choose file (211), upload or save (212).
#include "orka/app/ui/WizardWork.h"

#include "orka/app/WizardFlow.h"
#include "orka/smaf/SmafPlayer.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace Ui {
class ChooseMediaPage;
class ChooseFilePage;
class UploadOrSavePage;
} // namespace Ui

namespace orka::app {
class COrkaApp;
class COrkaDoc;
} // namespace orka::app

namespace orka::app::ui {

class ChooseMediaPage : public QWidget {
    Q_OBJECT
public:
    explicit ChooseMediaPage(QWidget* parent = nullptr);
    ~ChooseMediaPage() override;
    QPushButton* categoryButton(int categoryId) const;
    QPushButton* javaButton() const;

Q_SIGNALS:
    void categoryChosen(int categoryId);
    void javaChosen();
    void managementModeChosen();
    void endProgramChosen();

private:
    std::unique_ptr<Ui::ChooseMediaPage> ui_;
};

class ChooseFilePage : public QWidget {
    Q_OBJECT
public:
    ChooseFilePage(COrkaDoc& doc, QWidget* parent = nullptr);
    ~ChooseFilePage() override;

    // A new category: its local folders in the drop-down, the first one's items in the list;
    // files imported for another category are let go.
    void fill(int categoryId);
    int categoryId() const { return categoryId_; }

    // The buttons and lists, for the wizard's tests.
    QPushButton* importButton() const;
    QPushButton* nextButton() const;
    QComboBox* folderBox() const;
    QListWidget* itemList() const;

Q_SIGNALS:
    void sourceChosen(const orka::app::ui::WizardSource& source);
    void backRequested();

private:
    void showFolder(int index);
    void importFiles();
    void next();
    void listImported();

    COrkaDoc& doc_;
    std::unique_ptr<Ui::ChooseFilePage> ui_;
    int categoryId_ = 0;
    std::vector<WizardSource> imported_;
};

class UploadOrSavePage : public QWidget, private smaf::SmafPlayerOwner {
    Q_OBJECT
public:
    UploadOrSavePage(COrkaApp& app, COrkaDoc& doc, QWidget* parent = nullptr);
    ~UploadOrSavePage() override;

    // The finished result of this pass; the saved-or-uploaded flag starts false.
    void setResult(int categoryId, WizardResult result);
    const std::optional<WizardResult>& result() const { return result_; }
    bool savedOrUploaded() const { return savedOrUploaded_; }

    // A preview playing: the background activity leaving waits for.
    bool busy() const;
    // Stops the preview and waits until it reports that it ended, checking at `interval`.
    void finishBackground(std::chrono::milliseconds interval);

    // "下一步", "管理模式" or "離開程式": asks first while the result is neither saved nor
    // uploaded, then waits for the preview to end and asks the wizard to go on.
    void leave(LeaveChoice choice);

    QPushButton* button(int index) const; // 0 rename .. 4 preview on the handset, as in 65055
    QPushButton* nextItemButton() const;
    QPushButton* managementButton() const;
    QPushButton* endProgramButton() const;
    QListWidget* folderList() const;
    QLineEdit* nameEdit() const;

    enum ButtonIndex { Rename = 0, Save, Upload, Preview, HandsetPreview };

Q_SIGNALS:
    void nextItemRequested();
    void managementModeRequested();
    void endProgramRequested();
    void folderChanged(int folderId);
    void treeChanged();

private:
    void rename();
    void save();
    void transfer(bool previewOnly);
    void preview();
    void showFrame(std::size_t frame);
    void onSmafEnd() override;

    COrkaApp& app_;
    COrkaDoc& doc_;
    std::unique_ptr<Ui::UploadOrSavePage> ui_;
    std::vector<QPushButton*> buttons_;
    int categoryId_ = 0;
    std::optional<WizardResult> result_;
    bool savedOrUploaded_ = false;
    std::unique_ptr<smaf::CSmafPlayer> player_;
    std::atomic<bool> tunePlaying_{false};
    QTimer frameTimer_;
    std::size_t shownFrame_ = 0;
};

} // namespace orka::app::ui
