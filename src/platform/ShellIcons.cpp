#include "platform/ShellIcons.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace platform {

namespace {

enum Emblem {
    Plain,
    Gear,
    Star,
    Arrow,
    Heart,
    Window,
    Note,
    Picture,
    Dot,
    Plus,
    Bolt,
    Globe,
    Envelope,
    Check,
    Briefcase,
    Book,
    EmblemCount
};

const QColor kFolderColours[] = {QColor(0xf2, 0xc1, 0x4e), QColor(0x5b, 0x9b, 0xd5),
                                 QColor(0x70, 0xad, 0x47), QColor(0xe0, 0x6c, 0x5a)};

void drawFolder(QPainter& p, const QColor& colour) {
    const QColor edge = colour.darker(150);
    p.setPen(QPen(edge, 1));
    p.setBrush(colour.darker(115));
    p.drawRoundedRect(QRectF(2.5, 6.5, 12, 6), 2, 2); // the tab
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(2.5, 9.5, 27, 19), 2, 2);
}

void drawEmblem(QPainter& p, int emblem) {
    p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF c(16, 19);
    QPainterPath path;
    switch (emblem) {
    case Gear:
        p.drawEllipse(c, 5, 5);
        p.drawEllipse(c, 2, 2);
        break;
    case Star:
        for (int i = 0; i < 5; ++i) {
            const QPointF tip = c + QPointF(6 * std::sin(i * 2.513), -6 * std::cos(i * 2.513));
            i == 0 ? path.moveTo(tip) : path.lineTo(tip);
        }
        path.closeSubpath();
        p.drawPath(path);
        break;
    case Arrow:
        p.drawLine(QPointF(16, 13), QPointF(16, 25));
        p.drawPolyline(QPolygonF({QPointF(11, 20), QPointF(16, 25), QPointF(21, 20)}));
        break;
    case Heart:
        path.moveTo(16, 25);
        path.cubicTo(6, 18, 11, 11, 16, 16);
        path.cubicTo(21, 11, 26, 18, 16, 25);
        p.drawPath(path);
        break;
    case Window:
        p.drawRect(QRectF(10, 13, 12, 11));
        p.drawLine(QPointF(10, 16), QPointF(22, 16));
        break;
    case Note:
        p.drawEllipse(QPointF(13, 24), 2.5, 2);
        p.drawLine(QPointF(15.5, 24), QPointF(15.5, 13));
        p.drawLine(QPointF(15.5, 13), QPointF(20, 15));
        break;
    case Picture:
        p.drawRect(QRectF(9, 13, 14, 11));
        p.drawPolyline(QPolygonF(
            {QPointF(9, 24), QPointF(14, 18), QPointF(18, 22), QPointF(20, 20), QPointF(23, 24)}));
        break;
    case Dot:
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(c, 3, 3);
        break;
    case Plus:
        p.drawLine(QPointF(16, 13), QPointF(16, 25));
        p.drawLine(QPointF(10, 19), QPointF(22, 19));
        break;
    case Bolt:
        p.drawPolyline(
            QPolygonF({QPointF(18, 12), QPointF(13, 20), QPointF(18, 19), QPointF(14, 26)}));
        break;
    case Globe:
        p.drawEllipse(c, 6, 6);
        p.drawEllipse(c, 2.5, 6);
        p.drawLine(QPointF(10, 19), QPointF(22, 19));
        break;
    case Envelope:
        p.drawRect(QRectF(9, 14, 14, 10));
        p.drawPolyline(QPolygonF({QPointF(9, 14), QPointF(16, 20), QPointF(23, 14)}));
        break;
    case Check:
        p.drawPolyline(QPolygonF({QPointF(10, 19), QPointF(14, 23), QPointF(22, 14)}));
        break;
    case Briefcase:
        p.drawRect(QRectF(9, 15, 14, 9));
        p.drawRect(QRectF(13.5, 12.5, 5, 2.5));
        break;
    case Book:
        p.drawRect(QRectF(11, 13, 10, 12));
        p.drawLine(QPointF(13, 13), QPointF(13, 25));
        break;
    default:
        break;
    }
}

QImage drawStrip() {
    QImage strip(kBuiltInIconCount * kStripIconSize, kStripIconSize,
                 QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < kBuiltInIconCount; ++i) {
        p.save();
        p.translate(i * kStripIconSize, 0);
        drawFolder(p, kFolderColours[(i / EmblemCount) % 4]);
        drawEmblem(p, i % EmblemCount);
        p.restore();
    }
    return strip;
}

struct CachedStrip {
    QDateTime modified;
    qint64 size = -1;
    QImage image;
};

// An icon file is read once and again only when it changes.
QImage loadStrip(const QString& iconFile) {
    static QHash<QString, CachedStrip> cache;
    const QFileInfo info(iconFile);
    if (!info.isFile())
        return builtInIconStrip();
    CachedStrip& entry = cache[info.absoluteFilePath()];
    if (entry.modified != info.lastModified() || entry.size != info.size()) {
        QImageReader reader(iconFile);
        reader.setDecideFormatFromContent(true);
        entry.image = reader.read();
        entry.modified = info.lastModified();
        entry.size = info.size();
    }
    return entry.image.isNull() ? builtInIconStrip() : entry.image;
}

} // namespace

QImage builtInIconStrip() {
    static const QImage strip = drawStrip();
    return strip;
}

QImage iconImageFromFile(const QString& iconFile, int index) {
    const QImage strip = loadStrip(iconFile);
    const int side = strip.height();
    if (index < 0 || side <= 0 || index >= strip.width() / side)
        return {};
    return strip.copy(index * side, 0, side, side);
}

QIcon iconFromFile(const QString& iconFile, int index) {
    const QImage image = iconImageFromFile(iconFile, index);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

QIcon applicationIcon() {
    return QIcon(":/quillbay/quillbay.png");
}

} // namespace platform
