// No error ends the program: what a handler does not catch is shown in an error box, the
// operation stops, and the program goes on.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QProcess>
#include <QSystemTrayIcon>

#include <stdexcept>

#include "ToolRun.h"
#include "TrayFixture.h"
#include "app/AppWindows.h"
#include "app/TfrmTray.h"
#include "library/Sections.h"
#include "platform/MessageLoop.h"
#include "platform/PlatformFakes.h"
#include "setup/ui/TfrmConfig.h"

namespace {

// An object whose handler for one event fails; the event after it records that it ran.
class FailingHandler : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Unable to write to /nowhere/dlmain.ini");
        if (event->type() == QEvent::Type(QEvent::User + 1)) {
            nextRan = true;
            return true;
        }
        return QObject::event(event);
    }
    bool nextRan = false;
};

TEST(ProgramGuard, AnErrorEscapingAnEventIsShownAndTheNextEventRuns) {
    qbtest::DialogAnswerer boxes;
    boxes.answer(platform::IDOK);
    FailingHandler handler;
    QCoreApplication::postEvent(&handler, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&handler, new QEvent(QEvent::Type(QEvent::User + 1)));
    platform::processMessages();
    ASSERT_EQ(boxes.texts(), QStringList({"Unable to write to /nowhere/dlmain.ini"}));
    EXPECT_EQ(boxes.boxes()[0].flags & platform::MB_ICONMASK, unsigned(platform::MB_ICONERROR));
    EXPECT_TRUE(handler.nextRan);
}

// The kinds of refused write are the profile layer's; any one must leave the switch as stored.
TEST(ProgramGuard, ARefusedToggleSaysWhyAndKeepsTheSwitch) {
    qbtest::TempHome home;
    qbtest::storeLaterStart(home);
    TfrmTray tray({});
    const QString file = home.file("dlmain.ini");
    {
        const std::shared_ptr<void> refusal = qbtest::readOnlyFile(file);
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK);
        tray.mnuIntercept->trigger();
        EXPECT_EQ(boxes.texts(), QStringList({"Unable to write to " + file}));
        // The switch is as stored: still on, in the check mark and in the title.
        EXPECT_TRUE(tray.mnuIntercept->isChecked());
        EXPECT_EQ(tray.windowTitle(), TfrmTray::interceptionTitle(true));
    }
    EXPECT_TRUE(Settings().readBool("Download", "DownloadDetect"));
    // The program goes on: once the file takes writes again, the toggle works.
    tray.mnuIntercept->trigger();
    EXPECT_EQ(tray.windowTitle(), TfrmTray::interceptionTitle(false));
    EXPECT_FALSE(Settings().readBool("Download", "DownloadDetect"));
}

// FirstRun cannot be cleared, so every start is a first run; the real program once ended
// with an abort at every start.
TEST(ProgramGuard, WithAReadOnlySettingsFileEveryStartGoesOnAndSaysWhy) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    const QString file = home.file("dlmain.ini");
    ASSERT_TRUE(qbtest::writeFile(file, "[Download]\nDownloadDetect=1\n"));
    const std::shared_ptr<void> refusal = qbtest::readOnlyFile(file);
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK);
        TfrmTray tray({"argument"});
        EXPECT_EQ(boxes.texts(), QStringList({"Unable to write to " + file}));
        EXPECT_TRUE(tray.isFirstRun());
        // The wizard comes next; the user leaves it, and the tray menu follows.
        ASSERT_TRUE(frmConfig && frmConfig->isVisible());
        boxes.answer(platform::IDYES);
        frmConfig->reject();
        EXPECT_TRUE(tray.Open1->isEnabled());
        EXPECT_EQ(tray.mdTray1->contextMenu(), tray.PopupMenu1);
        // The library is laid out once, not once per start.
        EXPECT_EQ(library::sectionNames(), QStringList({"Programs", "Research", "Internet"}));
    }

    QProcess program;
    ASSERT_TRUE(qbtest::startProgram(program));
    // It shows the error and waits for the user to read it.
    EXPECT_FALSE(program.waitForFinished(2000));
    EXPECT_EQ(program.state(), QProcess::Running);
    ::kill(program.processId(), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(program.readAllStandardError().contains("Unable to write to " + file.toUtf8()));
}

} // namespace
