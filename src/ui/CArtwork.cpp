#include "ui/CArtwork.h"

#include "mob/CChunkTree.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qm {

namespace {

const QColor kOutline(60, 60, 70);
const QColor kMagenta(205, 50, 190);
const QColor kCyan(40, 185, 210);
const QColor kGold(222, 170, 40);

QImage BlankImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// An isometric cube inside the square at (x, y) with side s.
void DrawCube(QPainter& p, qreal x, qreal y, qreal s, const QColor& color)
{
    const QPointF top(x + s / 2, y + 0.5);
    const QPointF left(x + 0.5, y + s * 0.25);
    const QPointF right(x + s - 0.5, y + s * 0.25);
    const QPointF centre(x + s / 2, y + s * 0.5);
    const QPointF leftBottom(x + 0.5, y + s * 0.75);
    const QPointF rightBottom(x + s - 0.5, y + s * 0.75);
    const QPointF bottom(x + s / 2, y + s - 0.5);

    p.setPen(QPen(kOutline, 1));
    p.setBrush(color.lighter(140));
    p.drawPolygon(QPolygonF({top, right, centre, left}));
    p.setBrush(color);
    p.drawPolygon(QPolygonF({left, centre, bottom, leftBottom}));
    p.setBrush(color.darker(140));
    p.drawPolygon(QPolygonF({centre, right, rightBottom, bottom}));
}

void DrawFile(QPainter& p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{2.5, 0.5}, {9.5, 0.5}, {13.5, 4.5}, {13.5, 15.5}, {2.5, 15.5}}));
    p.setBrush(QColor(215, 215, 220));
    p.drawPolygon(QPolygonF({{9.5, 0.5}, {9.5, 4.5}, {13.5, 4.5}}));
    // The little window on the page.
    p.setBrush(QColor(235, 240, 250));
    p.drawRect(QRectF(4.5, 6.5, 7, 6));
    p.fillRect(QRectF(5, 7, 6.5, 2), QColor(40, 90, 200));
}

void DrawHierarchy(QPainter& p)
{
    p.setPen(QPen(kOutline, 1));
    p.drawLine(QPointF(4.5, 5), QPointF(4.5, 13.5));
    p.drawLine(QPointF(4.5, 8.5), QPointF(8, 8.5));
    p.drawLine(QPointF(4.5, 13.5), QPointF(8, 13.5));
    p.setBrush(QColor(250, 215, 90));
    p.drawRect(QRectF(1.5, 0.5, 6, 4.5));
    p.setBrush(QColor(120, 170, 240));
    p.drawRect(QRectF(8.5, 6.5, 6, 4));
    p.drawRect(QRectF(8.5, 11.5, 6, 4));
}

void DrawKey(QPainter& p)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kGold);
    p.drawEllipse(QRectF(0.5, 0.5, 5.5, 5.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(2.3, 2.3, 2, 2));
    p.setPen(QPen(kGold.darker(150), 1.6));
    p.drawLine(QPointF(3.25, 6), QPointF(3.25, 15));
    p.drawLine(QPointF(3.25, 12), QPointF(5.5, 12));
    p.drawLine(QPointF(3.25, 14.2), QPointF(5, 14.2));
}

void DrawPadlock(QPainter& p)
{
    p.setPen(QPen(kOutline, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(1.2, 3, 5, 8), 0, 180 * 16);
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kGold);
    p.drawRect(QRectF(0.5, 7.5, 6.5, 7));
    p.setPen(QPen(kOutline, 1.2));
    p.drawLine(QPointF(3.75, 10), QPointF(3.75, 12.5));
}

} // namespace

QImage CArtwork::NodeImage(int index)
{
    QImage image = BlankImage(kNodeImageSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case IMG_FILE:
        DrawFile(p);
        break;
    case IMG_CONTAINER:
        DrawHierarchy(p);
        break;
    case IMG_CHUNK:
        DrawCube(p, 1, 1, 14, kMagenta);
        break;
    case IMG_KEY_CHUNK:
        DrawKey(p);
        DrawCube(p, 6, 3, 10, kMagenta);
        break;
    case IMG_CYAN_CHUNK:
        DrawCube(p, 1, 1, 14, kCyan);
        break;
    case IMG_LOCKED_CHUNK:
        DrawPadlock(p);
        DrawCube(p, 6, 3, 10, kCyan);
        break;
    default:
        break;
    }
    return image;
}

std::vector<QIcon> CArtwork::NodeImageList()
{
    std::vector<QIcon> images;
    images.reserve(kNodeImageCount);
    for (int i = 0; i < kNodeImageCount; ++i)
        images.emplace_back(QPixmap::fromImage(NodeImage(i)));
    return images;
}

QImage CArtwork::ProgramIconImage(int size)
{
    QImage image = BlankImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64 by 64 grid and scaled.
    p.scale(size / 64.0, size / 64.0);

    // A page holding a small chunk tree.
    p.setPen(QPen(kOutline, 2.5));
    p.setBrush(QColor(252, 250, 244));
    p.drawPolygon(QPolygonF({{8, 4}, {38, 4}, {50, 16}, {50, 60}, {8, 60}}));
    p.setBrush(QColor(220, 216, 205));
    p.drawPolygon(QPolygonF({{38, 4}, {38, 16}, {50, 16}}));

    p.setPen(QPen(kOutline, 2));
    p.drawLine(QPointF(17, 20), QPointF(17, 50));
    p.drawLine(QPointF(17, 32), QPointF(24, 32));
    p.drawLine(QPointF(17, 50), QPointF(24, 50));
    p.setBrush(QColor(250, 200, 60));
    p.drawRect(QRectF(12, 12, 11, 9));
    p.setBrush(kMagenta);
    p.drawRect(QRectF(24, 27, 10, 10));
    p.setBrush(kCyan);
    p.drawRect(QRectF(24, 45, 10, 10));

    // The quill across the page's right side.
    QPainterPath vane;
    vane.moveTo(30, 58);
    vane.cubicTo(34, 40, 46, 14, 62, 2);
    vane.cubicTo(60, 20, 50, 40, 30, 58);
    p.setPen(QPen(QColor(30, 60, 110), 1.5));
    p.setBrush(QColor(60, 110, 190));
    p.drawPath(vane);
    p.setPen(QPen(QColor(240, 240, 255), 1.6));
    p.drawLine(QPointF(32, 55), QPointF(58, 8));
    p.setPen(QPen(kOutline, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(27, 63), QPointF(31, 56));
    return image;
}

QIcon CArtwork::ProgramIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

} // namespace qm
