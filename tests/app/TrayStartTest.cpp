#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

#include "TrayFixture.h"
#include "app/AppWindows.h"
#include "app/HandOffOpener.h"
#include "app/TfrmAbout.h"
#include "app/TfrmTray.h"
#include "app/WindowPlacement.h"
#include "download/TfrmAsker.h"
#include "library/Categories.h"
#include "library/Sections.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "manager/TfrmManager.h"
#include "setup/ui/TfrmConfig.h"
#include "setup/ui/TfrmPreferences.h"

namespace {

using qbtest::LaterStart;

QString trayTitle(bool on) {
    return on ? "QBY" : "QBY - Download Detect Disabled";
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
    EXPECT_FALSE(tray.isVisible());
    EXPECT_EQ(frmTray, &tray);
}

TEST_F(LaterStart, EchoesTheFirstTwoArgumentsAndKeepsItsDialogsAsLongAsTheTray) {
    {
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK).answer(platform::IDOK);
        TfrmTray tray({"only"});
        ASSERT_EQ(boxes.texts(), QStringList({"only", ""}));
        EXPECT_EQ(boxes.boxes()[0].caption, "Quillbay");
        EXPECT_FALSE(tray.isFirstRun());
        // A later start does not lay out the library again.
        EXPECT_EQ(library::sectionCount(), 0);
        ASSERT_TRUE(frmCategory && frmNewSection);
        EXPECT_FALSE(frmCategory->isVisible());
        EXPECT_FALSE(frmNewSection->isVisible());
    }
    EXPECT_EQ(frmCategory, nullptr);
    EXPECT_EQ(frmNewSection, nullptr);
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

TEST_F(LaterStart, TheOptionsDialogOpensOnceOnItsEntrysPageAndItsSwitchReachesTheTitle) {
    TfrmTray tray({});
    ASSERT_TRUE(frmPreferences && frmManager);
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

    // The manager's "Buttons..." (or a double click on the bar) opens it on the tool-bar page.
    int page = -1;
    QTimer::singleShot(100, &tray, [&] {
        page = frmPreferences->isVisible() ? frmPreferences->tabctrlOptions->currentIndex() : -1;
        frmPreferences->reject();
    });
    frmManager->mnuButtons->trigger();
    EXPECT_EQ(page, int(TfrmPreferences::Toolbar));
}

// The stored switch is read at start; each toggle, from the menu or from a download dialog,
// shows in the title and the check mark, and is stored.
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

    auto* dialog = new TfrmAsker();
    connectDownloadDialog(dialog);
    emit dialog->interceptionSwitched(false);
    EXPECT_FALSE(tray.mnuIntercept->isChecked());
    EXPECT_EQ(tray.windowTitle(), trayTitle(false));
    emit dialog->interceptionSwitched(true);
    EXPECT_TRUE(tray.mnuIntercept->isChecked());
    delete dialog;
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

TEST(StartupWindows, ADefaultLibraryThatCannotBeMadeIsReportedAndTriedAgain) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    ASSERT_TRUE(qbtest::writeFile(home.folder() + "blocked", "a file, not a folder"));
    Settings().writeString("Main", "DefaultRoot", home.folder() + "blocked/library");
    {
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK);
        TfrmTray tray({});
        ASSERT_EQ(boxes.boxes().size(), 1);
        EXPECT_TRUE(boxes.texts()[0].startsWith("Unable to create directory"));
        EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONERROR));
        // Start-up went on: the dialogs exist.
        EXPECT_TRUE(frmCategory);
    }
    EXPECT_TRUE(Settings().readBool("Main", "FirstRun"));
    EXPECT_EQ(library::sectionCount(), 0);

    Settings().writeString("Main", "DefaultRoot", home.folder() + "library");
    qbtest::DialogAnswerer quiet;
    TfrmTray tray({});
    EXPECT_TRUE(quiet.boxes().isEmpty());
    EXPECT_FALSE(Settings().readBool("Main", "FirstRun"));
    EXPECT_EQ(library::sectionNames(), QStringList({"Programs", "Research", "Internet"}));
    EXPECT_EQ(library::sectionLocation(1), home.folder() + "library/Programs/");
}

// Without a stored placement the manager is centred; closing it stores its placement, and
// an exit with the window hidden writes nothing more.
TEST_F(LaterStart, TrayOpensTheManagerAndClosingItStoresThePlacementOnce) {
    TfrmTray tray({});
    ASSERT_TRUE(frmManager);
    EXPECT_FALSE(frmManager->isVisible());
    tray.Open1->trigger();
    EXPECT_TRUE(frmManager->isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(qAbs(frmManager->frameGeometry().center().x() - screen.center().x()), 2);

    frmManager->resize(480, 360);
    frmManager->close();
    EXPECT_FALSE(frmManager->isVisible());
    EXPECT_EQ(Settings().readInteger("Position", "Width"), 480);
    const QByteArray stored = qbtest::readFile(home.file("dlmain.ini"));
    tray.SavePosition();
    EXPECT_EQ(qbtest::readFile(home.file("dlmain.ini")), stored);
    // Reopened at the stored place.
    Settings().writeInteger("Position", "Width", 481);
    tray.Open1->trigger();
    EXPECT_EQ(frmManager->width(), 481);
}

TEST_F(LaterStart, AboutAndTheWebEntriesOpenRealPages) {
    TfrmTray tray({});
    tray.N3->trigger();
    auto* about = tray.findChild<TfrmAbout*>("frmAbout");
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_TRUE(about->lblVersion->text().startsWith("Version "));
    EXPECT_TRUE(about->lblFolder->text().contains(home.folder()));
    // The same window again, not a second one, from the manager's menu or the tray.
    about->close();
    frmManager->mnuAbout->trigger();
    EXPECT_TRUE(about->isVisible());
    tray.N3->trigger();
    EXPECT_EQ(tray.findChildren<TfrmAbout*>().size(), 1);

    for (QAction* entry : {tray.N7, tray.U1, tray.O3, tray.T2})
        entry->trigger();
    const QStringList opened = home.shellLog();
    ASSERT_EQ(opened.size(), 4);
    QSet<QString> pages;
    for (const QString& line : opened) {
        const QString page = line.section('\t', 1);
        EXPECT_TRUE(QFileInfo(page).isFile()) << page.toStdString();
        EXPECT_TRUE(page.endsWith(".html"));
        pages << page;
    }
    EXPECT_EQ(pages.size(), 4);
}

TEST_F(LaterStart, OptionsDialogRebuildsTheToolBarOnlyWhenItsPageWasTouched) {
    TfrmTray tray({});
    frmManager->show();
    QCoreApplication::processEvents();
    ASSERT_FALSE(frmManager->cb->isHidden());
    // Settings changed behind the dialog's back are not applied by an untouched OK.
    for (const char* key :
         {"New", "Delete", "Props", "Style", "Report", "Browser", "Virus", "Options", "Help"})
        Settings().writeBool("ToolBar", key, false);
    frmPreferences->show();
    frmPreferences->cmdOKClick();
    EXPECT_FALSE(frmManager->cb->isHidden());

    // The page touched with every box left unchecked hides the bar (which buttons show is
    // the tool bar's own test).
    frmPreferences->show();
    frmPreferences->cbTBNew->click();
    frmPreferences->cbTBNew->click();
    ASSERT_FALSE(frmPreferences->cbTBNew->isChecked());
    frmPreferences->cmdOKClick();
    EXPECT_TRUE(frmManager->cb->isHidden());
}

} // namespace
