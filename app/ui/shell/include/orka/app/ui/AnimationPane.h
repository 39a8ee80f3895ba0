#pragma once
// The animation pane: the frames of the animation being arranged in a strip, below the
// animation tool bar (resource 403).
#include "orka/app/GalleryModel.h"

#include <QListWidget>
#include <QWidget>

#include <vector>

class QToolBar;

namespace orka::app::ui {

class CommandActions;

// The strip of frames, each with its display time.
class COrkaScrollViewEx2 : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kFrameSide = 96;
    explicit COrkaScrollViewEx2(QWidget* parent = nullptr);
    // The frames in their order, numbered from 1, none selected.
    void showFrames(const std::vector<AnimationFrame>& frames);
};

class COrkaFrame2 : public QWidget {
    Q_OBJECT
public:
    COrkaFrame2(const CommandActions& actions, QWidget* parent = nullptr);
    QToolBar* toolBar() const { return toolBar_; }
    COrkaScrollViewEx2* frames() const { return frames_; }

private:
    QToolBar* toolBar_;
    COrkaScrollViewEx2* frames_;
};

} // namespace orka::app::ui
