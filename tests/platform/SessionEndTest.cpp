#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#include <QGuiApplication>
#include <QSessionManager>
#include <QtTest/qtestspontaneevent.h>

#include "TestEnvironment.h"
#include "platform/MessageLoop.h"
#include "platform/SessionEnd.h"

#include <csignal>
#include <cstdlib>

namespace {

// Lets events run until `done` holds; the limit only keeps a broken test from hanging.
template <typename Condition> void runUntil(Condition done) {
    QDeadlineTimer limit(10000);
    while (!done() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}

} // namespace

TEST(SessionEnd, SigtermAndTheDieMessageReachTheOneHandlerOnTheUserInterfaceThread) {
    int calls = 0;
    bool onUiThread = false;
    platform::onSessionEnd([&] {
        ++calls;
        onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    platform::installSessionEndHandling();
    platform::installSessionEndHandling(); // a second call changes nothing

    std::raise(SIGTERM);
    EXPECT_EQ(calls, 0) << "the signal handler itself must not run the handler";
    runUntil([&] { return calls > 0; });
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onUiThread);

    // Two signals before the loop runs still make one orderly end each time it runs.
    std::raise(SIGTERM);
    runUntil([&] { return calls > 1; });
    EXPECT_EQ(calls, 2);

    QCoreApplication* app = QCoreApplication::instance();

    // The program's own quit is an ordinary Quit event, not a session end.
    QEvent ownQuit(QEvent::Quit);
    app->notify(app, &ownQuit);
    EXPECT_EQ(calls, 2);

    // A save-yourself request also comes for checkpoints: it must not end the program.
    // Qt makes the manager itself only for a real session; no receiver may touch it, so
    // zeroed storage of its size stands in for it.
    auto* gui = qobject_cast<QGuiApplication*>(app);
    ASSERT_NE(gui, nullptr);
    alignas(QSessionManager) unsigned char manager[sizeof(QSessionManager)] = {};
    emit gui->commitDataRequest(*reinterpret_cast<QSessionManager*>(manager));
    EXPECT_EQ(calls, 2);

    // The platform delivers the session manager's die message as a spontaneous Quit.
    QEvent die(QEvent::Quit);
    QSpontaneKeyEvent::setSpontaneous(&die);
    app->notify(app, &die);
    EXPECT_EQ(calls, 3);

    platform::uninstallSessionEndHandling();
    platform::onSessionEnd({});
}

namespace {
const char* g_marker = nullptr;
void writeMarker() {
    FILE* f = std::fopen(g_marker, "w");
    if (f)
        std::fclose(f);
}
} // namespace

TEST(SessionEndDeathTest, WithoutAHandlerSigtermEndsAtOnceWritingNothing) {
    // The child is forked, so it writes to this very home if it writes at all.
    qbtest::TempHome home;
    const QByteArray marker = (home.root() + "/written-at-exit").toUtf8();
    g_marker = marker.constData();
    EXPECT_EXIT(
        {
            // What an ordinary exit would run (destructors, atexit) must not run.
            std::atexit(writeMarker);
            platform::onSessionEnd({});
            platform::installSessionEndHandling();
            std::raise(SIGTERM);
            for (;;)
                platform::waitForMessages();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(QFileInfo::exists(QString::fromUtf8(marker)));
}
