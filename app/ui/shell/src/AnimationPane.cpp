#include "orka/app/ui/AnimationPane.h"

#include "orka/app/ui/CommandActions.h"
#include "orka/app/ui/GalleryItemModel.h"
#include "orka/ui/UiText.h"

#include <QToolBar>
#include <QVBoxLayout>

namespace orka::app::ui {
namespace {
constexpr unsigned kStrAnimationPane = 33407;
const QSize kAnimationButtonSize(16, 15);

} // namespace

COrkaScrollViewEx2::COrkaScrollViewEx2(QWidget* parent) : QListWidget(parent)
{
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setMovement(QListView::Static);
    setIconSize(QSize(kFrameSide, kFrameSide));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAccessibleName(orka::ui::uiText(kStrAnimationPane));
}

void COrkaScrollViewEx2::showFrames(const std::vector<AnimationFrame>& frames)
{
    clear();
    int number = 0;
    for (const AnimationFrame& frame : frames) {
        const QIcon icon(QPixmap::fromImage(fittedImage(bitmapImage(frame.bitmap), kFrameSide)));
        auto* entry = new QListWidgetItem(icon, QString::number(++number), this);
        entry->setData(Qt::AccessibleTextRole, entry->text());
    }
}

COrkaFrame2::COrkaFrame2(const CommandActions& actions, QWidget* parent)
    : QWidget(parent), toolBar_(new QToolBar(this)), frames_(new COrkaScrollViewEx2(this))
{
    setAccessibleName(orka::ui::uiText(kStrAnimationPane));
    toolBar_->setIconSize(kAnimationButtonSize);
    toolBar_->setAccessibleName(orka::ui::uiText(kStrAnimationPane));
    actions.fillToolBar(toolBar_, animationToolbar());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(frames_, 1);
}

} // namespace orka::app::ui
