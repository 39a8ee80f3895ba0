#include "orka/app/ui/ToolIcons.h"

#include "orka/app/ui/CommandIds.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace orka::app::ui {
namespace {

// Every picture is drawn on a 32 x 32 grid and rendered at the sizes the bars use.
constexpr int kGrid = 32;
const QColor kInk(40, 60, 110);
const QColor kAccent(230, 140, 30);
const QColor kPaper(250, 250, 245);
const QColor kGreen(40, 150, 70);

using Drawing = std::function<void(QPainter&)>;

QImage render(const Drawing& draw, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / kGrid, qreal(size) / kGrid);
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(p);
    return image;
}

QIcon iconOf(const Drawing& draw)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48})
        icon.addPixmap(QPixmap::fromImage(render(draw, size)));
    return icon;
}

// An arrow from `from` to `to` with a head at `to`.
void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.save();
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QLineF line(to, from);
    QLineF side1 = line;
    side1.setLength(7);
    side1.setAngle(line.angle() + 35);
    QLineF side2 = line;
    side2.setLength(7);
    side2.setAngle(line.angle() - 35);
    p.drawLine(side1);
    p.drawLine(side2);
    p.restore();
}

void handset(QPainter& p, QRectF body)
{
    p.setBrush(kPaper);
    p.drawRoundedRect(body, 3, 3);
    p.setBrush(QColor(150, 190, 230));
    p.drawRect(body.adjusted(3, 4, -3, -body.height() / 2));
    p.setBrush(Qt::NoBrush);
}

void document(QPainter& p, QRectF r)
{
    p.setBrush(kPaper);
    p.drawRect(r);
    p.setBrush(Qt::NoBrush);
    for (qreal y = r.top() + 5; y < r.bottom() - 3; y += 5)
        p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
}

void disk(QPainter& p)
{
    p.setBrush(QColor(90, 120, 190));
    p.drawRoundedRect(QRectF(5, 5, 22, 22), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 5, 14, 8));
    p.drawRect(QRectF(10, 18, 12, 9));
    p.setBrush(Qt::NoBrush);
}

void panes(QPainter& p, bool leftHighlighted)
{
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 6, 26, 20));
    p.setBrush(kAccent);
    p.drawRect(leftHighlighted ? QRectF(3, 6, 8, 20) : QRectF(21, 6, 8, 20));
}

