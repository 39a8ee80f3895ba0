#include "orka/app/ui/OrkaTreeView.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/ui/GalleryItemModel.h"
#include "orka/app/ui/ToolIcons.h"
#include "orka/ui/UiText.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QSignalBlocker>

namespace orka::app::ui {
namespace {

constexpr unsigned kStrNavigationPane = 33404;
constexpr int kIdRole = Qt::UserRole;
constexpr int kAcceptedNameRole = Qt::UserRole + 1; // the name the document holds

QTreeWidgetItem* makeNode(const std::string& name, int id, ShellGlyph glyph, bool editable)
{
    auto* item = new QTreeWidgetItem(QStringList{orka::ui::fromUtf8(name)});
    item->setData(0, kIdRole, id);
    item->setData(0, kAcceptedNameRole, orka::ui::fromUtf8(name));
    item->setIcon(0, shellIcon(glyph));
    if (editable)
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    return item;
}

} // namespace

COrkaTreeView::COrkaTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true); // drops arrive at the viewport
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAccessibleName(orka::ui::uiText(kStrNavigationPane));
    // Long folder names are scrolled to, not cut: the one column is as wide as its widest name.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current && !building_)
            Q_EMIT nodeSelected(current->data(0, kIdRole).toInt());
    });
    connect(this, &QTreeWidget::itemChanged, this, &COrkaTreeView::onItemChanged);
}

void COrkaTreeView::build(const COrkaDoc& doc)
{
    building_ = true;
    const QSignalBlocker blocker(this);
    clear();
    const RootNode& root = doc.root();
    auto* rootItem = makeNode(root.name, root.id, ShellGlyph::Handset, false);
    addTopLevelItem(rootItem);
    for (const auto& category : root.categories) {
        auto* categoryItem = makeNode(category->name, category->id, ShellGlyph::Category, false);
        rootItem->addChild(categoryItem);
        for (const auto& folder : category->folders)
            categoryItem->addChild(makeNode(folder->name, folder->id, ShellGlyph::Folder,
                                            renamer_ && slotOf(folder->id) >= kFirstUserSlot));
    }
    expandAll();
    building_ = false;
}

int COrkaTreeView::selectedId() const
{
    const QTreeWidgetItem* item = currentItem();
    return item ? item->data(0, kIdRole).toInt() : -1;
}

QTreeWidgetItem* COrkaTreeView::itemOf(int id) const
{
    for (QTreeWidgetItemIterator it(const_cast<COrkaTreeView*>(this)); *it; ++it)
        if ((*it)->data(0, kIdRole).toInt() == id)
            return *it;
    return nullptr;
}

bool COrkaTreeView::selectId(int id)
{
    QTreeWidgetItem* item = itemOf(id);
    if (!item)
        return false;
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}

void COrkaTreeView::setNodeName(int id, const QString& name)
{
    if (QTreeWidgetItem* item = itemOf(id)) {
        const QSignalBlocker blocker(this);
        item->setText(0, name);
        item->setData(0, kAcceptedNameRole, name);
    }
}

void COrkaTreeView::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (building_ || column != 0)
        return;
    const QString accepted = item->data(0, kAcceptedNameRole).toString();
    if (item->text(0) == accepted)
        return;
    const int id = item->data(0, kIdRole).toInt();
    // A refused name goes back to the one the document holds.
    if (renamer_ && renamer_(id, orka::ui::toUtf8(item->text(0))))
        setNodeName(id, item->text(0));
    else
        setNodeName(id, accepted);
}

int COrkaTreeView::dropTarget(const QPoint& pos) const
{
    const QTreeWidgetItem* item = itemAt(pos);
    if (!item)
        return -1;
    const int id = item->data(0, kIdRole).toInt();
    return isLocalFolder(id) ? id : -1;
}

void COrkaTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasFormat(dragDropMimeType()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void COrkaTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    const auto dragged = decodeDraggedItems(event->mimeData()->data(dragDropMimeType()));
    const int target = dropTarget(event->position().toPoint());
    if (dragged && target >= 0 && target != dragged->folderId && sameCategory(target, dragged->folderId))
        event->acceptProposedAction();
    else
        event->ignore();
}

void COrkaTreeView::dropEvent(QDropEvent* event)
{
    const auto dragged = decodeDraggedItems(event->mimeData()->data(dragDropMimeType()));
    const int target = dropTarget(event->position().toPoint());
    if (!dragged || target < 0 || target == dragged->folderId || !sameCategory(target, dragged->folderId)) {
        event->ignore();
        return;
    }
    const bool move = event->dropAction() == Qt::MoveAction;
    event->acceptProposedAction();
    Q_EMIT itemsDropped(target, *dragged, move);
}

void COrkaTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = itemAt(event->pos());
    if (item)
        setCurrentItem(item);
    Q_EMIT contextMenuWanted(event->globalPos(), item ? item->data(0, kIdRole).toInt() : -1);
}

} // namespace orka::app::ui
