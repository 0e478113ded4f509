#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "library/Categories.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "platform/Shell.h"
#include "setup/ui/TfrmPreferences.h"

namespace {

// One setting with the control that carries it and a value other than its default.
struct Carried {
    const char* section;
    const char* key;
    const char* control;
    const char* value;
};

const Carried kCarried[] = {
    {"General", "AutoStart", "cbAutoStart", "0"},
    {"Download", "DownloadDetect", "cbDLDetect", "0"},
    {"Management", "DefaultRoot", "edtSectionRoot", "/srv/library/"},
    {"Management", "AutoDelete", "cbDelete", "1"},
    {"Management", "DeleteDays", "meDeleteDays", "45"},
    {"Management", "DeleteType", "cbDeleteType", "1"},
    {"Management", "ConfirmDelete", "cbAutoDelete", "0"},
    {"Management", "PromptIfNotOpened", "cbPrompt", "0"},
    {"Management", "PromptDays", "meDays", "7"},
    {"Management", "ShowMenu", "cbShowMenu", "1"},
    {"Management", "ConfirmCatDelete", "cbCatDelete", "0"},
    {"Download", "OpenWhen", "cbOpenWhen", "1"},
    {"Download", "AutoMin", "cbAutoMin", "0"},
    {"VirusScanner", "CommandLine", "edtCommandLine", "/usr/bin/clamscan"},
    {"VirusScanner", "Parameters", "edtParameters", "--no-summary"},
    {"VirusScanner", "ScanWhenDone", "cbAutoScan", "1"},
    {"ToolBar", "New", "cbTBNew", "0"},
    {"ToolBar", "Delete", "cbTBDelete", "0"},
    {"ToolBar", "Options", "cbTBOptions", "0"},
    {"ToolBar", "Report", "cbTBReport", "0"},
    {"ToolBar", "Help", "cbTBHelp", "0"},
    {"ToolBar", "Style", "cbTBStyle", "0"},
    {"ToolBar", "Props", "cbTBProps", "0"},
    {"ToolBar", "Browser", "cbTBBrowser", "1"},
    {"ToolBar", "BrowserCL", "edtBrowserCL", "/usr/bin/firefox"},
    {"ToolBar", "Virus", "cbTBVirus", "1"},
    {"ToolBar", "VirusCL", "edtVirusCL", "/usr/bin/clamdscan"},
    {"Main", "ToolAlign", "cmbAlign", "1"},
    {"Main", "ShowToolLabels", "cbShowText", "0"},
};

// The control's state as the setting's text.
QString shown(TfrmPreferences& dialog, const Carried& c) {
    QWidget* w = dialog.findChild<QWidget*>(c.control);
    if (auto* box = qobject_cast<QCheckBox*>(w))
        return box->isChecked() ? "1" : "0";
    if (auto* combo = qobject_cast<QComboBox*>(w))
        return QString::number(combo->currentIndex() + (QString(c.key) == "ToolAlign" ? 1 : 0));
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    return "no control " + QString(c.control);
}

QString stored(const Carried& c) {
    return Settings().readString(c.section, c.key);
}

class PreferencesTest : public ::testing::Test {
protected:
    qbtest::TempHome home;
    TfrmPreferences dialog;
    QString settingsFile() const { return Settings().path(); }
};

TEST_F(PreferencesTest, EachSettingLoadsIntoItsControlAndIsWrittenBackAlone) {
    for (const Carried& c : kCarried) {
        QFile::remove(settingsFile());
        Settings().writeString(c.section, c.key, c.value);
        dialog.FormShow();
        EXPECT_EQ(shown(dialog, c), c.value) << c.key;
        dialog.cmdOKClick();
        // Every other setting keeps its default: no control carries two settings.
        for (const Carried& other : kCarried) {
            const QString wanted = &other == &c
                                       ? QString(c.value)
                                       : Settings::tableDefault(other.section, other.key).value();
            // The command lines fall back to the [Main] paths, which are empty here.
            EXPECT_EQ(stored(other), wanted) << c.key << " -> " << other.key;
        }
    }
}

TEST_F(PreferencesTest, SpeedsShowTheirLineAndStoreTheirPreset) {
    struct Case {
        const char* stored;
        const char* option;
        const char* list;
        QString entry;
        QString other;
        bool mbps;
    } cases[] = {
        {"33600", "optModem", "cbModem", "33.6 kbps", "", false},
        {"1500000", "optT1", "cbT1", "1.5 mbps", "", false},
        {"56000", "optOther", nullptr, "", "56000", false},
        {"3000000", "optOther", nullptr, "", "3", true},
    };
    for (const Case& c : cases) {
        QFile::remove(settingsFile());
        Settings().writeString("Download", "Speed", c.stored);
        dialog.FormShow();
        EXPECT_TRUE(dialog.findChild<QRadioButton*>(c.option)->isChecked()) << c.stored;
        if (c.list) {
            auto* list = dialog.findChild<QComboBox*>(c.list);
            EXPECT_EQ(list->currentText(), c.entry);
            EXPECT_TRUE(list->isEnabled());
            EXPECT_FALSE(dialog.edtOther->isEnabled());
        } else {
            EXPECT_EQ(dialog.edtOther->text(), c.other);
            EXPECT_EQ(dialog.optmbps->isChecked(), c.mbps);
            EXPECT_TRUE(dialog.edtOther->isEnabled());
            EXPECT_FALSE(dialog.cbModem->isEnabled());
        }
        dialog.cmdOKClick();
        EXPECT_EQ(Settings().readString("Download", "Speed"), c.stored);
    }

    dialog.FormShow();
    dialog.optModem->setChecked(true);
    dialog.cbModem->setCurrentIndex(3);
    dialog.cmdOKClick();
    EXPECT_EQ(Settings().readInteger("Download", "Speed"), 56600);
}

TEST_F(PreferencesTest, ANonNumericOtherSpeedWritesNothing) {
    Settings().writeString("Download", "Speed", "28800");
    const QByteArray before = qbtest::readFile(settingsFile());
    qbtest::DialogAnswerer answers;
    answers.answer(platform::IDOK);
    dialog.FormShow();
    dialog.cbAutoStart->setChecked(false);
    dialog.optOther->setChecked(true);
    dialog.edtOther->setText("fast");
    dialog.tabctrlOptions->setCurrentIndex(TfrmPreferences::General);
    QSignalSpy changed(&dialog, &TfrmPreferences::managerSettingsChanged);
    dialog.cmdOKClick();
    EXPECT_EQ(answers.texts(), QStringList{"Please specify a valid numeric value."});
    EXPECT_EQ(qbtest::readFile(settingsFile()), before);
    EXPECT_EQ(dialog.tabctrlOptions->currentIndex(), int(TfrmPreferences::Download));
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(platform::autostartEntryExists());
}

TEST_F(PreferencesTest, AutoScanFollowsTheCommandLine) {
    Settings().writeString("VirusScanner", "CommandLine", "/usr/bin/clamscan");
    dialog.FormShow();
    EXPECT_TRUE(dialog.cbAutoScan->isEnabled());
    dialog.edtCommandLine->clear();
    EXPECT_FALSE(dialog.cbAutoScan->isEnabled());
    QTest::keyClicks(dialog.edtCommandLine, "s");
    EXPECT_TRUE(dialog.cbAutoScan->isEnabled());

    // With no command line of its own the box shows the [Main] path.
    QFile::remove(settingsFile());
    Settings().writeString("Main", "ScannerPath", "/opt/scan");
    dialog.FormShow();
    EXPECT_EQ(dialog.edtCommandLine->text(), "/opt/scan");
    EXPECT_EQ(dialog.edtVirusCL->text(), "/opt/scan");
    EXPECT_FALSE(dialog.edtVirusCL->isEnabled()); // [ToolBar] Virus is off by default
}

TEST_F(PreferencesTest, ToolBarFlagOnlyAfterAClickOnItsPage) {
    QSignalSpy changed(&dialog, &TfrmPreferences::managerSettingsChanged);
    struct Case {
        const char* clicked;
        bool flag;
    } cases[] = {{nullptr, false},
                 {"cbTBNew", true},
                 {"cbShowMenu", false},
                 {"cbShowText", true},
                 {"cbTBVirus", true}};
    for (const Case& c : cases) {
        dialog.FormShow();
        if (c.clicked)
            dialog.findChild<QCheckBox*>(c.clicked)->click();
        EXPECT_EQ(dialog.toolBarChanged(), c.flag) << (c.clicked ? c.clicked : "none");
        dialog.cmdOKClick();
        ASSERT_EQ(changed.count(), 1);
        EXPECT_EQ(changed.takeFirst().at(0).toBool(), c.flag);
    }
}

TEST_F(PreferencesTest, CancelWritesNothingButTheTitleFollowsTheStoredSwitch) {
    Settings().writeBool("Download", "DownloadDetect", false);
    const QByteArray before = qbtest::readFile(settingsFile());
    QSignalSpy title(&dialog, &TfrmPreferences::interceptionSwitchShown);
    dialog.FormShow();
    ASSERT_EQ(title.count(), 1);
    EXPECT_FALSE(title.at(0).at(0).toBool());
    dialog.cbDLDetect->setChecked(true);
    dialog.cbTBNew->setChecked(false);
    dialog.edtOther->setText("fast");
    dialog.cmdCancelClick();
    EXPECT_EQ(qbtest::readFile(settingsFile()), before);
    EXPECT_EQ(title.count(), 1);
}

TEST_F(PreferencesTest, AutostartEntryFollowsTheBox) {
    const QString entry = platform::autostartEntryPath();
    EXPECT_TRUE(entry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/"));
    dialog.FormShow();
    dialog.cbAutoStart->setChecked(true);
    dialog.cmdOKClick();
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(qbtest::readFile(entry).contains(
        QFile::encodeName(QCoreApplication::applicationFilePath())));
    dialog.FormShow();
    dialog.cbAutoStart->setChecked(false);
    dialog.cmdOKClick();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(Settings().readBool("General", "AutoStart"));
}

TEST_F(PreferencesTest, FoldersFollowTheChosenSection) {
    library::appendSection("Music", home.folder() + "Music/");
    library::appendSection("Empty", home.folder() + "Empty/");
    library::appendCategory("Music", "Jazz", 0);
    library::appendCategory("Music", "Folk", 0);
    Settings().writeInteger("Download", "DefaultSection", 0);
    Settings().writeInteger("Download", "DefaultCat", 1);
    dialog.FormShow();
    EXPECT_EQ(dialog.cbDefaultSection->currentText(), "Music");
    EXPECT_EQ(dialog.cbDefaultCat->currentText(), "Folk");
    dialog.cbDefaultSection->setCurrentIndex(1);
    EXPECT_EQ(dialog.cbDefaultCat->count(), 0);
    dialog.cmdOKClick();
    EXPECT_EQ(Settings().readInteger("Download", "DefaultSection"), 1);
    EXPECT_EQ(Settings().readInteger("Download", "DefaultCat"), -1);
}

TEST_F(PreferencesTest, BrowseButtonsTakeOnlyPrograms) {
    const QString program = home.folder() + "scanner";
    const QString text = home.folder() + "readme";
    ASSERT_TRUE(qbtest::writeFile(program, "#!/bin/sh\n"));
    ASSERT_TRUE(qbtest::writeFile(text, "x"));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    qbtest::DialogAnswerer answers;
    answers.answerFile(text).answer(platform::IDOK).answerFile(program).answerFile("");
    dialog.FormShow();
    dialog.edtCommandLine->setText("/old");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdBrowse"), Qt::LeftButton);
    EXPECT_EQ(dialog.edtCommandLine->text(), "/old");
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdBrowse"), Qt::LeftButton);
    EXPECT_EQ(dialog.edtCommandLine->text(), program);
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdBrowse"), Qt::LeftButton);
    EXPECT_EQ(dialog.edtCommandLine->text(), program);
    ASSERT_EQ(answers.fileDialogs().size(), 3);
    EXPECT_EQ(answers.fileDialogs()[0].caption, "Virus Scanner");
}

} // namespace
