#pragma once

#include <QColor>
#include <QRect>

class QPainter;

// Drawing shared by the instrument widgets.
namespace instrument {

// `a` weighted by `weightOfA` (0..1) over `b`.
QColor blend(const QColor& a, const QColor& b, double weightOfA);

// A sunken two-pixel frame around `outer` with a black inside; returns the inside.
QRect paintSunkenFrame(QPainter& painter, const QRect& outer);

} // namespace instrument
