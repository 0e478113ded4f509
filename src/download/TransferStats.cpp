#include "download/TransferStats.h"

#include "net/FtpReply.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace download {

namespace {

const QString kPotentialSpeed = QStringLiteral("% of Potential Speed");
const QString kUnknown = QStringLiteral("Unknown");

QString bitsPerSecond(qint64 value) {
    return QString::number(value) + QStringLiteral(" bps");
}

QString bytes(qint64 value) {
    return QString::number(value) + QStringLiteral(" bytes");
}

} // namespace

qint64 roundHalfEven(double x) {
    if (!std::isfinite(x))
        return 0;
    constexpr double kLimit = 9.2e18; // just inside the 64-bit range
    if (x >= kLimit)
        return std::numeric_limits<qint64>::max();
    if (x <= -kLimit)
        return std::numeric_limits<qint64>::min();
    double whole = std::floor(x);
    const double fraction = x - whole; // exact for every finite double
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<qint64>(whole);
}

qint64 roundHalfAwayFromZero(qint64 num, qint64 den) {
    Q_ASSERT(den > 0);
    const qint64 quotient = num / den;
    const qint64 rest = num % den; // carries the sign of num
    const qint64 magnitude = rest < 0 ? -rest : rest;
    if (magnitude >= den - magnitude)
        return quotient + (num < 0 ? -1 : 1);
    return quotient;
}

QString formatNoZeroDigits(qint64 value) {
    return value == 0 ? QString() : QString::number(value);
}

QString formatArrivalTime(qint64 milliseconds) {
    const qint64 seconds = std::max<qint64>(milliseconds, 0) / 1000;
    const QChar zero('0');
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, zero)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero);
}

std::optional<qint64> parseFtpAnnouncedSize(const QString& reply) {
    const qint64 size = ftp::announcedSize(reply);
    return size >= 0 ? std::optional<qint64>(size) : std::nullopt;
}

TransferStats::TransferStats(qint64 connectionSpeed) {
    setConnectionSpeed(connectionSpeed);
}

void TransferStats::setConnectionSpeed(qint64 bitsPerSecond) {
    view_.dialMax = std::max<qint64>(bitsPerSecond, 0);
    view_.dialSecondPoint = roundHalfEven(static_cast<double>(view_.dialMax) * 0.66);
    view_.dialFirstPoint = roundHalfEven(static_cast<double>(view_.dialMax) * 0.33);
    view_.dialProgress = 0;
    view_.progressValue = 0;
}

void TransferStats::start(qint64 nowTick) {
    lastSample_ = 0;
    startTick_ = nowTick;
    view_.progressValue = 0;
    view_.bytesSoFar = QStringLiteral("0");
    view_.progressMax = 0;
    view_.sizeKnown = false;
}

void TransferStats::setTotal(std::optional<qint64> total) {
    if (total && *total >= 0) {
        view_.sizeKnown = true;
        view_.progressMax = *total;
        view_.fileSize = bytes(*total);
    } else {
        // Nothing to measure a share or an arrival time against.
        view_.sizeKnown = false;
        view_.progressMax = 0;
        view_.fileSize = kUnknown;
        view_.eta = kUnknown;
    }
}

bool TransferStats::setCount(qint64 count) {
    const qint64 before = view_.progressValue;
    view_.progressValue = count;
    view_.bytesSoFar = QString::number(count);
    return view_.sizeKnown && before < view_.progressMax && count >= view_.progressMax;
}

void TransferStats::documentBegin(std::optional<qint64> expectedSize, qint64 resumeOffset) {
    resumeOffset = std::max<qint64>(resumeOffset, 0);
    if (expectedSize && *expectedSize >= 0)
        setTotal(*expectedSize + resumeOffset);
    else
        setTotal(std::nullopt);
    view_.progressValue = resumeOffset;
    view_.bytesSoFar = QString::number(resumeOffset);
}

bool TransferStats::addChunk(qint64 length) {
    view_.packetSize = QString::number(length);
    return setCount(view_.progressValue + std::max<qint64>(length, 0));
}

void TransferStats::ftpLine(const QString& line) {
    if (line.contains(QLatin1String("< 150")))
        setTotal(parseFtpAnnouncedSize(line));
}

bool TransferStats::ftpProgress(qint64 count) {
    return setCount(std::max<qint64>(count, 0));
}

void TransferStats::tick(qint64 nowTick) {
    const qint64 value = view_.progressValue;
    const qint64 delta = std::max<qint64>(value - lastSample_, 0);

    // Bytes per second over the 5-second tick, shown as bits (10 per byte on the wire).
    const qint64 bytesPerSecond = roundHalfEven(static_cast<double>(delta) * 0.2);
    const qint64 speed = bytesPerSecond * 10;
    view_.speed = bitsPerSecond(speed);
    view_.dialProgress = speed;

    // bytes/s ÷ bits/s × 1000 is the share in percent (10 bits per byte).
    QString share;
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max() / 1000;
    if (view_.dialMax > 0)
        share = formatNoZeroDigits(
            roundHalfAwayFromZero(std::min(bytesPerSecond, kLargest) * 1000, view_.dialMax));
    view_.percent = share + kPotentialSpeed;

    lastSample_ = value;
    if (value == 0)
        return;

    // Below 1000 bytes per second, or without time passed, the texts stay as they are.
    const qint64 elapsed = nowTick - startTick_;
    if (elapsed <= 0)
        return;
    const qint64 rate = value / elapsed; // bytes per millisecond
    if (rate == 0)
        return;
    if (view_.sizeKnown)
        view_.eta = formatArrivalTime((view_.progressMax - value) / rate);
    // Whole bytes per millisecond: the average moves in steps of 10000 bps.
    view_.average = bitsPerSecond(
        roundHalfEven(static_cast<double>(value) / static_cast<double>(elapsed)) * 10000);
}

void TransferStats::complete() {
    view_.percent = kPotentialSpeed;
    view_.dialProgress = 0;
}

bool TransferStats::end() {
    const bool adopted = !view_.sizeKnown;
    if (adopted)
        setTotal(view_.progressValue);
    if (view_.progressValue >= view_.progressMax)
        view_.eta = QStringLiteral("Complete");
    return adopted;
}

} // namespace download
