#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace qbtest {

// What a widget draws, at one pixel per logical pixel.
inline QImage render(QWidget& widget) {
    QImage image = widget.grab().toImage();
    image.setDevicePixelRatio(1.0);
    return image;
}

// Within `tolerance` of the given colour in every channel.
inline bool near(const QColor& actual, const QColor& expected, int tolerance = 60) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// Dark enough that no colour is lit there.
inline bool dim(const QColor& c, int limit = 140) {
    return c.red() < limit && c.green() < limit && c.blue() < limit;
}

} // namespace qbtest
