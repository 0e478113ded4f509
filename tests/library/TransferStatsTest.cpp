#include <gtest/gtest.h>

#include "library/TransferStats.h"

#include <limits>

using download::TransferStats;

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// One HTTP transfer of `total` bytes started at tick 0.
TransferStats httpTransfer(qint64 total, qint64 resumeOffset = 0, qint64 speed = 28800) {
    TransferStats stats(speed);
    stats.start(0);
    stats.documentBegin(total, resumeOffset);
    return stats;
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbourAndExtremesStayInRange) {
    struct Case {
        double x;
        qint64 rounded;
    };
    for (const Case& c : {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{3.5, 4}, Case{-0.5, 0},
                          Case{-1.5, -2}, Case{-2.5, -2}, Case{2.4999, 2}, Case{2.5001, 3},
                          Case{1e15 + 0.5, 1000000000000000}, Case{7.0, 7}, Case{-7.2, -7}})
        EXPECT_EQ(download::roundHalfEven(c.x), c.rounded) << c.x;
    // Non-finite and huge values stay in range.
    EXPECT_EQ(download::roundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(download::roundHalfEven(1e300), std::numeric_limits<qint64>::max());
    EXPECT_EQ(download::roundHalfEven(-1e300), std::numeric_limits<qint64>::min());
}

TEST(NumberPattern, RoundsHalvesAwayFromZeroAndPrintsNothingForZero) {
    EXPECT_EQ(download::roundHalfAwayFromZero(5, 2), 3);
    EXPECT_EQ(download::roundHalfAwayFromZero(-5, 2), -3);
    EXPECT_EQ(download::roundHalfAwayFromZero(4, 3), 1);
    EXPECT_EQ(download::formatNoZeroDigits(0), "");
    EXPECT_EQ(download::formatNoZeroDigits(347), "347");
}

TEST(ArrivalTime, ShowsTrueHoursAndDropsMilliseconds) {
    struct Case {
        qint64 ms;
        const char* text;
    };
    for (const Case& c : {Case{0, "00:00:00"}, Case{999, "00:00:00"}, Case{9925, "00:00:09"},
                          Case{3723000, "01:02:03"}, Case{25LL * 3600000, "25:00:00"},
                          Case{100LL * 3600000 + 59999, "100:00:59"}, Case{-5000, "00:00:00"}})
        EXPECT_EQ(download::formatArrivalTime(c.ms), QString(c.text)) << c.ms;
}

TEST(DialSetup, ScalesToTheConnectionSpeedWithZonesAtAThirdAndTwoThirds) {
    TransferStats stats(28800);
    EXPECT_EQ(stats.view().dialMax, 28800);
    EXPECT_EQ(stats.view().dialFirstPoint, 9504);
    EXPECT_EQ(stats.view().dialSecondPoint, 19008);

    stats.setConnectionSpeed(-1);
    EXPECT_EQ(stats.view().dialMax, 0);
    EXPECT_EQ(stats.view().dialFirstPoint, 0);
}

// One 5-second tick after `bytes` more arrived, at the connection speed given.
TEST(Tick, ShowsSpeedAndShareOfThePotentialSpeed) {
    struct Case {
        qint64 bytes;
        qint64 speedSetting;
        const char* speed;
        const char* percent;
    } cases[] = {
        {50000, 28800, "100000 bps", "347% of Potential Speed"},
        {0, 28800, "0 bps", "% of Potential Speed"},
        // 1 byte/s of 28800 bps is 0.03 %: rounds to nothing.
        {5, 28800, "10 bps", "% of Potential Speed"},
        // 72 bytes/s is exactly 2.5 %: the pattern rounds it up.
        {360, 28800, "720 bps", "3% of Potential Speed"},
        {7, 28800, "10 bps", "% of Potential Speed"},
        {8, 28800, "20 bps", "% of Potential Speed"},
        // No connection speed configured: no share, and no division.
        {50000, 0, "100000 bps", "% of Potential Speed"},
        {50000, -300, "100000 bps", "% of Potential Speed"},
        {5 * kGiB, 1000000000, "10737418240 bps", "1074% of Potential Speed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes at " << c.speedSetting << " bps");
        TransferStats stats = httpTransfer(10 * kGiB, 0, c.speedSetting);
        stats.addChunk(c.bytes);
        stats.tick(5000);
        EXPECT_EQ(stats.view().speed, QString(c.speed));
        EXPECT_EQ(stats.view().percent, QString(c.percent));
        EXPECT_EQ(stats.view().dialProgress, QString(c.speed).section(' ', 0, 0).toLongLong());
        EXPECT_EQ(stats.lastSample(), c.bytes);
    }
}

TEST(Tick, FiftyThousandBytesPutTheDialPastItsStop) {
    TransferStats stats = httpTransfer(100000);
    EXPECT_FALSE(stats.addChunk(50000));
    stats.tick(5000);
    EXPECT_GE(stats.view().dialProgress, stats.view().dialMax);
    EXPECT_EQ(stats.view().average, "100000 bps");
    // 50000 bytes left at 10 bytes per millisecond.
    EXPECT_EQ(stats.view().eta, "00:00:05");
}

TEST(Tick, UnderAThousandBytesPerSecondKeepsTheLastArrivalAndAverage) {
    TransferStats stats = httpTransfer(1000000);
    stats.addChunk(4000);
    stats.tick(5000);
    EXPECT_EQ(stats.view().speed, "8000 bps");
    EXPECT_EQ(stats.view().eta, "?");
    EXPECT_EQ(stats.view().average, "?");

    stats.addChunk(46000); // 50000 after 10 s: 5 bytes per millisecond
    stats.tick(10000);
    EXPECT_EQ(stats.view().eta, "00:03:10");
    EXPECT_EQ(stats.view().average, "50000 bps");

    stats.tick(100000); // nothing more for 90 s: rate drops below 1 byte/ms
    EXPECT_EQ(stats.view().speed, "0 bps");
    EXPECT_EQ(stats.view().eta, "00:03:10");
    EXPECT_EQ(stats.view().average, "50000 bps");
}

TEST(Tick, NoTimePassedOrNothingReceivedKeepsTheTexts) {
    TransferStats stats(28800);
    stats.start(7000);
    stats.documentBegin(1000, 0);
    stats.addChunk(500);
    stats.tick(7000);
    EXPECT_EQ(stats.view().eta, "?");
    EXPECT_EQ(stats.view().average, "?");

    TransferStats idle = httpTransfer(1000);
    idle.tick(5000);
    EXPECT_EQ(idle.view().eta, "?");
    EXPECT_EQ(idle.view().average, "?");
}

TEST(Tick, AverageRoundsHalvesToEven) {
    struct Case {
        qint64 bytes;
        qint64 elapsed;
        const char* average;
    };
    // 2.5 and 3.5 bytes per millisecond go to 2 and 4; 2.6 goes to 3.
    for (const Case& c : {Case{12500, 5000, "20000 bps"}, Case{17500, 5000, "40000 bps"},
                          Case{13000, 5000, "30000 bps"}}) {
        TransferStats stats = httpTransfer(1000000);
        stats.addChunk(c.bytes);
        stats.tick(c.elapsed);
        EXPECT_EQ(stats.view().average, QString(c.average)) << c.bytes;
    }
}

TEST(Sizes, AreSixtyFourBitThroughout) {
    TransferStats stats = httpTransfer(5 * kGiB, 3 * kGiB);
    EXPECT_EQ(stats.view().fileSize, "8589934592 bytes");
    EXPECT_EQ(stats.value(), 3 * kGiB);
    EXPECT_FALSE(stats.addChunk(4 * kGiB));
    EXPECT_TRUE(stats.addChunk(kGiB));
    EXPECT_EQ(stats.view().bytesSoFar, "8589934592");
    EXPECT_EQ(stats.view().packetSize, "1073741824");
}

TEST(Completion, RunsOnceWhenTheCountReachesTheTotal) {
    TransferStats stats = httpTransfer(1000);
    EXPECT_FALSE(stats.addChunk(400));
    EXPECT_TRUE(stats.addChunk(600));
    EXPECT_FALSE(stats.addChunk(0));
    stats.tick(5000);
    stats.complete();
    EXPECT_EQ(stats.view().percent, "% of Potential Speed");
    EXPECT_EQ(stats.view().dialProgress, 0);
    EXPECT_FALSE(stats.end());
    EXPECT_EQ(stats.view().eta, "Complete");
}

TEST(Completion, MoreBytesThanAnnouncedKeepCounting) {
    TransferStats stats = httpTransfer(1000);
    EXPECT_FALSE(stats.addChunk(600));
    // Passing the total without landing on it still completes, once.
    EXPECT_TRUE(stats.addChunk(600));
    EXPECT_FALSE(stats.addChunk(300));
    EXPECT_EQ(stats.value(), 1500);
    EXPECT_EQ(stats.view().bytesSoFar, "1500");
    EXPECT_EQ(stats.maximum(), 1000);
    stats.tick(1000);
    EXPECT_EQ(stats.view().eta, "00:00:00");
    stats.end();
    EXPECT_EQ(stats.view().eta, "Complete");
}

TEST(Completion, ATransferEndingShortIsNotComplete) {
    TransferStats stats = httpTransfer(1000);
    stats.addChunk(999);
    stats.tick(5000);
    EXPECT_FALSE(stats.end());
    EXPECT_NE(stats.view().eta, "Complete");
}

TEST(UnknownSize, ShowsActivityAndCompletesAtTheEnd) {
    TransferStats stats(28800);
    stats.start(0);
    stats.documentBegin(std::nullopt, 0);
    EXPECT_FALSE(stats.sizeKnown());
    EXPECT_EQ(stats.view().fileSize, "Unknown");
    EXPECT_FALSE(stats.addChunk(20000));
    EXPECT_FALSE(stats.addChunk(30000));
    stats.tick(5000);
    EXPECT_EQ(stats.view().average, "100000 bps");
    EXPECT_EQ(stats.view().eta, "Unknown");
    EXPECT_EQ(stats.view().bytesSoFar, "50000");

    EXPECT_TRUE(stats.end());
    EXPECT_TRUE(stats.sizeKnown());
    EXPECT_EQ(stats.maximum(), 50000);
    EXPECT_EQ(stats.view().fileSize, "50000 bytes");
    EXPECT_EQ(stats.view().eta, "Complete");

    // A resumed transfer without a length stays unknown.
    TransferStats resumed = httpTransfer(-1, 1000);
    EXPECT_FALSE(resumed.sizeKnown());
    EXPECT_EQ(resumed.value(), 1000);
}

TEST(NewTransfer, ResetsTheCounterButKeepsTheLastTexts) {
    TransferStats stats = httpTransfer(1000);
    stats.addChunk(1000);
    stats.tick(500);
    stats.end();
    stats.start(20000);
    EXPECT_EQ(stats.value(), 0);
    EXPECT_EQ(stats.lastSample(), 0);
    EXPECT_EQ(stats.view().bytesSoFar, "0");
    EXPECT_FALSE(stats.sizeKnown());
    EXPECT_EQ(stats.view().eta, "Complete");
    EXPECT_EQ(stats.view().fileSize, "1000 bytes");
}

// Only this transfer's bytes make a speed, a share, an average and an arrival time; the
// part on disk still counts in the bytes shown and the progress column.
TEST(Tick, ResumedBytesAreShownButNotTakenForSpeed) {
    struct Case {
        qint64 offset;
        qint64 total;
        qint64 bytesIn5s;
        const char* speed;
        const char* percent;
        const char* average;
        const char* eta;
    };
    const Case cases[] = {
        // 2 MB on disk, 5000 bytes per second: 50000 bps, never two million.
        {2000000, 3000000, 25000, "50000 bps", "174% of Potential Speed", "50000 bps", "00:03:15"},
        {0, 3000000, 25000, "50000 bps", "174% of Potential Speed", "50000 bps", "00:09:55"},
        // Nothing new yet: no rate from the resumed part alone.
        {1000000, 2000000, 0, "0 bps", "% of Potential Speed", "?", "?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        TransferStats stats(28800);
        stats.start(0);
        stats.begin(c.offset, c.total);
        stats.addChunk(c.bytesIn5s);
        stats.tick(5000);
        EXPECT_EQ(stats.view().speed, QString(c.speed));
        EXPECT_EQ(stats.view().percent, QString(c.percent));
        EXPECT_EQ(stats.view().average, QString(c.average));
        EXPECT_EQ(stats.view().eta, QString(c.eta));
        EXPECT_EQ(stats.view().bytesSoFar, QString::number(c.offset + c.bytesIn5s));
        EXPECT_EQ(stats.value(), c.offset + c.bytesIn5s);
        EXPECT_EQ(stats.maximum(), c.total);
    }
}

} // namespace
