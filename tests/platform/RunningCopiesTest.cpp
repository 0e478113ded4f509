#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "TestEnvironment.h"
#include "platform/RunningCopies.h"

#include <atomic>
#include <thread>

// Each object opens the lock file anew, so two objects in one process stand for two copies.

TEST(RunningCopies, OnlyTheLastCopyTidiesUp) {
    qbtest::TempHome home;
    int tidied = 0;
    platform::RunningCopy first;
    {
        platform::RunningCopy second;
        EXPECT_FALSE(second.whenLast([&] { ++tidied; })) << "the first copy still runs";
        EXPECT_EQ(tidied, 0);
    }
    EXPECT_TRUE(first.whenLast([&] { ++tidied; }));
    EXPECT_EQ(tidied, 1);

    platform::RunningCopy alone;
    EXPECT_TRUE(alone.whenLast([&] { ++tidied; })) << "a copy that ended leaves no trace";
    EXPECT_EQ(tidied, 2);
}

TEST(RunningCopies, ACopyStartingDuringTheTidyUpWaitsForItsEnd) {
    qbtest::TempHome home;
    std::atomic<bool> started{false};
    std::thread starter;
    platform::RunningCopy last;
    EXPECT_TRUE(last.whenLast([&] {
        starter = std::thread([&] {
            platform::RunningCopy newcomer;
            started = true;
        });
        QThread::msleep(200);
        EXPECT_FALSE(started) << "the newcomer would set up what is being removed";
    }));
    starter.join();
    EXPECT_TRUE(started);
}

TEST(RunningCopies, WithoutAPrivateFolderEveryCopyIsTheLast) {
    qbtest::TempHome home;
    // A runtime folder open to others is refused, and with it the lock file.
    const QByteArray shared = QFile::encodeName(home.root() + "/shared");
    ASSERT_TRUE(QDir().mkpath(home.root() + "/shared/quillbay"));
    QFile::setPermissions(home.root() + "/shared/quillbay",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadOther | QFileDevice::ExeOther);
    qputenv("XDG_RUNTIME_DIR", shared);
    platform::RunningCopy first;
    platform::RunningCopy second;
    int tidied = 0;
    EXPECT_TRUE(second.whenLast([&] { ++tidied; }));
    EXPECT_TRUE(first.whenLast([&] { ++tidied; }));
    EXPECT_EQ(tidied, 2);
}
