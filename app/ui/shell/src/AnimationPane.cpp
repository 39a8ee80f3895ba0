#include "orka/app/ui/AnimationPane.h"

#include "orka/app/ui/CommandActions.h"
#include "orka/app/ui/GalleryItemModel.h"
#include "orka/ui/UiText.h"

#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

namespace orka::app::ui {
namespace {
constexpr unsigned kStrAnimationPane = 33407;
const QSize kAnimationButtonSize(16, 15);

// A frame centred on a square cell of the strip.
QIcon frameIcon(const QImage& frame)
{
    const int side = COrkaScrollViewEx2::kFrameSide;
    QImage cell(side, side, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    if (!frame.isNull()) {
        const QImage scaled = frame.scaled(QSize(side, side).boundedTo(frame.size() * 2), Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation);
        QPainter(&cell).drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    }
    return QIcon(QPixmap::fromImage(cell));
}
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

void COrkaScrollViewEx2::showItem(const GalleryItem* item)
{
    clear();
    const auto* animation = item ? std::get_if<AnimationContent>(&item->content) : nullptr;
    if (!animation)
        return;
    int number = 0;
    for (const AnimationFrame& frame : animation->frames) {
        GalleryItem one;
        one.content = PictureContent{frame.bitmap};
        auto* entry = new QListWidgetItem(frameIcon(itemImage(one)), QString::number(++number), this);
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
