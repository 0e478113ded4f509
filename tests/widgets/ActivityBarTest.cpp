#include <gtest/gtest.h>

#include <QTest>
#include <QVBoxLayout>

#include "Pixels.h"
#include "widgets/TActivityBar.h"

namespace {

int litLamps(TActivityBar& bar) {
    const QImage image = qbtest::render(bar);
    int lit = 0;
    for (int i = 0; i < bar.lampCount(); ++i)
        lit += image.pixelColor(bar.lampRect(i).center()).green() > 200;
    return lit;
}

TEST(ActivityBar, AnimatesOnlyWhileRunningAndVisible) {
    TActivityBar bar;
    bar.resize(bar.sizeHint());
    bar.start();
    EXPECT_TRUE(bar.isActive());
    EXPECT_FALSE(bar.isAnimating()); // hidden: no timer

    bar.show();
    EXPECT_TRUE(bar.isAnimating());
    bar.hide();
    EXPECT_FALSE(bar.isAnimating());
    bar.show();
    EXPECT_TRUE(bar.isAnimating());

    bar.stop();
    EXPECT_FALSE(bar.isActive());
    EXPECT_FALSE(bar.isAnimating());
    bar.hide();
    bar.show();
    EXPECT_FALSE(bar.isAnimating());
}

TEST(ActivityBar, AMinimisedWindowStopsTheTimer) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* bar = new TActivityBar;
    layout->addWidget(bar);
    window.show();
    bar->start();
    ASSERT_TRUE(bar->isAnimating());
    window.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(bar->isAnimating());
    window.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(bar->isAnimating());
}

TEST(ActivityBar, TheLitBlockRunsWhileActiveAndAllLampsGoDarkWhenStopped) {
    TActivityBar bar;
    bar.resize(160, 14);
    ASSERT_GT(bar.lampCount(), 8);
    EXPECT_EQ(litLamps(bar), 0);

    bar.show();
    bar.start();
    const QImage first = qbtest::render(bar);
    EXPECT_GT(first.pixelColor(bar.lampRect(bar.headLamp()).center()).green(), 200);
    EXPECT_EQ(litLamps(bar), 1);

    const int head = bar.headLamp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.headLamp() != head; }, 10000));
    EXPECT_GT(qbtest::render(bar).pixelColor(bar.lampRect(bar.headLamp()).center()).green(), 200);

    bar.stop();
    EXPECT_EQ(litLamps(bar), 0);
    const int stoppedAt = bar.headLamp();
    QTest::qWait(200);
    EXPECT_EQ(bar.headLamp(), stoppedAt);
}

TEST(ActivityBar, NarrowBarsStillPaint) {
    TActivityBar bar;
    for (int width : {1, 10, 20}) {
        bar.resize(width, 14);
        bar.start();
        EXPECT_GE(bar.lampCount(), 1);
        EXPECT_FALSE(qbtest::render(bar).isNull());
        EXPECT_GE(bar.headLamp(), 0);
        EXPECT_LT(bar.headLamp(), bar.lampCount());
    }
}

} // namespace
