#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "library/Settings.h"
#include "platform/Help.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "setup/NativeHostManifests.h"
#include "setup/ui/TfrmConfig.h"
#include "setup/ui/TfrmProgress.h"
#include "widgets/TActivityBar.h"

using platform::Registry;

namespace {

const QString kBlanks(38, ' ');

// Counts how often a window was shown.
struct ShowCounter : QObject {
    int count = 0;
    explicit ShowCounter(QWidget* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show)
            ++count;
        return false;
    }
};

class ConfigWizardTest : public ::testing::Test {
protected:
    qbtest::TempHome home;
    TfrmConfig wizard;
    QWidget progress;
    QString tree() const { return home.root() + "/disk/"; }

    void SetUp() override {
        wizard.setSearchRoot(tree());
        // No browser of this machine may reach a test's answers.
        wizard.setBrowserSearch({}, home.root() + "/desktop");
        wizard.useProgressWindow(&progress);
        wizard.FormShow();
    }
    static void runnable(const QString& path) {
        ASSERT_TRUE(qbtest::writeFile(path, "#!/bin/sh\n"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    }
    // The wizard shown afresh over no settings.
    void restart() {
        QFile::remove(Settings().path());
        wizard.FormShow();
    }
    void scanners(std::initializer_list<const char*> names) {
        for (const char* name : names)
            ASSERT_TRUE(qbtest::writeFile(tree() + name, "#!/bin/sh\n"));
        QDir().mkpath(tree());
    }
    QStringList entries() const {
        QStringList out;
        for (int i = 0; i < wizard.cbScanner->count(); ++i)
            out << wizard.cbScanner->itemText(i);
        return out;
    }
    bool settingsWritten() const { return QFile::exists(Settings().path()); }
};

TEST_F(ConfigWizardTest, DetectionListsFoundScannersAfterTheFixedEntriesOnce) {
    scanners({"NAV/NAVW32.EXE", ".hidden-dir/SCAN.EXE", "tools/.TBSCAN.EXE", "usr/bin/clamscan"});
    const QString netscapeHome = home.root() + "/netscape";
    ASSERT_TRUE(qbtest::writeFile(netscapeHome + "/Program/Netscape.exe", "x"));
    Registry(Registry::CurrentUser)
        .writeValue("Software\\Netscape\\Netscape Navigator\\Main", "Install Directory",
                    netscapeHome);
    Registry(Registry::LocalMachine)
        .writeValue("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE", "",
                    "/nowhere/iexplore");

    ShowCounter shown(&progress);
    wizard.setPage(TfrmConfig::Browsers);
    EXPECT_EQ(shown.count, 1);
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(entries(),
              (QStringList{
                  "Do not configure a scanner at this time.", "I wish to specify my own scanner.",
                  "Norton AntiVirus for Windows - navw32.exe" + kBlanks + tree() + "NAV/NAVW32.EXE",
                  "ClamAV - clamscan" + kBlanks + tree() + "usr/bin/clamscan"}));
    EXPECT_EQ(wizard.cbScanner->currentIndex(), 2);
    EXPECT_EQ(wizard.edtPath->text(), tree() + "NAV/NAVW32.EXE");
    EXPECT_TRUE(wizard.cbAutoScan->isEnabled());

    EXPECT_EQ(wizard.edtNSLoc->text(), netscapeHome + "/Program/Netscape.exe");
    EXPECT_TRUE(wizard.optNetscape->isEnabled() && wizard.optNetscape->isChecked());
    EXPECT_EQ(wizard.edtIELoc->text(), "/nowhere/iexplore");
    EXPECT_FALSE(wizard.optIE->isEnabled() || wizard.optIE->isChecked());

    // Only the first move to the browser page searches.
    ASSERT_TRUE(qbtest::writeFile(tree() + "later/MSAV.EXE", "x"));
    wizard.setPage(TfrmConfig::Welcome);
    wizard.setPage(TfrmConfig::Browsers);
    EXPECT_EQ(wizard.cbScanner->count(), 4);

    // A ClamAV found suggests its parameter.
    wizard.cbScanner->setCurrentIndex(3);
    EXPECT_EQ(wizard.edtParameters->text(), "--no-summary");
    wizard.setPage(TfrmConfig::Connection);
    wizard.EPWizard1FinishClick();
    Settings settings;
    EXPECT_EQ(settings.readString("VirusScanner", "CommandLine"), tree() + "usr/bin/clamscan");
    EXPECT_EQ(settings.readString("VirusScanner", "Parameters"), "--no-summary");
    EXPECT_EQ(settings.readString("ToolBar", "VirusCL"), tree() + "usr/bin/clamscan");
    EXPECT_EQ(settings.readString("Main", "IEPath"), "/nowhere/iexplore");
    EXPECT_EQ(settings.readString("ToolBar", "BrowserCL"), netscapeHome + "/Program/Netscape.exe");
    EXPECT_TRUE(settings.readBool("General", "DetectNS"));
    EXPECT_FALSE(settings.readBool("General", "DetectIE"));
}

// Back and Next pressed while the search runs neither start a second search inside it nor
// take the "Scanning..." window away before the search ends.
TEST_F(ConfigWizardTest, PagesChangedDuringTheSearchDoNotSearchAgain) {
    scanners({"a/NAV.EXE", "b/x", "c/x", "d/x", "e/x"});
    bool visibleAfterBackAndNext = false;
    QTimer::singleShot(0, &wizard, [&] {
        wizard.cmdBack->click();
        wizard.cmdNext->click();
        QTimer::singleShot(0, &wizard, [&] { visibleAfterBackAndNext = progress.isVisible(); });
    });
    wizard.setPage(TfrmConfig::Browsers);
    EXPECT_TRUE(visibleAfterBackAndNext);
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(wizard.currentPage(), int(TfrmConfig::Browsers));
    EXPECT_EQ(entries().size(), 3);
}

// "Scanning..." stands above the wizard with its animation running while the search runs,
// and cannot be closed halfway.
TEST_F(ConfigWizardTest, ScanningWindowAnimatesDuringTheSearch) {
    TfrmProgress scanning;
    wizard.useProgressWindow(&scanning);
    const Qt::WindowFlags flags = scanning.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    scanners({"a/x", "b/x"});
    bool animating = false;
    QTimer::singleShot(
        0, &wizard, [&] { animating = scanning.isVisible() && scanning.aniFind->isAnimating(); });
    wizard.setPage(TfrmConfig::Browsers);
    EXPECT_TRUE(animating);
    EXPECT_FALSE(scanning.isVisible());
    EXPECT_FALSE(scanning.aniFind->isAnimating());
}

TEST_F(ConfigWizardTest, OwnScannerMustBeAProgram) {
    const QString program = home.root() + "/my scanner";
    const QString text = home.root() + "/readme";
    runnable(program);
    ASSERT_TRUE(qbtest::writeFile(text, "x"));
    scanners({});
    wizard.setPage(TfrmConfig::Browsers);
    ASSERT_EQ(wizard.cbScanner->currentIndex(), 1);
    struct Case {
        QString chosen; // empty: the file dialog is cancelled
        bool refused;
        QString scanLine;
    } cases[] = {{text, true, ""}, {"", false, ""}, {program, false, program}};
    for (const Case& c : cases) {
        qbtest::DialogAnswerer answers;
        answers.answerFile(c.chosen);
        if (c.refused)
            answers.answer(platform::IDOK);
        wizard.cmdsBrowse->click();
        ASSERT_EQ(answers.fileDialogs().size(), 1);
        EXPECT_EQ(answers.fileDialogs()[0].caption, "Browse for Virus Scanner");
        EXPECT_EQ(answers.boxes().size(), c.refused ? 1 : 0) << qPrintable(c.chosen);
        EXPECT_EQ(wizard.edtScanLine->text(), c.scanLine);
        EXPECT_EQ(wizard.cbAutoScan->isEnabled(), !c.scanLine.isEmpty());
    }
}

TEST_F(ConfigWizardTest, NothingFoundSelectsOwnScannerAndShowsNoBrowserBoxes) {
    scanners({"docs/readme.txt"});
    wizard.setPage(TfrmConfig::Browsers);
    EXPECT_EQ(entries().size(), 2);
    EXPECT_EQ(wizard.cbScanner->currentIndex(), 1);
    EXPECT_FALSE(wizard.optNetscape->isEnabled());
    EXPECT_EQ(wizard.edtNSLoc->text(), "Not Found");
    EXPECT_EQ(wizard.edtIELoc->text(), "Not Found");
    EXPECT_FALSE(wizard.pnlBridges->isVisibleTo(&wizard));
    EXPECT_TRUE(wizard.bridgeBoxes().isEmpty());
}

TEST_F(ConfigWizardTest, FinishWithEachScannerChoice) {
    scanners({"c/NAV/NAVW32.EXE"});
    const QString own = home.root() + "/own-scanner";
    runnable(own);
    struct Case {
        int position;
        bool browse;
        QString commandLine;
        bool scanWhenDone;
    } cases[] = {
        {0, false, "", false},
        {1, false, "", false},
        {1, true, own, true},
        {2, false, tree() + "c/NAV/NAVW32.EXE", true},
    };
    for (const Case& c : cases) {
        restart();
        wizard.edtScanLine->clear();
        wizard.setPage(TfrmConfig::Browsers);
        wizard.cbScanner->setCurrentIndex(c.position);
        qbtest::DialogAnswerer answers;
        if (c.browse) {
            answers.answerFile(own);
            wizard.cmdsBrowse->click();
        }
        wizard.cbAutoScan->setChecked(true);
        wizard.setPage(TfrmConfig::Connection);
        wizard.EPWizard1FinishClick();
        Settings settings;
        EXPECT_EQ(settings.readString("VirusScanner", "CommandLine"), c.commandLine) << c.position;
        EXPECT_EQ(settings.readBool("ToolBar", "Virus"), !c.commandLine.isEmpty()) << c.position;
        EXPECT_EQ(settings.readBool("VirusScanner", "ScanWhenDone"), c.scanWhenDone) << c.position;
    }
}

TEST_F(ConfigWizardTest, SpeedsAndAutoStartOnFinish) {
    struct Case {
        const char* line;
        int index;
        QString other;
        bool mbps;
        QString stored; // empty: refused, nothing written
    } cases[] = {
        {"optOther", 0, "2", true, "2000000"}, {"optOther", 0, "100", false, "100"},
        {"optModem", 3, "", false, "56600"},   {"optT1", 6, "", false, "100000000"},
        {"optOther", 0, "fast", false, ""},
    };
    for (const Case& c : cases) {
        platform::removeAutostartEntry();
        restart();
        wizard.setPage(TfrmConfig::Connection);
        wizard.findChild<QRadioButton*>(c.line)->setChecked(true);
        if (c.index >= 0)
            wizard.findChild<QRadioButton*>(c.line) == wizard.optModem
                ? wizard.cbModem->setCurrentIndex(c.index)
                : wizard.cbT1->setCurrentIndex(c.index);
        wizard.edtOther->setText(c.other);
        (c.mbps ? wizard.optmbps : wizard.optkbps)->setChecked(true);
        qbtest::DialogAnswerer answers;
        if (c.stored.isEmpty())
            answers.answer(platform::IDOK);
        wizard.EPWizard1FinishClick();
        if (c.stored.isEmpty()) {
            EXPECT_EQ(answers.texts(), QStringList{"Please specify a valid numeric value."});
            EXPECT_FALSE(settingsWritten());
            EXPECT_FALSE(platform::autostartEntryExists());
            continue;
        }
        EXPECT_EQ(Settings().readString("Download", "Speed"), c.stored) << qPrintable(c.other);
        EXPECT_TRUE(platform::autostartEntryExists());
        EXPECT_TRUE(Settings().readBool("General", "AutoStart"));
        EXPECT_TRUE(home.shellLog().last().contains("Getting_Started_For_The_First_Time"));
    }
    wizard.FormShow();
    wizard.cbAutoStart->setChecked(false);
    wizard.setPage(TfrmConfig::Connection);
    wizard.optModem->setChecked(true);
    wizard.EPWizard1FinishClick();
    EXPECT_FALSE(platform::autostartEntryExists());
    EXPECT_FALSE(Settings().readBool("General", "AutoStart"));
}

// The browsers of the desktop get a box each; Finish connects the checked ones through their
// host manifest and takes it away from the unchecked ones, and the choice is kept.
TEST_F(ConfigWizardTest, CheckedBrowsersOfTheDesktopAreConnectedOnFinish) {
    const QString desktop = home.root() + "/desktop/";
    for (const char* name : {"bin/chromium", "opt/google/chrome/google-chrome"})
        runnable(desktop + name);
    wizard.setBrowserSearch({desktop + "bin"}, desktop);
    const QList<setup::HostManifestPlace> places = setup::hostManifestPlaces();
    const setup::HostManifestPlace& chromium = places[0];
    const setup::HostManifestPlace& chrome = places[1];
    const setup::HostManifestPlace& firefox = places[2];
    ASSERT_EQ(firefox.name, "Firefox");
    struct Case {
        bool chromium;
        bool chrome;
    } cases[] = {{true, false}, {false, true}, {false, false}, {true, true}};
    for (const Case& c : cases) {
        restart();
        wizard.setPage(TfrmConfig::Browsers);
        ASSERT_TRUE(wizard.pnlBridges->isVisibleTo(&wizard));
        const QList<QCheckBox*> boxes = wizard.bridgeBoxes();
        ASSERT_EQ(boxes.size(), 2);
        EXPECT_EQ(boxes[0]->accessibleName(), "Chromium");
        EXPECT_EQ(boxes[0]->text(), "Chromium (" + desktop + "bin/chromium)");
        EXPECT_EQ(boxes[1]->accessibleName(), "Google Chrome");
        for (QCheckBox* box : boxes)
            EXPECT_TRUE(box->isChecked()); // connecting is the default
        boxes[0]->setChecked(c.chromium);
        boxes[1]->setChecked(c.chrome);
        wizard.setPage(TfrmConfig::Connection);
        qbtest::DialogAnswerer answers;
        wizard.EPWizard1FinishClick();
        EXPECT_TRUE(answers.texts().isEmpty()) << qPrintable(answers.texts().join('\n'));
        EXPECT_EQ(QFileInfo::exists(setup::hostManifestFile(chromium)), c.chromium);
        EXPECT_EQ(QFileInfo::exists(setup::hostManifestFile(chrome)), c.chrome);
        EXPECT_FALSE(QFileInfo::exists(setup::hostManifestFile(firefox)));
        if (c.chrome) {
            EXPECT_EQ(qbtest::readFile(setup::hostManifestFile(chrome)),
                      setup::hostManifest(setup::nativeHostPath(), false));
        }
        Settings settings;
        EXPECT_EQ(settings.readBool("Bridge", "Chromium"), c.chromium);
        EXPECT_EQ(settings.readBool("Bridge", "GoogleChrome"), c.chrome);
    }
    // A later showing offers the choices made before.
    Settings().writeBool("Bridge", "Chromium", false);
    wizard.FormShow();
    wizard.setPage(TfrmConfig::Browsers);
    EXPECT_FALSE(wizard.bridgeBoxes()[0]->isChecked());
    EXPECT_TRUE(wizard.bridgeBoxes()[1]->isChecked());

    // A manifest that cannot be written is told, and the rest of Finish goes on.
    QFile::remove(setup::hostManifestFile(chrome));
    ASSERT_TRUE(QDir().mkpath(setup::hostManifestFile(chrome)));
    wizard.setPage(TfrmConfig::Connection);
    qbtest::DialogAnswerer answers;
    answers.answer(platform::IDOK);
    wizard.EPWizard1FinishClick();
    ASSERT_EQ(answers.texts().size(), 1);
    EXPECT_TRUE(answers.texts()[0].startsWith("Quillbay could not connect these browsers:\n"
                                              "Google Chrome: "));
    EXPECT_EQ(Settings().readString("Download", "Speed"), "28800");
}

// Enter presses the default button (Next, then Finish on the last page), F1 opens the help.
TEST_F(ConfigWizardTest, KeyboardWalksThePagesAndAsksForHelp) {
    const auto press = [&](int key) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&wizard, &down);
    };
    wizard.show();
    for (int page = TfrmConfig::Browsers; page <= TfrmConfig::Connection; ++page) {
        press(Qt::Key_Return);
        EXPECT_EQ(wizard.currentPage(), page);
    }
    EXPECT_TRUE(wizard.cmdFinish->isDefault());
    EXPECT_FALSE(wizard.cmdNext->isEnabled());
    press(Qt::Key_F1);
    ASSERT_FALSE(home.shellLog().isEmpty());
    EXPECT_EQ(home.shellLog().last(), "open\t" + platform::helpPage(QString()));
    EXPECT_FALSE(settingsWritten());
    press(Qt::Key_Return);
    EXPECT_EQ(wizard.result(), int(QDialog::Accepted));
    EXPECT_EQ(Settings().readString("Download", "Speed"), "28800");
}

TEST_F(ConfigWizardTest, CancelAsksAndWritesNothing) {
    scanners({});
    wizard.setPage(TfrmConfig::Browsers);
    wizard.setPage(TfrmConfig::Miscellaneous);
    wizard.cbOpenWhen->setCurrentIndex(1);
    {
        qbtest::DialogAnswerer answers;
        answers.answer(platform::IDNO);
        wizard.cmdCancel->click();
        ASSERT_EQ(answers.boxes().size(), 1);
        EXPECT_EQ(answers.boxes()[0].caption, "Confirm Exit");
        EXPECT_TRUE(answers.texts()[0].contains("has not finshed setting up Quillbay."));
    }
    EXPECT_EQ(wizard.currentPage(), int(TfrmConfig::Miscellaneous));
    EXPECT_EQ(wizard.cbOpenWhen->currentIndex(), 1);
    EXPECT_EQ(wizard.result(), 0);
    {
        qbtest::DialogAnswerer answers;
        answers.answer(platform::IDYES);
        wizard.reject(); // Escape
    }
    EXPECT_EQ(wizard.result(), int(QDialog::Rejected));
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(home.shellLog().last().contains("Getting_Started_For_The_First_Time"));
}

} // namespace
