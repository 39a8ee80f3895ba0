#include "orka/app/ui/GalleryItemModel.h"

#include "orka/app/ItemTexts.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/ToolIcons.h"
#include "orka/ui/UiText.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QPainter>

#include <algorithm>
#include <set>

namespace orka::app::ui {
namespace {

constexpr unsigned kStrNameColumn = 65105;
constexpr unsigned kStrSizeColumn = 65106;
constexpr unsigned kStrTypeColumn = 65163;
constexpr unsigned kStrDateColumn = 65167;
constexpr quint32 kDragFormatVersion = 1;

} // namespace

QImage fittedImage(const QImage& image, int side)
{
    QImage cell(side, side, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    if (image.isNull())
        return cell;
    const QSize limit = image.size() * 2;
    const QSize target = image.size().scaled(QSize(side, side).boundedTo(limit), Qt::KeepAspectRatio);
    const QImage scaled = image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&cell);
    painter.drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    return cell;
}

QString dragDropMimeType() { return QString::fromLatin1(kDragDropFormat); }

QByteArray encodeDraggedItems(const DraggedItems& items)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kDragFormatVersion << qint32(items.folderId) << quint32(items.rows.size());
    for (unsigned row : items.rows)
        out << quint32(row);
    return bytes;
}

std::optional<DraggedItems> decodeDraggedItems(const QByteArray& bytes)
{
    QDataStream in(bytes);
    quint32 version = 0;
    qint32 folderId = 0;
    quint32 count = 0;
    in >> version >> folderId >> count;
    // Every row takes four bytes: a count the bytes cannot hold is not believed.
    if (in.status() != QDataStream::Ok || version != kDragFormatVersion || count > quint32(bytes.size()) / 4)
        return std::nullopt;
    DraggedItems items{folderId, {}};
    items.rows.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        quint32 row = 0;
        in >> row;
        if (in.status() != QDataStream::Ok)
            return std::nullopt;
        items.rows.push_back(row);
    }
    return items;
}

QImage bitmapImage(const Bitmap& bitmap)
{
    if (bitmap.width == 0 || bitmap.height == 0 ||
        bitmap.pixels.size() < Bitmap::bytesFor(bitmap.width, bitmap.height, bitmap.padding))
        return {};
    // Rows of blue, green, red; the copy lets the image outlive the item.
    const qsizetype stride = qsizetype(bitmap.width + bitmap.padding) * 3;
    return QImage(bitmap.pixels.data(), bitmap.width, bitmap.height, stride, QImage::Format_BGR888)
        .convertToFormat(QImage::Format_RGB32);
}

QImage itemImage(const GalleryItem& item)
{
    if (const auto* picture = std::get_if<PictureContent>(&item.content))
        return bitmapImage(picture->bitmap);
    if (const auto* animation = std::get_if<AnimationContent>(&item.content); animation && !animation->frames.empty())
        return bitmapImage(animation->frames.front().bitmap);
    return {};
}

GalleryItemModel::GalleryItemModel(QObject* parent) : QAbstractTableModel(parent) {}

void GalleryItemModel::setFolder(const FolderNode* folder)
{
    beginResetModel();
    folder_ = folder;
    thumbnails_.assign(folder ? folder->items.size() : 0, std::nullopt);
    listIcons_.assign(thumbnails_.size(), std::nullopt);
    endResetModel();
}

void GalleryItemModel::refresh() { setFolder(folder_); }

int GalleryItemModel::rowCount(const QModelIndex& parent) const
{
    // The count of the last reset: a folder changed behind the model's back shows no rows
    // that the views were not told of.
    return parent.isValid() ? 0 : int(thumbnails_.size());
}

int GalleryItemModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const QImage& GalleryItemModel::thumbnail(int row) const
{
    auto& cached = thumbnails_[std::size_t(row)];
    if (!cached) {
        const GalleryItem& item = folder_->items[std::size_t(row)];
        const QImage image = itemImage(item);
        cached = image.isNull() ? glyphImage(ShellGlyph::Melody, kThumbnailSide) : fittedImage(image, kThumbnailSide);
    }
    return *cached;
}

const QImage& GalleryItemModel::listIcon(int row) const
{
    auto& cached = listIcons_[std::size_t(row)];
    if (!cached) {
        const QImage image = itemImage(folder_->items[std::size_t(row)]);
        cached = image.isNull() ? glyphImage(ShellGlyph::Melody, kListIconSide) : fittedImage(image, kListIconSide);
    }
    return *cached;
}

QVariant GalleryItemModel::data(const QModelIndex& index, int role) const
{
    if (!folder_ || !index.isValid() || index.row() >= int(folder_->items.size()) ||
        std::size_t(index.row()) >= thumbnails_.size())
        return {};
    const GalleryItem& item = folder_->items[std::size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case NameColumn:
            return orka::ui::fromUtf8(item.name);
        case SizeColumn:
            return orka::ui::fromUtf8(sizeText(item));
        case TypeColumn:
            return orka::ui::fromUtf8(typeText(*folder_, item));
        case DateColumn:
            return orka::ui::fromUtf8(item.dateText);
        }
        break;
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        if (index.column() == NameColumn)
            return orka::ui::fromUtf8(item.name);
        break;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == SizeColumn ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::DecorationRole:
        if (index.column() == NameColumn)
            return listIcon(index.row());
        break;
    case ThumbnailRole:
        return thumbnail(index.row());
    }
    return {};
}

QVariant GalleryItemModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    static constexpr unsigned kTitles[ColumnCount] = {kStrNameColumn, kStrSizeColumn, kStrTypeColumn, kStrDateColumn};
    if (role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return orka::ui::uiText(kTitles[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (section == SizeColumn ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

Qt::ItemFlags GalleryItemModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == NameColumn && renamer_ && folder_ && folder_->stored() && !folder_->readOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

bool GalleryItemModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != NameColumn || !renamer_ || !folder_ ||
        index.row() >= int(folder_->items.size()))
        return false;
    const std::string name = orka::ui::toUtf8(value.toString());
    if (name == folder_->items[std::size_t(index.row())].name)
        return false;
    if (!renamer_(folder_->id, std::size_t(index.row()), name))
        return false;
    Q_EMIT dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}

QStringList GalleryItemModel::mimeTypes() const { return {dragDropMimeType()}; }

QMimeData* GalleryItemModel::mimeData(const QModelIndexList& indexes) const
{
    if (!folder_)
        return nullptr;
    std::set<unsigned> rows;
    for (const QModelIndex& i : indexes)
        if (i.isValid())
            rows.insert(unsigned(i.row()));
    auto* mime = new QMimeData;
    mime->setData(dragDropMimeType(), encodeDraggedItems({folder_->id, {rows.begin(), rows.end()}}));
    return mime;
}

Qt::DropActions GalleryItemModel::supportedDragActions() const { return Qt::CopyAction | Qt::MoveAction; }

} // namespace orka::app::ui
