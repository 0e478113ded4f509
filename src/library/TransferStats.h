#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The numbers of the download dialog's instrument panel: sampling state, byte counter
// and the text of every statistics label. Widget-free so that the arithmetic is tested
// without a display; the dialog calls these steps and writes view() into its controls.
namespace download {

// Delphi's Round: nearest whole number, halves to the even neighbour.
qint64 roundHalfEven(double x);

// num / den rounded to a whole number with halves away from zero, as the "###"
// number pattern does; den must be positive.
qint64 roundHalfAwayFromZero(qint64 num, qint64 den);

// The "###" pattern: the rounded value without leading zeros, so 0 prints nothing.
QString formatNoZeroDigits(qint64 value);

// A remaining time as "hh:nn:ss" with the true number of hours (25 hours show
// "25:00:00", not "01:00:00"). Milliseconds are dropped, negative times show zero.
QString formatArrivalTime(qint64 milliseconds);

// Connection speed assumed when none is configured, in bits per second.
constexpr qint64 kDefaultConnectionSpeed = 28800;

// What the dialog shows: one text per label and the values of its three gauges.
struct TransferView {
    QString fileSize = "?";     // lblFileSize
    QString bytesSoFar = "0";   // lbldlbytes
    QString packetSize = "N/A"; // lblPacketSize
    QString speed = "?";        // lblSpeed
    QString percent = "?";      // lblPercent
    QString average = "?";      // lblAverage
    QString eta = "?";          // lblETA

    // Progress column dg: bytes so far of the expected total. Without a known total
    // the column shows activity instead of a share.
    qint64 progressValue = 0;
    qint64 progressMax = 0;
    bool sizeKnown = false;

    // Speed dial gSpeed, in bits per second; its zones change at the two points.
    qint64 dialMax = kDefaultConnectionSpeed;
    qint64 dialProgress = 0;
    qint64 dialFirstPoint = 0;
    qint64 dialSecondPoint = 0;
};

class TransferStats {
public:
    explicit TransferStats(qint64 connectionSpeed = kDefaultConnectionSpeed);

    // Dial set-up when the dialog is shown: scale to the user's connection speed (bits
    // per second; 0 or less means none), zone points at 33 % and 66 %, column empty.
    void setConnectionSpeed(qint64 bitsPerSecond);

    // A transfer starts: byte counter and sample at 0, size unknown until announced.
    void start(qint64 nowTick);

    // HTTP body begins: the total is the announced size plus the part already on disk;
    // without an announced size the total stays unknown.
    void documentBegin(std::optional<qint64> expectedSize, qint64 resumeOffset);

    // A body begins at `offset` bytes of a file of `total` bytes (-1: unknown). Speed,
    // average and arrival time count only what arrives from here on.
    void begin(qint64 offset, qint64 total);
    // The whole file's size once it is known (-1: unknown).
    void setTotal(qint64 total);
    // Bytes of the file so far, resumed part included. True when the count first
    // reaches the total.
    bool setCount(qint64 count);

    // An HTTP body chunk. True once, for the chunk that brings the count to the total
    // (also when it passes it): the caller runs the completion then.
    bool addChunk(qint64 length);

    // The 5-second sampling tick.
    void tick(qint64 nowTick);

    // The file is complete: the share of the potential speed and the dial drop to zero.
    void complete();

    // The transfer ended normally. An unknown total becomes the bytes received, and the
    // return value is true then, so that the caller runs the completion it could not
    // run earlier. A count at or past the total shows "Complete".
    bool end();

    // The texts are made here, not per chunk: a display reads them a few times a second.
    const TransferView& view() const;
    qint64 value() const { return view_.progressValue; }
    qint64 maximum() const { return view_.progressMax; }
    bool sizeKnown() const { return view_.sizeKnown; }
    qint64 lastSample() const { return lastSample_; }
    qint64 startTick() const { return startTick_; }

private:
    void setKnownTotal(std::optional<qint64> total);

    mutable TransferView view_;
    qint64 packet_ = -1;
    // The file's bytes when this transfer began: the rates count from here.
    qint64 base_ = 0;
    qint64 lastSample_ = 0;
    qint64 startTick_ = 0;
};

} // namespace download
