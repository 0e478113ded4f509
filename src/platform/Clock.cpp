#include "platform/Clock.h"

#include <QElapsedTimer>

namespace platform {

namespace {
QDateTime& pinned() {
    static QDateTime moment;
    return moment;
}
} // namespace

QDateTime now() {
    return pinned().isValid() ? pinned() : QDateTime::currentDateTime();
}

QDate today() {
    return now().date();
}

qint64 tickCount() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

void setClockOverride(const QDateTime& moment) {
    pinned() = moment;
}

} // namespace platform
