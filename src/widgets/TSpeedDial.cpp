#include "widgets/TSpeedDial.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>

#include "widgets/InstrumentPaint.h"

namespace {

// The scale runs clockwise over 270 degrees, from the lower left to the lower right.
constexpr double kStartDegrees = 225.0;
constexpr double kSweepDegrees = 270.0;

double degreesAt(double share) {
    return kStartDegrees - kSweepDegrees * share;
}

QPointF polar(QPointF centre, double radius, double degrees) {
    const double rad = qDegreesToRadians(degrees);
    return centre + QPointF(radius * std::cos(rad), -radius * std::sin(rad));
}

// 28800 reads "28.8k", 100000 "100k", 1500000 "1.5M".
QString compact(qint64 value) {
    static const char* const kSuffix[] = {"", "k", "M", "G", "T"};
    double shown = static_cast<double>(value);
    int step = 0;
    while (shown >= 1000.0 && step < 4) {
        shown /= 1000.0;
        ++step;
    }
    const int decimals = (step > 0 && shown < 100.0) ? 1 : 0;
    QString text = QString::number(shown, 'f', decimals);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text + QLatin1String(kSuffix[step]);
}

const QColor kTrack(0x30, 0x30, 0x30);

} // namespace

TSpeedDial::TSpeedDial(QWidget* parent) : QWidget(parent) {
    zoneColor_[0] = QColor(Qt::red);
    zoneColor_[1] = QColor(Qt::yellow);
    zoneColor_[2] = QColor(0, 255, 0); // lime
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void TSpeedDial::setMaximum(qint64 maximum) {
    maximum_ = std::max<qint64>(maximum, 0);
    first_ = qRound64(static_cast<double>(maximum_) * 0.33);
    second_ = qRound64(static_cast<double>(maximum_) * 0.66);
    update();
}

void TSpeedDial::setProgress(qint64 progress) {
    if (progress == progress_)
        return;
    progress_ = progress;
    update();
}

qint64 TSpeedDial::progress() const {
    return std::clamp<qint64>(progress_, 0, maximum_);
}

void TSpeedDial::setFirstIndication(qint64 value) {
    first_ = value;
    update();
}

void TSpeedDial::setSecondIndication(qint64 value) {
    second_ = value;
    update();
}

void TSpeedDial::setFirstZoneColor(const QColor& color) {
    zoneColor_[0] = color;
    update();
}

void TSpeedDial::setSecondZoneColor(const QColor& color) {
    zoneColor_[1] = color;
    update();
}

void TSpeedDial::setThirdZoneColor(const QColor& color) {
    zoneColor_[2] = color;
    update();
}

void TSpeedDial::setUnit(const QString& unit) {
    unit_ = unit;
    update();
}

double TSpeedDial::share(qint64 value) const {
    if (maximum_ <= 0)
        return 0.0;
    return std::clamp(static_cast<double>(value) / static_cast<double>(maximum_), 0.0, 1.0);
}

double TSpeedDial::fraction() const {
    return share(progress_);
}

TSpeedDial::Geometry TSpeedDial::geometry() const {
    const double side = std::min(width(), height());
    Geometry g;
    g.centre = QRectF(rect()).center();
    g.outer = std::max(side / 2.0 - 1.0, 1.0);
    g.band = g.outer * 0.74;
    g.thickness = g.outer * 0.22;
    return g;
}

QPointF TSpeedDial::pointOnRing(double at) const {
    const Geometry g = geometry();
    return polar(g.centre, g.band, degreesAt(std::clamp(at, 0.0, 1.0)));
}

QSize TSpeedDial::sizeHint() const {
    return {120, 120};
}

QSize TSpeedDial::minimumSizeHint() const {
    return {48, 48};
}

void TSpeedDial::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Geometry g = geometry();

    // The instrument's face: a dark disc with a lighter middle and a thin rim.
    QRadialGradient face(g.centre, g.outer);
    face.setColorAt(0.0, QColor(0x44, 0x44, 0x44));
    face.setColorAt(0.85, QColor(0x1c, 0x1c, 0x1c));
    face.setColorAt(1.0, QColor(0x10, 0x10, 0x10));
    painter.setPen(QPen(QColor(0x70, 0x70, 0x70), 1.0));
    painter.setBrush(face);
    painter.drawEllipse(g.centre, g.outer - 0.5, g.outer - 0.5);

    paintRing(painter, g);
    paintScale(painter, g);
    paintReading(painter, g);
    paintNeedle(painter, g);
}

