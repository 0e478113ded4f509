#include <gtest/gtest.h>

#include "DialogAnswerer.h"
#include "HelperLibrary.h"
#include "TestEnvironment.h"
#include "app/AppWindows.h"
#include "app/HandOffOpener.h"
#include "app/TfrmAbout.h"
#include "app/TfrmTray.h"
#include "download/TfrmAsker.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"
#include "manager/TfrmManager.h"
#include "manager/TfrmPrint.h"
#include "setup/ui/TfrmPreferences.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <QFileInfo>
#include <QLabel>
#include <QSet>
#include <functional>

#include <QGuiApplication>
#include <QScreen>

namespace {

// A later start with a stored speed: no wizard and no speed question.
class LaterStart : public ::testing::Test {
protected:
    void SetUp() override {
        Settings().writeBool("Main", "FirstRun", false);
        Settings().writeInteger("Download", "Speed", 28800);
        ASSERT_TRUE(qbtest::installHelperLibrary(home));
    }
    qbtest::TempHome home;
    qbtest::DialogAnswerer boxes;
};

TEST_F(LaterStart, SectionAndFolderDialogsLiveAsLongAsTheTray) {
    {
        TfrmTray tray({});
        ASSERT_TRUE(frmCategory);
        ASSERT_TRUE(frmNewSection);
        EXPECT_FALSE(frmCategory->isVisible());
        EXPECT_FALSE(frmNewSection->isVisible());
    }
    EXPECT_EQ(frmCategory, nullptr);
    EXPECT_EQ(frmNewSection, nullptr);
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

TEST_F(LaterStart, TrayOpensTheManagerAndClosingItStoresThePlacementOnce) {
    TfrmTray tray({});
    ASSERT_TRUE(frmManager);
    EXPECT_FALSE(frmManager->isVisible());
    tray.Open1->trigger();
    EXPECT_TRUE(frmManager->isVisible());
    EXPECT_EQ(frmManager->windowTitle(), "Quillbay");
    // Centred without a stored placement.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(qAbs(frmManager->frameGeometry().center().x() - screen.center().x()), 2);

    frmManager->resize(480, 360);
    frmManager->close();
    EXPECT_FALSE(frmManager->isVisible());
    EXPECT_EQ(Settings().readInteger("Position", "Width"), 480);
    // Exit with the window hidden writes nothing more.
    Settings().writeInteger("Position", "Width", 481);
    tray.SavePosition();
    EXPECT_EQ(Settings().readInteger("Position", "Width"), 481);
    // Reopened at the stored place.
    tray.Open1->trigger();
    EXPECT_EQ(frmManager->width(), 481);
}

TEST_F(LaterStart, AboutAndTheWebEntriesOpenRealPages) {
    TfrmTray tray({});
    tray.N3->trigger();
    auto* about = tray.findChild<TfrmAbout*>("frmAbout");
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->lblName->text(), "Quillbay");
    EXPECT_TRUE(about->lblVersion->text().startsWith("Version "));
    EXPECT_TRUE(about->lblFolder->text().contains(home.folder()));
    tray.N3->trigger(); // the same window again, not a second one
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

TEST_F(LaterStart, InterceptCheckMarkFollowsTheDownloadDialog) {
    TfrmTray tray({});
    auto* dialog = new TfrmAsker();
    connectDownloadDialog(dialog);
    emit dialog->interceptionSwitched(false);
    EXPECT_FALSE(tray.mnuIntercept->isChecked());
    EXPECT_EQ(tray.windowTitle(), "QBY - Download Detect Disabled");
    emit dialog->interceptionSwitched(true);
    EXPECT_TRUE(tray.mnuIntercept->isChecked());
    delete dialog;
}

} // namespace

namespace {

// Runs `inside` on the next modal dialog the program opens once it is up, then closes it.
// A dialog that never comes fails the test instead of hanging it.
void whileModal(const std::function<void(QWidget*)>& inside) {
    auto* poll = new QTimer;
    auto* started = new QElapsedTimer;
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, started, inside] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && started->elapsed() < 5000)
            return;
        poll->stop();
        poll->deleteLater();
        delete started;
        ASSERT_TRUE(modal) << "no modal dialog came";
        inside(modal);
        if (modal->isVisible())
            static_cast<QDialog*>(modal)->reject();
    });
    poll->start(10);
}

TEST_F(LaterStart, ManagerToolBarMenusOpenTheirDialogs) {
    TfrmTray tray({});
    ASSERT_TRUE(frmManager && frmPreferences && frmPrint);
    // A double click on the bar (or "Buttons...") opens the options on the tool-bar page.
    bool opened = false;
    whileModal([&](QWidget* modal) {
        opened = modal == frmPreferences.data();
        EXPECT_EQ(frmPreferences->tabctrlOptions->currentIndex(), int(TfrmPreferences::Toolbar));
    });
    frmManager->mnuButtons->trigger();
    EXPECT_TRUE(opened);
    frmManager->mnuAbout->trigger();
    auto* about = tray.findChild<TfrmAbout*>("frmAbout");
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
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

    // The page touched with every box left unchecked hides the bar.
    frmPreferences->show();
    frmPreferences->cbTBNew->click();
    frmPreferences->cbTBNew->click();
    ASSERT_FALSE(frmPreferences->cbTBNew->isChecked());
    frmPreferences->cmdOKClick();
    EXPECT_TRUE(frmManager->cb->isHidden());

    frmPreferences->show();
    frmPreferences->cbTBHelp->click();
    frmPreferences->cmdOKClick();
    EXPECT_FALSE(frmManager->cb->isHidden());
    EXPECT_FALSE(frmManager->tbHelp->isHidden());
    EXPECT_TRUE(frmManager->tbNew->isHidden());
}

} // namespace
