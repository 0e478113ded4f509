#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <csignal>

#include "DialogAnswerer.h"
#include "HelperLibrary.h"
#include "TestEnvironment.h"
#include "ToolRun.h"
#include "app/AppWindows.h"
#include "app/TfrmTray.h"
#include "app/WindowPlacement.h"
#include "library/Categories.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/SessionEnd.h"
#include "setup/ui/TfrmConfig.h"
#include "setup/ui/TfrmPreferences.h"

namespace {

QString trayTitle(bool on) {
    return on ? "QBY" : "QBY - Download Detect Disabled";
}

// A later start with a stored speed: no wizard and no speed question.
void storeLaterStart() {
    Settings().writeBool("Main", "FirstRun", false);
    Settings().writeInteger("Download", "Speed", 28800);
}

TEST(TfrmTray, FirstRunLaysOutTheLibraryAndNeverEchoesArguments) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    qbtest::DialogAnswerer boxes;
    TfrmTray tray({"one", "two"});

    EXPECT_TRUE(tray.isFirstRun());
    EXPECT_TRUE(boxes.boxes().isEmpty());
    EXPECT_TRUE(home.shellLog().isEmpty());
    EXPECT_FALSE(Settings().readBool("Main", "FirstRun"));
    EXPECT_EQ(library::sectionNames(), QStringList({"Programs", "Research", "Internet"}));
    EXPECT_EQ(library::categoryNames("Internet"),
              QStringList({"FTP Files", "E-Mail Files", "Web Files"}));
    EXPECT_EQ(tray.windowTitle(), "QBY");
    EXPECT_TRUE(tray.mnuIntercept->isChecked());
    // The wizard is up; the tray menu waits for it to close.
    ASSERT_TRUE(frmConfig);
    EXPECT_TRUE(frmConfig->isVisible());
    EXPECT_EQ(frmConfig->windowModality(), Qt::ApplicationModal);
    EXPECT_FALSE(tray.Open1->isEnabled());
    EXPECT_EQ(tray.mdTray1->contextMenu(), nullptr);
    boxes.answer(platform::IDNO).answer(platform::IDYES);
    frmConfig->reject();
    EXPECT_EQ(tray.mdTray1->contextMenu(), nullptr);
    frmConfig->reject();
    EXPECT_FALSE(frmConfig->isVisible());
    EXPECT_TRUE(tray.Open1->isEnabled());
    EXPECT_EQ(tray.mdTray1->contextMenu(), tray.PopupMenu1);
    EXPECT_EQ(tray.mdTray1->toolTip(), "Verrin Quillbay - Right Click for Options");
    EXPECT_FALSE(tray.isVisible());
    EXPECT_EQ(frmTray, &tray);
}

TEST(TfrmTray, LaterStartEchoesTheFirstTwoArguments) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    storeLaterStart();
    {
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK).answer(platform::IDOK);
        TfrmTray tray({"only"});
        ASSERT_EQ(boxes.texts(), QStringList({"only", ""}));
        EXPECT_EQ(boxes.boxes()[0].caption, "Quillbay");
        EXPECT_FALSE(tray.isFirstRun());
        // A later start does not lay out the library again.
        EXPECT_EQ(library::sectionCount(), 0);
    }
    qbtest::DialogAnswerer none;
    TfrmTray quiet({});
    EXPECT_TRUE(none.boxes().isEmpty());
}

// A later start without a connection speed asks for it and opens the options dialog on its
// download page; start-up goes on once the dialog has closed.
TEST(TfrmTray, AMissingSpeedOpensTheOptionsDialogOnItsDownloadPage) {
    qbtest::TempHome home;
    Settings().writeBool("Main", "FirstRun", false);
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    qbtest::DialogAnswerer boxes;
    boxes.answer(platform::IDOK);
    int shownPage = -1;
    // Start-up may take a while on a loaded machine: the dialog is looked for until it shows.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (frmPreferences && frmPreferences->isVisible()) {
            shownPage = frmPreferences->tabctrlOptions->currentIndex();
            frmPreferences->reject();
        }
    });
    look.start(20);
    TfrmTray tray({});
    look.stop();
    EXPECT_EQ(shownPage, int(TfrmPreferences::Download));
    ASSERT_EQ(boxes.texts().size(), 1) << qPrintable(boxes.texts().join('|'));
    EXPECT_TRUE(boxes.texts()[0].contains("download connection speed"));
    EXPECT_TRUE(tray.Open1->isEnabled());
}