void TSpeedDial::paintRing(QPainter& painter, const Geometry& g) const {
    const double z1 = share(first_);
    const double z2 = std::max(z1, share(second_));
    const double bounds[4] = {0.0, z1, z2, 1.0};
    const double filled = fraction();
    const QRectF arc(g.centre - QPointF(g.band, g.band), QSizeF(2 * g.band, 2 * g.band));

    auto stroke = [&](double from, double to, const QColor& color) {
        if (to <= from)
            return;
        painter.setPen(QPen(color, g.thickness, Qt::SolidLine, Qt::FlatCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(arc, qRound(degreesAt(from) * 16),
                        -qRound(kSweepDegrees * (to - from) * 16));
    };
    for (int zone = 0; zone < 3; ++zone) {
        // Unlit zones keep a hint of their colour so the scale reads even at rest.
        stroke(bounds[zone], bounds[zone + 1], instrument::blend(zoneColor_[zone], kTrack, 0.28));
        stroke(bounds[zone], std::min(bounds[zone + 1], filled), zoneColor_[zone]);
    }
}

void TSpeedDial::paintScale(QPainter& painter, const Geometry& g) const {
    const double inner = g.band - g.thickness / 2.0 - g.outer * 0.04;
    painter.setPen(QPen(QColor(0xc8, 0xc8, 0xc8), std::max(1.0, g.outer / 60.0)));
    for (int i = 0; i <= 20; ++i) {
        const double length = g.outer * (i % 5 == 0 ? 0.1 : 0.05);
        const double degrees = degreesAt(i / 20.0);
        painter.drawLine(polar(g.centre, inner, degrees), polar(g.centre, inner - length, degrees));
    }
    // The indication points cut the band, so the zone borders stay visible when lit.
    painter.setPen(QPen(QColor(0x10, 0x10, 0x10), std::max(1.5, g.outer / 35.0)));
    for (qint64 point : {first_, second_}) {
        const double degrees = degreesAt(share(point));
        painter.drawLine(polar(g.centre, g.band - g.thickness / 2.0, degrees),
                         polar(g.centre, g.band + g.thickness / 2.0, degrees));
    }
}

void TSpeedDial::paintNeedle(QPainter& painter, const Geometry& g) const {
    const double degrees = degreesAt(fraction());
    const double halfBase = g.outer * 0.045;
    QPainterPath needle;
    needle.moveTo(polar(g.centre, g.band - g.thickness * 0.6, degrees));
    needle.lineTo(polar(g.centre, halfBase, degrees + 90.0));
    needle.lineTo(polar(g.centre, g.outer * 0.12, degrees + 180.0));
    needle.lineTo(polar(g.centre, halfBase, degrees - 90.0));
    needle.closeSubpath();
    painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 0.8));
    painter.setBrush(QColor(0xf2, 0xf2, 0xf2));
    painter.drawPath(needle);

    QRadialGradient hub(g.centre - QPointF(g.outer * 0.03, g.outer * 0.03), g.outer * 0.1);
    hub.setColorAt(0.0, QColor(0xd0, 0xd0, 0xd0));
    hub.setColorAt(1.0, QColor(0x50, 0x50, 0x50));
    painter.setPen(Qt::NoPen);
    painter.setBrush(hub);
    painter.drawEllipse(g.centre, g.outer * 0.08, g.outer * 0.08);
}

void TSpeedDial::paintReading(QPainter& painter, const Geometry& g) const {
    // The reading sits in the open bottom of the ring; it shows the real value even
    // when the needle stands at its stop. Sizes and places are shares of the radius.
    auto line = [&](const QString& text, bool bold, double size, double top, double width,
                    const QColor& color) {
        QFont font = painter.font();
        font.setBold(bold);
        font.setPixelSize(std::max(5, qRound(g.outer * size)));
        painter.setFont(font);
        painter.setPen(color);
        const QRectF box(g.centre.x() - g.outer * width / 2, g.centre.y() + g.outer * top,
                         g.outer * width, g.outer * size * 1.4);
        painter.drawText(box, Qt::AlignCenter, text);
    };
    line(compact(std::max<qint64>(progress_, 0)), true, 0.21, 0.22, 1.2, QColor(0xf0, 0xf0, 0xf0));
    line(unit_, false, 0.14, 0.52, 0.8, QColor(0xa0, 0xa0, 0xa0));
}