Drawing drawingOf(unsigned id)
{
    switch (id) {
    case cmd::kImport:
        return [](QPainter& p) { document(p, {14, 4, 14, 22}); arrow(p, {2, 16}, {16, 16}, kGreen); };
    case cmd::kExport:
        return [](QPainter& p) { document(p, {4, 4, 14, 22}); arrow(p, {14, 16}, {29, 16}, kAccent); };
    case cmd::kEdit:
        return [](QPainter& p) {
            p.setBrush(kAccent);
            QPainterPath pencil;
            pencil.moveTo(22, 4);
            pencil.lineTo(28, 10);
            pencil.lineTo(11, 27);
            pencil.lineTo(4, 28);
            pencil.lineTo(5, 21);
            pencil.closeSubpath();
            p.drawPath(pencil);
        };
    case cmd::kJava:
        return [](QPainter& p) {
            p.setBrush(kPaper);
            p.drawRoundedRect(QRectF(6, 12, 16, 14), 3, 3);
            p.drawArc(QRectF(18, 14, 8, 8), -90 * 16, 180 * 16);
            p.setPen(QPen(kAccent, 2));
            p.drawArc(QRectF(9, 3, 6, 8), 90 * 16, 180 * 16);
            p.drawArc(QRectF(13, 3, 6, 8), -90 * 16, 180 * 16);
        };
    case cmd::kPimTransfer:
        return [](QPainter& p) {
            p.setBrush(kPaper);
            p.drawRoundedRect(QRectF(3, 6, 26, 20), 2, 2);
            p.setBrush(kAccent);
            p.drawEllipse(QRectF(7, 10, 7, 7));
            p.drawChord(QRectF(5, 17, 11, 10), 0, 180 * 16);
            p.drawLine(QPointF(18, 12), QPointF(26, 12));
            p.drawLine(QPointF(18, 17), QPointF(26, 17));
        };
    case cmd::kDownload:
        return [](QPainter& p) { handset(p, {4, 3, 12, 26}); arrow(p, {24, 4}, {24, 26}, kGreen); };
    case cmd::kUpload:
    case cmd::kAnimationUpload:
        return [](QPainter& p) { handset(p, {4, 3, 12, 26}); arrow(p, {24, 26}, {24, 4}, kAccent); };
    case cmd::kPreviewOnHandset:
        return [](QPainter& p) {
            handset(p, {3, 3, 12, 26});
            p.setBrush(kPaper);
            p.drawEllipse(QRectF(16, 11, 14, 10));
            p.setBrush(kInk);
            p.drawEllipse(QRectF(21, 14, 4, 4));
        };
    case cmd::kFolderPane:
        return [](QPainter& p) { panes(p, true); };
    case cmd::kPreviewPane:
        return [](QPainter& p) { panes(p, false); };
    case cmd::kWizard:
        return [](QPainter& p) {
            p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5, 27), QPointF(20, 12));
            p.setPen(QPen(kAccent, 2));
            for (const auto& [x, y] : {std::pair{24.0, 5.0}, {27.0, 12.0}, {19.0, 4.0}})
                p.drawPoint(QPointF(x, y));
            p.drawLine(QPointF(24, 2), QPointF(24, 8));
            p.drawLine(QPointF(21, 5), QPointF(27, 5));
        };
    case cmd::kFrameLeft:
        return [](QPainter& p) { arrow(p, {28, 16}, {4, 16}, kInk); };
    case cmd::kFrameRight:
        return [](QPainter& p) { arrow(p, {4, 16}, {28, 16}, kInk); };
    case cmd::kShrinkEnlarge:
        return [](QPainter& p) {
            p.drawRect(QRectF(3, 3, 26, 26));
            p.setPen(QPen(kAccent, 2));
            p.drawRect(QRectF(9, 9, 14, 14));
            p.drawRect(QRectF(13, 13, 6, 6));
        };
    case cmd::kAnimationSave:
        return [](QPainter& p) { disk(p); };
    case cmd::kAnimationSaveAs:
        return [](QPainter& p) {
            disk(p);
            p.setPen(QPen(kAccent, 3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(18, 29), QPointF(30, 17));
        };
    case cmd::kAnimationClearAll:
        return [](QPainter& p) {
            p.setPen(QPen(QColor(200, 40, 40), 4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(7, 7), QPointF(25, 25));
            p.drawLine(QPointF(25, 7), QPointF(7, 25));
        };
    default:
        return {};
    }
}

Drawing glyphDrawing(ShellGlyph glyph)
{
    switch (glyph) {
    case ShellGlyph::Handset:
        return [](QPainter& p) { handset(p, {9, 2, 14, 28}); };
    case ShellGlyph::Category:
        return [](QPainter& p) {
            p.setBrush(kAccent);
            p.drawRoundedRect(QRectF(3, 8, 26, 18), 2, 2);
            p.setBrush(kPaper);
            p.drawRect(QRectF(7, 4, 18, 8));
        };
    case ShellGlyph::Folder:
        return [](QPainter& p) {
            p.setBrush(QColor(240, 200, 90));
            QPainterPath folder;
            folder.moveTo(3, 8);
            folder.lineTo(12, 8);
            folder.lineTo(15, 11);
            folder.lineTo(29, 11);
            folder.lineTo(29, 26);
            folder.lineTo(3, 26);
            folder.closeSubpath();
            p.drawPath(folder);
        };
    case ShellGlyph::Melody:
        return [](QPainter& p) {
            p.setBrush(kInk);
            p.drawEllipse(QRectF(6, 21, 8, 6));
            p.drawEllipse(QRectF(19, 18, 8, 6));
            p.setPen(QPen(kInk, 2.5));
            p.drawLine(QPointF(13, 24), QPointF(13, 7));
            p.drawLine(QPointF(26, 21), QPointF(26, 4));
            p.drawLine(QPointF(13, 7), QPointF(26, 4));
        };
    }
    return {};
}

} // namespace

QIcon commandIcon(unsigned id)
{
    const Drawing draw = drawingOf(id);
    return draw ? iconOf(draw) : QIcon();
}

QIcon shellIcon(ShellGlyph glyph) { return iconOf(glyphDrawing(glyph)); }

QImage glyphImage(ShellGlyph glyph, int size) { return render(glyphDrawing(glyph), size); }

} // namespace orka::app::ui
