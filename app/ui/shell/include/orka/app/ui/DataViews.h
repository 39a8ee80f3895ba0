#pragma once
// The data pane: its two views of the shown folder, the thumbnails and the list, and the
// frame that holds them one above the other and shows the one the view mode asks for. Both
// views share one model and one selection, so the selected items stay selected when the mode
// changes.
#include <QItemSelectionModel>
#include <QListView>
#include <QTreeView>
#include <QWidget>

#include <vector>

namespace orka::app::ui {

class COrkaSplitter2;
class GalleryItemModel;


// Thumbnails: a grid of pictures with their names, drawn only for the visible cells.
class COrkaScrollViewEx : public QListView {
    Q_OBJECT
public:
    static constexpr int kCellWidth = 96;
    static constexpr int kCellHeight = 104;
    explicit COrkaScrollViewEx(QWidget* parent = nullptr);

Q_SIGNALS:
    void contextMenuWanted(QPoint globalPos, bool onItem);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The report list: name, size, type and modified date, 150 pixels each.
class COrkaListView : public QTreeView {
    Q_OBJECT
public:
    explicit COrkaListView(QWidget* parent = nullptr);
    // Sets the column widths and alignments once the model is set.
    void setModel(QAbstractItemModel* model) override;

Q_SIGNALS:
    void contextMenuWanted(QPoint globalPos, bool onItem);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The data pane's frame: splitter C with the thumbnails above the list.
class COrkaFrame : public QWidget {
    Q_OBJECT
public:
    explicit COrkaFrame(GalleryItemModel* model, QWidget* parent = nullptr);

    COrkaScrollViewEx* thumbnails() const { return thumbnails_; }
    COrkaListView* list() const { return list_; }
    QItemSelectionModel* selection() const;
    // 0 thumbnails, 1 list (the view mode of UI Info word 1).
    void setViewMode(unsigned mode);
    unsigned viewMode() const { return mode_; }
    // The view the mode shows.
    QAbstractItemView* currentView() const;

    // The selected rows in ascending order.
    std::vector<unsigned> selectedRows() const;
    void selectRows(const std::vector<unsigned>& rows);
    void selectAll();
    void invertSelection();

private:
    void selectEveryRow(QItemSelectionModel::SelectionFlags how);

    COrkaSplitter2* splitter_;
    COrkaScrollViewEx* thumbnails_;
    COrkaListView* list_;
    unsigned mode_ = 0;
};

} // namespace orka::app::ui
