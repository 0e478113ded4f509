#include "manager/ToolImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace manager {

namespace {

// Everything is drawn on a 32-unit grid and scaled.
void drawPage(QPainter& p, const QColor& paper, const QColor& edge) {
    QPainterPath page;
    page.moveTo(7, 3);
    page.lineTo(20, 3);
    page.lineTo(26, 9);
    page.lineTo(26, 29);
    page.lineTo(7, 29);
    page.closeSubpath();
    p.setPen(QPen(edge, 1.5));
    p.setBrush(paper);
    p.drawPath(page);
    p.drawLine(QPointF(20, 3), QPointF(20, 9));
    p.drawLine(QPointF(20, 9), QPointF(26, 9));
}

void drawFolder(QPainter& p, const QColor& body, const QColor& edge) {
    p.setPen(QPen(edge, 1.5));
    p.setBrush(body.darker(115));
    p.drawRoundedRect(QRectF(3, 8, 11, 6), 1.5, 1.5);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 11, 22, 16), 2, 2);
}

void drawArt(QPainter& p, int index) {
    const QColor ink(40, 40, 48);
    switch (index) {
    case 0: { // new: a folder with a green plus
        drawFolder(p, QColor(244, 196, 72), QColor(150, 110, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 160, 60));
        p.drawEllipse(QRectF(17, 15, 14, 14));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(23, 17.5, 2, 9));
        p.drawRect(QRectF(19.5, 21, 9, 2));
        break;
    }
    case 1: { // delete: a red cross over a folder
        drawFolder(p, QColor(244, 196, 72), QColor(150, 110, 20));
        p.setPen(QPen(QColor(210, 30, 30), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 14), QPointF(28, 27));
        p.drawLine(QPointF(28, 14), QPointF(16, 27));
        break;
    }
    case 2: { // options: a cog wheel
        QPainterPath cog;
        const QPointF c(16, 16);
        for (int i = 0; i < 16; ++i) {
            const double a = i * M_PI / 8;
            const double r = (i % 2 == 0) ? 13 : 10;
            const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
            if (i == 0)
                cog.moveTo(pt);
            else
                cog.lineTo(pt);
        }
        cog.closeSubpath();
        cog.addEllipse(c, 4.5, 4.5);
        p.setPen(QPen(QColor(50, 60, 90), 1.2));
        p.setBrush(QColor(110, 130, 190));
        p.drawPath(cog);
        break;
    }
    case 3: { // report: a printer with a page
        drawPage(p, Qt::white, ink);
        p.setPen(QPen(QColor(60, 90, 160), 1.5));
        for (int y = 12; y <= 18; y += 3)
            p.drawLine(QPointF(10, y), QPointF(23, y));
        p.setPen(QPen(ink, 1.5));
        p.setBrush(QColor(120, 120, 130));
        p.drawRoundedRect(QRectF(2, 19, 28, 10), 2, 2);
        p.setBrush(QColor(90, 200, 90));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(24, 22, 3, 3));
        break;
    }
    case 4: { // help: a question mark in a blue disc
        p.setPen(QPen(QColor(20, 60, 140), 1.5));
        p.setBrush(QColor(60, 120, 220));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont f("DejaVu Sans");
        f.setBold(true);
        f.setPixelSize(20);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, "?");
        break;
    }
    case 5: { // file info: a page with an "i"
        drawPage(p, Qt::white, ink);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 200));
        p.drawEllipse(QRectF(14.5, 10, 4, 4));
        p.drawRoundedRect(QRectF(14.5, 16, 4, 10), 1, 1);
        break;
    }
    case 6: { // browser: a globe
        p.setPen(QPen(QColor(20, 80, 120), 1.5));
        p.setBrush(QColor(70, 170, 220));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(10, 3, 12, 26));
        p.drawLine(QPointF(16, 3), QPointF(16, 29));
        p.drawLine(QPointF(3, 16), QPointF(29, 16));
        p.drawLine(QPointF(5.5, 9.5), QPointF(26.5, 9.5));
        p.drawLine(QPointF(5.5, 22.5), QPointF(26.5, 22.5));
        break;
    }
    case 7: { // scanner: a shield with a tick
        QPainterPath shield;
        shield.moveTo(16, 2);
        shield.lineTo(28, 7);
        shield.cubicTo(28, 19, 23, 26, 16, 30);
        shield.cubicTo(9, 26, 4, 19, 4, 7);
        shield.closeSubpath();
        p.setPen(QPen(QColor(20, 100, 40), 1.5));
        p.setBrush(QColor(60, 170, 80));
        p.drawPath(shield);
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(10, 16), QPointF(14.5, 21), QPointF(22, 11)}));
        break;
    }
    case 8: { // view style: four tiles
        p.setPen(QPen(ink, 1.2));
        const QColor tiles[] = {QColor(230, 90, 70), QColor(70, 150, 230), QColor(90, 190, 90),
                                QColor(240, 190, 60)};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(tiles[i]);
            p.drawRoundedRect(QRectF(4 + (i % 2) * 13, 4 + (i / 2) * 13, 11, 11), 1.5, 1.5);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

QImage toolImage(int index, bool hot, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (index < 0 || index >= kToolImageCount)
        return image;
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        drawArt(p, index);
    }
    if (hot)
        return image;
    // The resting picture: the colours muted towards grey, as flat tool bars show them.
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            const int a = qAlpha(c);
            const int g = qGray(c);
            const auto mix = [g](int v) { return (v + 3 * g) / 4; };
            line[x] = qRgba(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)), a);
        }
    }
    return image;
}

QIcon toolIcon(int index) {
    QIcon icon;
    for (const int size : {20, 32}) {
        icon.addPixmap(QPixmap::fromImage(toolImage(index, false, size)), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(toolImage(index, true, size)), QIcon::Active);
    }
    return icon;
}

} // namespace manager
