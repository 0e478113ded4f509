// The pictures of the shipped folder icons. The build draws them into the icon file
// (tools/qbyicons); the program itself only reads that file.
#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "platform/ShellIcons.h"

namespace platform {

namespace {

const QColor kManila(0xf2, 0xc1, 0x4e);

enum class Picture { Gear, Transfer, Cap, Window, Briefcase, House, Check, Globe, Envelope, Pad };

struct PictureAt {
    int index;
    Picture picture;
};

// The default library's folders: Utilities, FTP Files, School, Applications, Office, Home,
// Productivity, Web Files, E-Mail Files and Games.
constexpr PictureAt kPictures[] = {
    {1, Picture::Gear},       {3, Picture::Transfer}, {15, Picture::Cap},   {21, Picture::Window},
    {30, Picture::Briefcase}, {32, Picture::House},   {39, Picture::Check}, {43, Picture::Globe},
    {44, Picture::Envelope},  {46, Picture::Pad},
};

void drawFolder(QPainter& p, const QColor& colour) {
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour.darker(115));
    p.drawRoundedRect(QRectF(2.5, 6.5, 12, 6), 2, 2); // the tab
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(2.5, 9.5, 27, 19), 2, 2);
}

void drawPicture(QPainter& p, Picture picture) {
    p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF c(16, 19);
    QPainterPath path;
    switch (picture) {
    case Picture::Gear:
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            p.drawLine(c + QPointF(4 * std::cos(a), 4 * std::sin(a)),
                       c + QPointF(6.5 * std::cos(a), 6.5 * std::sin(a)));
        }
        p.drawEllipse(c, 4.5, 4.5);
        p.drawEllipse(c, 1.8, 1.8);
        break;
    case Picture::Transfer: // one arrow up, one down
        p.drawLine(QPointF(12, 13), QPointF(12, 25));
        p.drawPolyline(QPolygonF({QPointF(9, 16), QPointF(12, 13), QPointF(15, 16)}));
        p.drawLine(QPointF(20, 13), QPointF(20, 25));
        p.drawPolyline(QPolygonF({QPointF(17, 22), QPointF(20, 25), QPointF(23, 22)}));
        break;
    case Picture::Cap: // a mortarboard
        p.setBrush(QColor(40, 40, 40));
        p.drawPolygon(
            QPolygonF({QPointF(7, 17), QPointF(16, 13), QPointF(25, 17), QPointF(16, 21)}));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF(
            {QPointF(11, 19), QPointF(11, 23), QPointF(16, 25), QPointF(21, 23), QPointF(21, 19)}));
        p.drawLine(QPointF(24, 17), QPointF(24, 23));
        break;
    case Picture::Window:
        p.drawRect(QRectF(9, 13, 14, 11));
        p.drawLine(QPointF(9, 16), QPointF(23, 16));
        p.drawPoint(QPointF(11, 14.5));
        break;
    case Picture::Briefcase:
        p.drawRect(QRectF(9, 15, 14, 9));
        p.drawRect(QRectF(13.5, 12.5, 5, 2.5));
        p.drawLine(QPointF(9, 19), QPointF(23, 19));
        break;
    case Picture::House:
        p.drawPolyline(QPolygonF({QPointF(8, 19), QPointF(16, 12), QPointF(24, 19)}));
        p.drawRect(QRectF(10.5, 18, 11, 7));
        p.drawRect(QRectF(14.5, 21, 3, 4));
        break;
    case Picture::Check:
        p.drawPolyline(QPolygonF({QPointF(10, 19), QPointF(14, 23), QPointF(22, 14)}));
        break;
    case Picture::Globe:
        p.drawEllipse(c, 6, 6);
        p.drawEllipse(c, 2.5, 6);
        p.drawLine(QPointF(10, 19), QPointF(22, 19));
        break;
    case Picture::Envelope:
        p.drawRect(QRectF(9, 14, 14, 10));
        p.drawPolyline(QPolygonF({QPointF(9, 14), QPointF(16, 20), QPointF(23, 14)}));
        break;
    case Picture::Pad: // a game pad
        path.addRoundedRect(QRectF(8, 15, 16, 9), 4, 4);
        p.drawPath(path);
        p.drawLine(QPointF(12, 17.5), QPointF(12, 21.5));
        p.drawLine(QPointF(10, 19.5), QPointF(14, 19.5));
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(QPointF(19, 18.5), 1, 1);
        p.drawEllipse(QPointF(21, 20.5), 1, 1);
        break;
    }
}

QImage blankIcon() {
    QImage image(kFolderIconSize, kFolderIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QList<int> pictureIconIndexes() {
    QList<int> indexes;
    for (const PictureAt& at : kPictures)
        indexes.append(at.index);
    return indexes;
}

QImage plainFolderImage() {
    static const QImage image = [] {
        QImage plain = blankIcon();
        QPainter p(&plain);
        p.setRenderHint(QPainter::Antialiasing);
        drawFolder(p, kManila);
        return plain;
    }();
    return image;
}

QImage drawShippedIcon(int index) {
    if (index < 0 || index >= kShippedIconCount)
        return {};
    QImage image = blankIcon();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (const PictureAt& at : kPictures) {
        if (at.index == index) {
            drawFolder(p, kManila);
            drawPicture(p, at.picture);
            return image;
        }
    }
    // 137 and 360 share no factor, so every index gets a hue of its own.
    drawFolder(p, QColor::fromHsv((index * 137) % 360, 170, 235));
    return image;
}

} // namespace platform
