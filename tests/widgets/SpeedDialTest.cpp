#include <gtest/gtest.h>

#include "Pixels.h"
#include "widgets/TSpeedDial.h"

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

// The ring is lit in its zone colours up to the reading and dim beyond it.
TEST(SpeedDial, LightsTheZonesUpToTheReading) {
    struct Case {
        qint64 maximum;
        qint64 progress;
        double fraction;
    } cases[] = {{28800, 0, 0.0},           {28800, 14400, 0.5}, {28800, 28800, 1.0},
                 {28800, 100000, 1.0},      {28800, -500, 0.0},  {6 * kGiB, 3 * kGiB, 0.5},
                 {3 * kGiB, 9 * kGiB, 1.0}, {0, 500, 0.0}};
    const QColor zones[] = {QColor(255, 0, 0), QColor(255, 255, 0), QColor(0, 255, 0)};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.progress << " of " << c.maximum);
        TSpeedDial dial;
        dial.resize(160, 160);
        dial.setMaximum(c.maximum);
        dial.setProgress(c.progress);
        EXPECT_DOUBLE_EQ(dial.fraction(), c.fraction);
        EXPECT_EQ(dial.progress(), std::clamp<qint64>(c.progress, 0, c.maximum));
        const QImage image = qbtest::render(dial);
        for (double at : {0.05, 0.2, 0.45, 0.55, 0.8, 0.95}) {
            if (std::abs(at - c.fraction) < 0.06)
                continue; // the needle stands there
            const QColor pixel = image.pixelColor(dial.pointOnRing(at).toPoint());
            const QColor& zone = zones[at < 0.33 ? 0 : at < 0.66 ? 1 : 2];
            if (at < c.fraction)
                EXPECT_TRUE(qbtest::near(pixel, zone)) << at << " " << pixel.name().toStdString();
            else
                EXPECT_TRUE(qbtest::dim(pixel)) << at << " " << pixel.name().toStdString();
        }
    }
}

TEST(SpeedDial, ANewMaximumPlacesTheIndicationPointsAtAThirdAndTwoThirds) {
    TSpeedDial dial;
    dial.setMaximum(28800);
    EXPECT_EQ(dial.firstIndication(), 9504);
    EXPECT_EQ(dial.secondIndication(), 19008);
}

TEST(SpeedDial, ZoneBordersAndColoursComeFromItsProperties) {
    TSpeedDial dial;
    dial.resize(160, 160);
    dial.setMaximum(1000);
    dial.setFirstIndication(100);
    dial.setSecondIndication(200);
    dial.setThirdZoneColor(QColor(0, 0, 255));
    dial.setProgress(1000);
    const QImage image = qbtest::render(dial);
    EXPECT_TRUE(qbtest::near(image.pixelColor(dial.pointOnRing(0.15).toPoint()), Qt::yellow));
    EXPECT_TRUE(qbtest::near(image.pixelColor(dial.pointOnRing(0.5).toPoint()), Qt::blue));
}

TEST(SpeedDial, SmallAndOddSizesPaint) {
    TSpeedDial dial;
    dial.setMaximum(28800);
    dial.setProgress(20000);
    for (QSize size : {QSize(1, 1), QSize(48, 48), QSize(300, 90)}) {
        dial.resize(size);
        EXPECT_FALSE(qbtest::render(dial).isNull());
    }
    EXPECT_EQ(dial.heightForWidth(100), 100);
}

} // namespace