TEST(TfrmTray, SetupOptionsOpensTheOptionsDialogOnceAndItsSwitchReachesTheTitle) {
    qbtest::TempHome home;
    storeLaterStart();
    TfrmTray tray({});
    ASSERT_TRUE(frmPreferences);
    bool modal = false, secondReturnedWhileOpen = false;
    // Later than the pending messages the dialog lets run while it loads its controls.
    QTimer::singleShot(100, [&] {
        modal = frmPreferences->isVisible() && frmPreferences->isModal();
        // A second "Setup Options" only raises the open dialog.
        tray.O1->trigger();
        secondReturnedWhileOpen = frmPreferences->isVisible();
        frmPreferences->cbDLDetect->setChecked(false);
        frmPreferences->cmdOK->click();
    });
    // A dialog that never closes fails the test instead of hanging it.
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (frmPreferences)
            frmPreferences->reject();
    });
    watchdog.start(10000);
    tray.O1->trigger();
    EXPECT_TRUE(modal);
    EXPECT_TRUE(secondReturnedWhileOpen);
    EXPECT_EQ(tray.windowTitle(), trayTitle(false));
    EXPECT_FALSE(tray.mnuIntercept->isChecked());
    EXPECT_FALSE(Settings().readBool("Download", "DownloadDetect"));
}

// The stored switch is read at start; each toggle shows in the title and the check mark,
// and is stored.
TEST(TfrmTray, TheInterceptionSwitchStartsAsStoredAndToggles) {
    qbtest::TempHome home;
    Settings().writeBool("Download", "DownloadDetect", false);
    TfrmTray tray({});
    QStringList titles;
    QObject::connect(&tray, &TfrmTray::interceptionTitleChanged,
                     [&](const QString& t) { titles << t; });
    for (const bool on : {false, true, false}) {
        SCOPED_TRACE(on);
        EXPECT_EQ(tray.windowTitle(), trayTitle(on));
        EXPECT_EQ(tray.mnuIntercept->isChecked(), on);
        EXPECT_EQ(Settings().readBool("Download", "DownloadDetect", true), on);
        tray.mnuIntercept->trigger();
    }
    EXPECT_EQ(titles, QStringList({trayTitle(true), trayTitle(false), trayTitle(true)}));
}

TEST(WindowPlacement, HiddenWindowStoresNothingAndNoPlacementCentres) {
    qbtest::TempHome home;
    QWidget window;
    window.resize(300, 200);
    storePlacement(&window);
    EXPECT_FALSE(QFile::exists(home.file("dlmain.ini")));

    restorePlacement(&window);
    EXPECT_EQ(window.size(), QSize(300, 200));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(qAbs(window.frameGeometry().center().x() - screen.center().x()), 1);
}

TEST(WindowPlacement, StoredPlacementComesBackAndStaysOnScreen) {
    qbtest::TempHome home;
    Settings settings;
    settings.writeInteger("Position", "Width", 500);
    settings.writeInteger("Position", "Height", 343);
    settings.writeInteger("Position", "Top", 40);
    settings.writeInteger("Position", "Left", 60);
    QWidget window;
    restorePlacement(&window);
    EXPECT_EQ(window.size(), QSize(500, 343));
    EXPECT_EQ(window.pos(), QPoint(60, 40));

    // A placement stored on a larger screen is pulled back onto this one.
    settings.writeInteger("Position", "Left", 100000);
    settings.writeInteger("Position", "Top", -5000);
    restorePlacement(&window);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window.pos())) << window.pos().x() << "," << window.pos().y();
}

// The session end runs in a real program: it must agree and end at once, writing nothing.
TEST(TfrmTray, SessionEndEndsAtOnceWritingNothing) {
    qbtest::TempHome home;
    storeLaterStart();
    Settings().writeBool("Download", "DownloadDetect", false);
    const QByteArray before = qbtest::readFile(home.file("dlmain.ini"));
    ASSERT_TRUE(qbtest::installHelperLibrary(home));

    QProcess program;
    ASSERT_TRUE(qbtest::startProgram(program));
    // Give it time to finish start-up and sit in its loop.
    QThread::msleep(1500);
    ::kill(program.processId(), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(qbtest::readFile(home.file("dlmain.ini")), before);
}

} // namespace
