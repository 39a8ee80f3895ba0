#include "orka/app/ui/DataViews.h"

#include "orka/app/ui/GalleryItemModel.h"
#include "orka/app/ui/OrkaSplitter.h"
#include "orka/ui/UiText.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace orka::app::ui {
namespace {

constexpr unsigned kStrDataPane = 33405;
constexpr unsigned kStrThumbnails = 33408;
constexpr unsigned kStrList = 33409;
constexpr int kThumbnailPaneHeight = 160;
constexpr int kCellMargin = 4;
constexpr int kSelectionFrame = 2; // the line around a selected picture

// Draws a thumbnail cell straight from the model's cached picture: no icon is made per paint.
class ThumbnailDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // The style draws hover and focus; the selection is drawn here, behind the name and
        // around the picture, as the style would otherwise mark only the empty text place.
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.icon = QIcon();
        opt.features &= ~QStyleOptionViewItem::HasDecoration;
        opt.state &= ~QStyle::State_Selected;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

        const bool selected = option.state & QStyle::State_Selected;
        const QColor highlight = option.palette.color(QPalette::Highlight);
        const QImage image = index.data(GalleryItemModel::ThumbnailRole).value<QImage>();
        const QRect r = option.rect;
        const int side = GalleryItemModel::kThumbnailSide;
        const QRect picture(QPoint(r.left() + (r.width() - image.width()) / 2, r.top() + kCellMargin), image.size());
        painter->drawImage(picture.topLeft(), image);

        const QRect textRect(r.left() + kCellMargin, r.top() + side + 2 * kCellMargin, r.width() - 2 * kCellMargin,
                             r.height() - side - 3 * kCellMargin);
        const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                           textRect.width());
        if (selected) {
            QRect nameRect = option.fontMetrics.boundingRect(textRect, Qt::AlignHCenter | Qt::AlignTop, name);
            nameRect.adjust(-kCellMargin / 2, 0, kCellMargin / 2, 0);
            painter->fillRect(nameRect.intersected(textRect.adjusted(-kCellMargin, 0, kCellMargin, 0)), highlight);
            if (!image.isNull()) {
                painter->setPen(QPen(highlight, kSelectionFrame));
                painter->setBrush(Qt::NoBrush);
                painter->drawRect(QRectF(picture).adjusted(-1, -1, 1, 1));
            }
        }
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, name);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {COrkaScrollViewEx::kCellWidth, COrkaScrollViewEx::kCellHeight};
    }

    // The name is edited in a line below the picture.
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const QRect r = option.rect;
        const int top = r.top() + GalleryItemModel::kThumbnailSide + kCellMargin;
        editor->setGeometry(r.left(), top, r.width(), std::min(editor->sizeHint().height(), r.bottom() - top + 1));
    }
};

void prepareItemView(QAbstractItemView* view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDefaultDropAction(Qt::CopyAction);
}

} // namespace

COrkaScrollViewEx::COrkaScrollViewEx(QWidget* parent) : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setGridSize(QSize(kCellWidth, kCellHeight));
    setSpacing(0);
    setItemDelegate(new ThumbnailDelegate(this));
    prepareItemView(this);
    setAccessibleName(orka::ui::uiText(kStrThumbnails));
}

void COrkaScrollViewEx::contextMenuEvent(QContextMenuEvent* event)
{
    Q_EMIT contextMenuWanted(event->globalPos(), indexAt(event->pos()).isValid());
}

COrkaListView::COrkaListView(QWidget* parent) : QTreeView(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setIconSize(QSize(GalleryItemModel::kListIconSide, GalleryItemModel::kListIconSide));
    prepareItemView(this);
    setAccessibleName(orka::ui::uiText(kStrList));
}

void COrkaListView::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    for (int c = 0; c < GalleryItemModel::ColumnCount; ++c)
        header()->resizeSection(c, GalleryItemModel::kColumnWidth);
}

void COrkaListView::contextMenuEvent(QContextMenuEvent* event)
{
    Q_EMIT contextMenuWanted(event->globalPos(), indexAt(event->pos()).isValid());
}

COrkaFrame::COrkaFrame(GalleryItemModel* model, QWidget* parent)
    : QWidget(parent), splitter_(new COrkaSplitter2(this)), thumbnails_(new COrkaScrollViewEx),
      list_(new COrkaListView)
{
    setAccessibleName(orka::ui::uiText(kStrDataPane));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);
    splitter_->addPane(thumbnails_, kThumbnailPaneHeight);
    splitter_->addPane(list_, 0);
    thumbnails_->setModel(model);
    list_->setModel(model);
    list_->setSelectionModel(thumbnails_->selectionModel());
    setViewMode(0);
}

QItemSelectionModel* COrkaFrame::selection() const { return thumbnails_->selectionModel(); }

void COrkaFrame::setViewMode(unsigned mode)
{
    mode_ = mode == 0 ? 0 : 1;
    const bool hadFocus = thumbnails_->hasFocus() || list_->hasFocus();
    splitter_->setPaneShown(0, mode_ == 0);
    splitter_->setPaneShown(1, mode_ == 1);
    if (hadFocus)
        currentView()->setFocus();
}

QAbstractItemView* COrkaFrame::currentView() const
{
    return mode_ == 0 ? static_cast<QAbstractItemView*>(thumbnails_) : list_;
}

std::vector<unsigned> COrkaFrame::selectedRows() const
{
    std::vector<unsigned> rows;
    for (const QModelIndex& i : selection()->selectedRows(GalleryItemModel::NameColumn))
        rows.push_back(unsigned(i.row()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void COrkaFrame::selectRows(const std::vector<unsigned>& rows)
{
    QAbstractItemModel* model = thumbnails_->model();
    QItemSelection chosen;
    for (unsigned row : rows)
        if (int(row) < model->rowCount())
            chosen.select(model->index(int(row), 0), model->index(int(row), GalleryItemModel::ColumnCount - 1));
    selection()->select(chosen, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty() && int(rows.front()) < model->rowCount())
        selection()->setCurrentIndex(model->index(int(rows.front()), 0), QItemSelectionModel::NoUpdate);
}

void COrkaFrame::selectAll() { selectEveryRow(QItemSelectionModel::ClearAndSelect); }

void COrkaFrame::invertSelection() { selectEveryRow(QItemSelectionModel::Toggle); }

void COrkaFrame::selectEveryRow(QItemSelectionModel::SelectionFlags how)
{
    QAbstractItemModel* model = thumbnails_->model();
    if (model->rowCount() == 0)
        return;
    selection()->select(
        QItemSelection(model->index(0, 0), model->index(model->rowCount() - 1, GalleryItemModel::ColumnCount - 1)), how);
}

} // namespace orka::app::ui
