#pragma once
// The wizard's edit picture page: turns and mirrors, the colour dialogs, zoom and the move
// tool, and the paint tools (pen, text, frames, stamps) with undo and redo over every edit.
// A main-menu set brings several pictures; any one's edits can be applied to all of them.
#include "orka/picture/DibPicture.h"
#include "orka/picture/PictureEditHistory.h"
#include "orka/picture/PictureZoom.h"

#include "PaintArt.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class EditPicturePage;
}

namespace orka::ui {

class PictureCanvas;

class EditPicturePage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDialogId = 155;
    static constexpr unsigned kTitleId = 65002;     // "精靈 - 編輯圖片"
    static constexpr unsigned kHelpTopicId = 5025;
    // The page's commands, for menus and accelerators that name them.
    static constexpr unsigned kCmdApplyToAll = 32872;
    static constexpr unsigned kCmdRedo = 32876;
    static constexpr unsigned kCmdUndo = 32878;
    static constexpr unsigned kCmdText = 32894;
    static constexpr unsigned kCmdPen = 32895;
    static constexpr unsigned kCmdFrame = 32896;
    static constexpr unsigned kCmdStamp = 32897;
    static constexpr unsigned kCmdMoveTool = 32956;

    enum class Tool { Pen, Text, Frame, Stamp };

    explicit EditPicturePage(QWidget* parent = nullptr);
    ~EditPicturePage() override;

    // Starts editing: each picture becomes the unedited base of its item and the history
    // starts empty. Several pictures form a set (a main menu).
    void setPictures(std::vector<orka::DibPicture> pictures, int categoryId);
    int categoryId() const { return categoryId_; }
    // The pictures as they look now: working pixels with their colour adjustments.
    std::vector<DibPicture> editedPictures() const;

    std::size_t currentPicture() const { return current_; }
    void showPicture(std::size_t index);
    const PictureEditHistory& history() const { return history_; }
    const ZoomState& zoom() const { return zoom_.at(current_); }
    PictureCanvas* canvas() const;
    Tool tool() const { return tool_; }
    void selectTool(Tool tool);
    // Where the next text goes (set by a click with the text tool).
    QPoint textPosition() const { return textPosition_; }

    void rotateLeft();
    void rotateRight();
    void flipVertical();
    void flipHorizontal();
    void openContrastDialog();
    void openHslDialog();
    void openRgbDialog();
    void zoomIn();
    void zoomOut();
    void fitToFrame();
    void undo();
    void redo();
    void applyToAll();
    // "套用文字": the text with the chosen font, size, style and colour at the text position;
    // an empty text is refused with 65051.
    void applyText();
    // Lays the frame or places the stamp (centred on a point) of the lists by row.
    void applyFrame(int row);
    void placeStamp(int row, QPoint centre);

Q_SIGNALS:
    void picturesEdited(const std::vector<orka::DibPicture>& pictures);
    void backRequested();

private:
    void setUpToolOptions();
    void connectControls();
    void edit(const PictureEdit& edit);
    void refresh();
    void updateCommands();
    void showChanged(const std::vector<std::size_t>& changed);
    void canvasPressed(QPoint point);
    void canvasDragged(QPoint point);
    void canvasReleased(QPoint point);
    CoverageMask renderText(const QString& text) const;
    template <typename Dialog>
    void openAdjustmentDialog();

    std::unique_ptr<Ui::EditPicturePage> ui_;
    PictureEditHistory history_;
    std::vector<ZoomState> zoom_{ZoomState{}};
    std::size_t current_ = 0;
    int categoryId_ = 0;
    Tool tool_ = Tool::Pen;
    QPoint textPosition_;
    // A pen stroke under way: the points so far and the working picture with them drawn.
    struct PenDraft {
        std::vector<PaintPoint> points;
        DibPicture picture;
    };
    std::optional<PenDraft> penDraft_;
    std::vector<PaintArtPiece> frames_;
    std::vector<PaintArtPiece> stamps_;
};

} // namespace orka::ui
