#pragma once

#include <QDate>
#include <QDateTime>

namespace platform {

// Today, now and a millisecond tick; tests may pin the clock.
QDate today();
QDateTime now();
qint64 tickCount();

// Pins now() and today() to the given moment; an invalid moment releases the pin.
void setClockOverride(const QDateTime& moment);

} // namespace platform
