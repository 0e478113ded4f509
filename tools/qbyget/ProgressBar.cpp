#include "ProgressBar.h"

#include <QString>

#include <cstdio>

namespace {

QString size(qint64 bytes) {
    const double mib = double(bytes) / (1024.0 * 1024.0);
    if (mib >= 1024.0)
        return QString::number(mib / 1024.0, 'f', 2) + QStringLiteral(" GiB");
    return QString::number(mib, 'f', 1) + QStringLiteral(" MiB");
}

QString duration(qint64 seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ProgressBar::ProgressBar(bool enabled) : enabled_(enabled) {}

void ProgressBar::begin(qint64 start, qint64 total) {
    start_ = done_ = start;
    total_ = total;
    active_ = true;
    clock_.start();
    lastDraw_ = -1;
    draw(true);
}

void ProgressBar::update(qint64 done) {
    done_ = done;
    draw(false);
}

void ProgressBar::finish() {
    if (!active_)
        return;
    draw(true);
    if (enabled_)
        std::fputc('\n', stderr);
    active_ = false;
}

void ProgressBar::draw(bool force) {
    if (!enabled_ || !active_)
        return;
    const qint64 now = clock_.elapsed();
    if (!force && lastDraw_ >= 0 && now - lastDraw_ < 200)
        return;
    lastDraw_ = now;
    const double seconds = qMax<qint64>(now, 1) / 1000.0;
    const double speed = double(done_ - start_) / seconds; // bytes per second this session
    QString line;
    if (total_ > 0) {
        const int width = 30;
        const double part = qBound(0.0, double(done_) / double(total_), 1.0);
        const int filled = int(part * width);
        line =
            QStringLiteral("%1% [%2%3] %4 of %5")
                .arg(int(part * 100), 3)
                .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')))
                .arg(size(done_), size(total_));
    } else {
        line = size(done_);
    }
    line += QStringLiteral("  %1/s").arg(size(qint64(speed)));
    if (total_ > 0 && speed > 0 && done_ < total_)
        line += QStringLiteral("  %1 left").arg(duration(qint64(double(total_ - done_) / speed)));
    std::fprintf(stderr, "\r%-78s", line.toLocal8Bit().constData());
    std::fflush(stderr);
}
