#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "platform/MessageLoop.h"

using platform::WaitResult;
using platform::waitUntil;

namespace {

struct ProgramEndReset {
    ~ProgramEndReset() { platform::requestProgramEnd(false); }
};

} // namespace

TEST(WaitUntil, EndsForEachOfItsFourReasons) {
    ProgramEndReset reset;
    QObject guard;
    bool flag = false;
    QTimer::singleShot(20, [&] { flag = true; });
    EXPECT_EQ(waitUntil(&guard, [&] { return flag; }), WaitResult::Done);

    auto* doomed = new QObject;
    int asked = 0;
    QTimer::singleShot(20, [doomed] { delete doomed; });
    // The condition reads the guard's state: it must never be asked once the guard is gone.
    EXPECT_EQ(waitUntil(doomed,
                        [&] {
                            ++asked;
                            return doomed->objectName() == QLatin1String("never");
                        }),
              WaitResult::Destroyed);
    EXPECT_GE(asked, 1);

    // With nothing else happening, only the deadline can wake the wait; repeated, so that a
    // timer firing a little early (which would leave the wait asleep) shows up.
    for (int round = 0; round < 20; ++round) {
        QElapsedTimer clock;
        clock.start();
        ASSERT_EQ(waitUntil(
                      &guard, [] { return false; }, 30),
                  WaitResult::TimedOut);
        EXPECT_GE(clock.elapsed(), 29);
        ASSERT_LT(clock.elapsed(), 2000) << "the deadline must wake the wait by itself";
    }

    QTimer::singleShot(20, [] { platform::requestProgramEnd(); });
    EXPECT_EQ(waitUntil(nullptr, [] { return false; }), WaitResult::Ending);
    // An ending program does not even start a new wait.
    EXPECT_EQ(waitUntil(
                  &guard, [] { return false; }, 5000),
              WaitResult::Ending);
}

TEST(WaitUntil, AConditionAlreadyMetReturnsWithoutRunningEvents) {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    EXPECT_EQ(waitUntil(nullptr, [] { return true; }), WaitResult::Done);
    EXPECT_FALSE(ran);
    waitUntil(
        nullptr, [&] { return ran; }, 1000);
}
