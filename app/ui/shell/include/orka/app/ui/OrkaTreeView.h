#pragma once
// The navigation pane: the handset at the root, the five categories and their folders. The
// selected folder is the one the data pane shows; gallery items dropped on a folder are
// handed on to be copied or moved there.
#include "orka/app/ui/GalleryItemModel.h"

#include <QTreeWidget>

#include <functional>
#include <string>

namespace orka::app {
class COrkaDoc;
}

namespace orka::app::ui {

class COrkaTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // Renames a folder; false keeps the old name (the renamer shows why).
    using Renamer = std::function<bool(int folderId, const std::string& name)>;

    explicit COrkaTreeView(QWidget* parent = nullptr);

    // Builds the tree from the document: root, categories in table order, their folders.
    void build(const COrkaDoc& doc);
    void setRenamer(Renamer renamer) { renamer_ = std::move(renamer); }

    // The id of the selected node (0 the root, a category or a folder id); -1 for none.
    int selectedId() const;
    // Selects the node of an id; false when the tree has none.
    bool selectId(int id);
    QTreeWidgetItem* itemOf(int id) const;
    // Puts a node's name right after a change in the document.
    void setNodeName(int id, const QString& name);

Q_SIGNALS:
    // The selection moved to the node of `id`.
    void nodeSelected(int id);
    void itemsDropped(int targetFolderId, const orka::app::ui::DraggedItems& items, bool move);
    void contextMenuWanted(QPoint globalPos, int id);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The folder a drop at `pos` would go into; -1 for none.
    int dropTarget(const QPoint& pos) const;
    void onItemChanged(QTreeWidgetItem* item, int column);

    Renamer renamer_;
    bool building_ = false;
};

} // namespace orka::app::ui
