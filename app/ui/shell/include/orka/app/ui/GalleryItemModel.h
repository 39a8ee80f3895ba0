#pragma once
// The items of the folder the data pane shows, as rows of four columns (name, size, type,
// modified date) for the list view and as pictures for the thumbnail view. Rows are made on
// demand from the document's item list, and scaled pictures are cached per row, so a folder
// of a thousand items costs only what is on screen.
#include "orka/app/GalleryModel.h"

#include <QAbstractTableModel>
#include <QImage>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orka::app::ui {

// The MIME type of gallery items dragged between the panes: the source folder id and the rows.
QString dragDropMimeType();
struct DraggedItems {
    int folderId = 0;
    std::vector<unsigned> rows;
};
QByteArray encodeDraggedItems(const DraggedItems& items);
// nullopt for bytes that do not hold a folder id and rows.
std::optional<DraggedItems> decodeDraggedItems(const QByteArray& bytes);

// A bitmap as it is kept in items, at its own size; a null image when its pixels are short.
QImage bitmapImage(const Bitmap& bitmap);
// The item's picture at its own size: the picture, the first frame of an animation, or a null
// image for a tune.
QImage itemImage(const GalleryItem& item);
// A picture scaled down to fit a square (never up beyond twice its size), centred on a
// transparent square so that every cell lines up.
QImage fittedImage(const QImage& image, int side);

class GalleryItemModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SizeColumn, TypeColumn, DateColumn, ColumnCount };
    // The picture scaled to fit the thumbnail cell (a QImage).
    static constexpr int ThumbnailRole = Qt::UserRole + 1;
    static constexpr int kThumbnailSide = 72;
    static constexpr int kListIconSide = 16;
    static constexpr int kColumnWidth = 150;

    // Renames the item in a row of the folder; false leaves the old name (the renamer shows
    // why).
    using Renamer = std::function<bool(int folderId, std::size_t row, const std::string& name)>;

    explicit GalleryItemModel(QObject* parent = nullptr);

    // Shows a folder's items (nullptr: none). Call again, or refresh(), after its list changed.
    void setFolder(const FolderNode* folder);
    const FolderNode* folder() const { return folder_; }
    void refresh();
    void setRenamer(Renamer renamer) { renamer_ = std::move(renamer); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    const QImage& thumbnail(int row) const;
    const QImage& listIcon(int row) const;

    const FolderNode* folder_ = nullptr;
    Renamer renamer_;
    mutable std::vector<std::optional<QImage>> thumbnails_;
    mutable std::vector<std::optional<QImage>> listIcons_;
};

} // namespace orka::app::ui
