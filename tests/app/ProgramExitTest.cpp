// Exit from the tray ends the program at once: a running download is neither waited for
// nor asked about, and Exit chosen during start-up ends the program when start-up returns.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <memory>

#include "TrayFixture.h"
#include "app/AppWindows.h"
#include "app/Program.h"
#include "app/TfrmTray.h"
#include "download/AskerFixture.h"
#include "platform/MessageLoop.h"

namespace {

constexpr int kPromptlyMs = 1000;
constexpr int kWatchdogMs = 8000;
constexpr int kWatchdogCode = 99;

// Ends a loop that Exit failed to end, so that a fault fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] { QCoreApplication::exit(kWatchdogCode); });
        timer_.start(kWatchdogMs);
    }

private:
    QTimer timer_;
};

// Withdraws the end of the program after each test, so that the next test runs normally.
class ProgramExit : public ::testing::Test {
protected:
    void TearDown() override {
        platform::requestProgramEnd(false);
        // An exit asked for outside a running loop stays pending until a loop runs: let
        // one run and take it.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QApplication::exec();
    }
};

TEST_F(ProgramExit, ExitWhileADialogDownloadsEndsTheLoopAtOnceAndAsksNothing) {
    qbtest::AskerFixture f;
    qbtest::storeLaterStart(f.home);
    TfrmTray tray({});
    qbtest::FileServerOptions slow;
    slow.holdAfter = 4096;
    slow.release = std::make_shared<std::atomic<bool>>(false);
    TfrmAsker* dialog = f.openServed(QByteArray(1 << 20, 'x'), slow);

    // The download starts from the loop; its blocking call waits while the server holds.
    QTimer::singleShot(0, dialog, [&f] { f.press(); });
    QElapsedTimer sinceExit;
    qbtest::whenTrue(
        &tray, [dialog] { return dialog->stats().value() >= 4096; },
        [&] {
            ASSERT_TRUE(dialog->isDownloading());
            sinceExit.start();
            tray.mnuExit->trigger();
        });
    Watchdog watchdog;
    const int code = QApplication::exec();
    slow.release->store(true);

    EXPECT_EQ(code, 0);
    ASSERT_TRUE(sinceExit.isValid());
    EXPECT_LT(sinceExit.elapsed(), kPromptlyMs);
    // Nobody was asked, and the dialog's close handlers never ran: it was not closed.
    EXPECT_TRUE(f.boxes.boxes().isEmpty()) << f.boxes.texts().join(" | ").toStdString();
    ASSERT_TRUE(f.dialog);
    EXPECT_TRUE(f.dialog->isVisible());
}

TEST_F(ProgramExit, ExitDuringStartUpEndsTheProgramOnceStartUpReturns) {
    qbtest::TempHome home;
    qbtest::storeLaterStart(home);
    qbtest::DialogAnswerer boxes;
    boxes.answer(platform::IDOK);
    // The user chooses Exit in the tray menu while the first argument box is open.
    boxes.onBox([](const qbtest::DialogAnswerer::Box&) { frmTray->mnuExit->trigger(); });
    Watchdog watchdog;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(runProgram({"one", "two"}), 0);
    EXPECT_LT(clock.elapsed(), kPromptlyMs + 2000);
    // Start-up goes no further than the box it was in.
    EXPECT_EQ(boxes.texts(), QStringList({"one"}));
}

} // namespace
