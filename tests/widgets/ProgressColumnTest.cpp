#include <gtest/gtest.h>

#include "Pixels.h"
#include "widgets/TProgressColumn.h"

namespace {

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

bool isFill(const QColor& c) {
    return c.green() > 100 && c.green() - c.red() > 40;
}

// Lit pixels counted from the bottom up along the middle of the column, and in all.
struct Level {
    int fromBottom = 0;
    int total = 0;
};

Level measure(TProgressColumn& column) {
    const QImage image = qbtest::render(column);
    const QRect bar = column.barRect();
    const int x = bar.center().x();
    Level level;
    bool contiguous = true;
    for (int y = bar.bottom(); y >= bar.top(); --y) {
        const bool lit = isFill(image.pixelColor(x, y));
        level.total += lit;
        contiguous = contiguous && lit;
        level.fromBottom += contiguous;
    }
    return level;
}

TEST(ProgressColumn, FillsInProportionFromTheBottom) {
    struct Case {
        qint64 maximum;
        qint64 value;
        double fraction;
    } cases[] = {{100, 0, 0.0},
                 {100, 50, 0.5},
                 {100, 100, 1.0},
                 {100, 250, 1.0},
                 {100, -5, 0.0},
                 {0, 10, 0.0},
                 {6 * kGiB, 3 * kGiB, 0.5},
                 {8 * kGiB, 2 * kGiB, 0.25},
                 {3 * kGiB, 5 * kGiB, 1.0},
                 {5 * kGiB, 5 * kGiB - 1, double(5 * kGiB - 1) / double(5 * kGiB)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " of " << c.maximum);
        TProgressColumn column;
        column.resize(24, 204);
        column.setMaximum(c.maximum);
        column.setValue(c.value);
        EXPECT_DOUBLE_EQ(column.fraction(), c.fraction);
        EXPECT_EQ(column.value(), std::clamp<qint64>(c.value, 0, c.maximum));
        const Level level = measure(column);
        EXPECT_NEAR(level.fromBottom, c.fraction * column.barRect().height(), 1.0);
        EXPECT_EQ(level.total, level.fromBottom);
    }
}

TEST(ProgressColumn, ATotalAnnouncedLaterMeasuresTheTrueCount) {
    TProgressColumn column;
    column.setMaximum(0);
    column.setValue(3 * kGiB);
    column.setMaximum(12 * kGiB);
    EXPECT_DOUBLE_EQ(column.fraction(), 0.25);
}

TEST(ProgressColumn, UnknownSizeShowsMovingStripesInsteadOfAShare) {
    TProgressColumn column;
    column.resize(24, 204);
    column.setMaximum(100);
    column.setValue(90);
    column.setIndeterminate(true);
    EXPECT_EQ(column.fraction(), 0.0);
    EXPECT_FALSE(column.isAnimating()); // not on screen yet

    const Level level = measure(column);
    const int height = column.barRect().height();
    EXPECT_GT(level.total, height / 4);
    EXPECT_LT(level.total, height * 3 / 4);

    column.show();
    EXPECT_TRUE(column.isAnimating());
    column.setIndeterminate(false);
    EXPECT_FALSE(column.isAnimating());
    EXPECT_NEAR(measure(column).fromBottom, 0.9 * height, 1.0);
}

} // namespace
