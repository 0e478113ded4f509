#include "widgets/InstrumentPaint.h"

#include <QPainter>

#include <algorithm>

namespace instrument {

QColor blend(const QColor& a, const QColor& b, double weightOfA) {
    const double w = std::clamp(weightOfA, 0.0, 1.0);
    auto mix = [w](double x, double y) { return float(x * w + y * (1 - w)); };
    return QColor::fromRgbF(mix(a.redF(), b.redF()), mix(a.greenF(), b.greenF()),
                            mix(a.blueF(), b.blueF()));
}

QRect paintSunkenFrame(QPainter& painter, const QRect& outer) {
    // Shadow above and left, light below and right, as a recessed window.
    painter.fillRect(outer, QColor(0xf4, 0xf4, 0xf4));
    painter.fillRect(outer.adjusted(0, 0, -1, -1), QColor(0x80, 0x80, 0x80));
    painter.fillRect(outer.adjusted(1, 1, -1, -1), QColor(0x40, 0x40, 0x40));
    const QRect inside = outer.adjusted(2, 2, -2, -2);
    painter.fillRect(inside, Qt::black);
    return inside;
}

} // namespace instrument
