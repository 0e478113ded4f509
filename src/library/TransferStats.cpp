#include "library/TransferStats.h"

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
    base_ = 0;
    startTick_ = nowTick;
    view_.progressValue = 0;
    view_.progressMax = 0;
    view_.sizeKnown = false;
}

const TransferView& TransferStats::view() const {
    view_.bytesSoFar = QString::number(view_.progressValue);
    view_.packetSize = packet_ < 0 ? QStringLiteral("N/A") : QString::number(packet_);
    return view_;
}

void TransferStats::setTotal(qint64 total) {
    setKnownTotal(total >= 0 ? std::optional<qint64>(total) : std::nullopt);
}

void TransferStats::begin(qint64 offset, qint64 total) {
    offset = std::max<qint64>(offset, 0);
    setTotal(total);
    view_.progressValue = offset;
    base_ = offset;
    lastSample_ = offset;
}

void TransferStats::setKnownTotal(std::optional<qint64> total) {
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
    return view_.sizeKnown && before < view_.progressMax && count >= view_.progressMax;
}

void TransferStats::documentBegin(std::optional<qint64> expectedSize, qint64 resumeOffset) {
    resumeOffset = std::max<qint64>(resumeOffset, 0);
    begin(resumeOffset, expectedSize && *expectedSize >= 0 ? *expectedSize + resumeOffset : -1);
}

bool TransferStats::addChunk(qint64 length) {
    packet_ = length;
    return setCount(view_.progressValue + std::max<qint64>(length, 0));
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
    // Only this transfer's bytes make a rate: a resumed part arrived some other time.
    const qint64 fresh = value - base_;
    if (fresh <= 0)
        return;

    // Below 1000 bytes per second, or without time passed, the texts stay as they are.
    const qint64 elapsed = nowTick - startTick_;
    if (elapsed <= 0)
        return;
    const qint64 rate = fresh / elapsed; // bytes per millisecond
    if (rate == 0)
        return;
    if (view_.sizeKnown)
        view_.eta = formatArrivalTime((view_.progressMax - value) / rate);
    // Whole bytes per millisecond: the average moves in steps of 10000 bps.
    view_.average = bitsPerSecond(
        roundHalfEven(static_cast<double>(fresh) / static_cast<double>(elapsed)) * 10000);
}

void TransferStats::complete() {
    view_.percent = kPotentialSpeed;
    view_.dialProgress = 0;
}

bool TransferStats::end() {
    const bool adopted = !view_.sizeKnown;
    if (adopted)
        setKnownTotal(view_.progressValue);
    if (view_.progressValue >= view_.progressMax)
        view_.eta = QStringLiteral("Complete");
    return adopted;
}

} // namespace download
