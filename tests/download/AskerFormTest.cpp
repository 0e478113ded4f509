// The download dialog as a form: defaults, validation, keys, closing and its messages.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "AskerFixture.h"
#include "HelperLibrary.h"
#include "app/HandOffOpener.h"
#include "app/TfrmTray.h"
#include "library/Categories.h"
#include "library/FileRecord.h"
#include "library/LibraryPaths.h"
#include "library/Settings.h"
#include "platform/Dates.h"
#include "platform/MessageLoop.h"
#include "platform/Registry.h"
#include "widgets/TSpeedDial.h"

using qbtest::AskerFixture;

namespace {

const char* const kFolderMessage =
    "Please specify a folder to place this file in.  To create a new folder, type CTRL+N.";

TEST(AskerForm, SetDefaultsTakesEveryChoiceFromTheSettings) {
    AskerFixture f;
    Settings s;
    s.writeInteger("Download", "DefaultSection", 0);
    s.writeInteger("Download", "DefaultCat", 1);
    s.writeInteger("Download", "OpenWhen", 1);
    s.writeBool("Download", "ShowDetails", false);
    s.writeBool("Download", "AutoClose", true);
    s.writeBool("Download", "PromptDone", false);
    s.writeBool("Management", "PromptIfNotOpened", false);
    s.writeString("Management", "PromptDays", "4");
    s.writeBool("Management", "AutoDelete", true);
    s.writeString("Management", "DeleteDays", "45");
    s.writeBool("VirusScanner", "ScanWhenDone", true);
    s.writeInteger("Download", "Speed", 56600);
    TfrmAsker* dialog = f.open("http://127.0.0.1:1/tool.bin");

    EXPECT_EQ(dialog->cbSection->currentText(), "Programs");
    EXPECT_EQ(dialog->cbSection->count(), 2);
    EXPECT_EQ(dialog->cbCategory->currentText(), "Games");
    EXPECT_EQ(dialog->cbOpenWhen->currentText(), "Immediately after it is downloaded");
    EXPECT_FALSE(dialog->cbDetails->isChecked());
    EXPECT_EQ(dialog->height(), TfrmAsker::kHeightWithoutDetails);
    EXPECT_TRUE(dialog->cbClose->isChecked());
    EXPECT_FALSE(dialog->cbPromptDone->isChecked());
    EXPECT_FALSE(dialog->cbPrompt->isChecked());
    EXPECT_EQ(dialog->meDays->text(), "4");
    EXPECT_TRUE(dialog->cbAutoDelete->isChecked());
    EXPECT_EQ(dialog->meDeleteDays->text(), "45");
    // No scanner configured: the box keeps its stored state but cannot be changed.
    EXPECT_TRUE(dialog->cbAutoScan->isChecked());
    EXPECT_FALSE(dialog->cbAutoScan->isEnabled());
    EXPECT_EQ(dialog->gSpeed->maximum(), 56600);
    // The day fields hold two digits at most.
    QTest::keyClicks(dialog->meDays, "123x");
    EXPECT_TRUE(QRegularExpression("^[0-9]{0,2}$").match(dialog->meDays->text()).hasMatch());

    dialog->cbDetails->setChecked(true);
    EXPECT_EQ(dialog->height(), TfrmAsker::kHeightWithDetails);

    // The user's choice of another section refills the folders.
    dialog->cbSection->setCurrentIndex(1);
    emit dialog->cbSection->activated(1);
    EXPECT_EQ(dialog->cbCategory->count(), 1);
    EXPECT_EQ(dialog->cbCategory->currentText(), "Web Files");
}

// A download without a usable name, or with a default place outside the lists (which
// selects nothing), is refused with its message and writes nothing.
TEST(AskerForm, BadFileNamesAreRefusedAndNothingIsWritten) {
    const char* const blank = "You must specify a filename for this download.";
    struct Case {
        const char* name;
        const char* message; // nullptr: any message that is not the blank one
        int defaultSection = 0;
    };
    // The names the folder refuses are the rules' own table; one shows the dialog asks them.
    for (const Case& c : {Case{"   ", blank}, Case{"../../escape.sh", nullptr},
                          Case{"tool.bin", kFolderMessage, 7}}) {
        SCOPED_TRACE(c.name);
        AskerFixture f;
        if (c.defaultSection)
            Settings().writeInteger("Download", "DefaultSection", c.defaultSection);
        const QByteArray settings = qbtest::readFile(f.home.file("dlmain.ini"));
        TfrmAsker* dialog = f.open("http://127.0.0.1:1/tool.bin", QString::fromUtf8(c.name));
        if (c.defaultSection) {
            EXPECT_EQ(dialog->cbSection->currentIndex(), -1);
            EXPECT_EQ(dialog->cbCategory->count(), 0);
        }
        f.boxes.answer(platform::IDOK);
        f.press();
        ASSERT_EQ(f.boxes.boxes().size(), 1);
        if (c.message)
            EXPECT_EQ(f.boxes.texts().value(0), c.message);
        else
            EXPECT_NE(f.boxes.texts().value(0), blank);
        EXPECT_FALSE(dialog->isDownloading());
        EXPECT_TRUE(dialog->Button2->isEnabled());
        EXPECT_TRUE(dialog->edtName->isEnabled());
        EXPECT_TRUE(QDir(f.home.folder()).entryList({"*-*.ini"}).isEmpty());
        EXPECT_EQ(qbtest::readFile(f.home.file("dlmain.ini")), settings);
        EXPECT_EQ(dialog->ListBox1->count(), 0);
    }
}

// Closing an idle dialog files the record of the named file and keeps the choices as the
// defaults; with the defaults box cleared it writes neither.
TEST(AskerForm, ClosingWritesTheRecordAndTheDefaultsUnlessTheBoxIsCleared) {
    struct Case {
        const char* what;
        const char* name;
        bool saveDefaults;
    };
    for (const Case& c : {Case{"a named file", "tool.bin", true}, Case{"no name", "", true},
                          Case{"the defaults box cleared", "tool.bin", false}}) {
        SCOPED_TRACE(c.what);
        AskerFixture f;
        TfrmAsker* dialog = f.open("http://127.0.0.1:1/tool.bin", QString(c.name));
        dialog->cbCategory->setCurrentIndex(1);
        dialog->cbOpenWhen->setCurrentIndex(1);
        dialog->cbClose->setChecked(true);
        dialog->edtDesc->setText("Kept on close");
        dialog->cbDefault->setChecked(c.saveDefaults);
        ASSERT_TRUE(dialog->close());
        const QString recordFile = library::recordFilePath("Programs", "Games");
        const bool recorded = c.saveDefaults && *c.name;
        ASSERT_EQ(QFileInfo::exists(recordFile), recorded);
        if (recorded) {
            const library::FileRecord record(recordFile, "tool.bin");
            EXPECT_EQ(record.readString(library::RecordKey::Desc), "Kept on close");
            EXPECT_EQ(record.readString(library::RecordKey::DateDownloaded),
                      platform::todayStamp());
        }
        if (!c.saveDefaults) {
            EXPECT_FALSE(Settings().readBool("Download", "SaveAsDefault"));
        }
        EXPECT_EQ(Settings().readString("Download", "OpenWhen", "absent"),
                  c.saveDefaults ? "1" : "absent");
        EXPECT_EQ(Settings().readBool("Download", "AutoClose"), c.saveDefaults);
        EXPECT_EQ(Settings().readInteger("Download", "DefaultCat"), c.saveDefaults ? 1 : 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(f.dialog.isNull());
    }
}

TEST(AskerForm, KeysActOnlyWithCtrlAlone) {
    AskerFixture f;
    TfrmAsker* dialog = f.open("http://127.0.0.1:1/tool.bin");
    QTest::keyClick(dialog->edtName, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(dialog->pmBookMarks->isVisible());

    QTest::keyClick(dialog->edtName, Qt::Key_B, Qt::ControlModifier);
    EXPECT_TRUE(dialog->pmBookMarks->isVisible());
    dialog->pmBookMarks->hide();

    EXPECT_TRUE(f.home.shellLog().isEmpty());
    QTest::keyClick(dialog->edtDesc, Qt::Key_F1);
    ASSERT_EQ(f.home.shellLog().size(), 1);
    EXPECT_TRUE(f.home.shellLog()[0].startsWith("open\t"));
    EXPECT_TRUE(f.home.shellLog()[0].endsWith(".html"));
}

TEST(AskerForm, ANewFolderMessageSelectsTheSectionAndItsNewFolder) {
    AskerFixture f;
    TfrmAsker* dialog = f.open("http://127.0.0.1:1/tool.bin");
    ASSERT_EQ(dialog->cbSection->currentText(), "Programs");
    library::appendCategory("Internet", "Mail", 1);
    platform::postAppMessage(platform::UM_SELECTNEWFOLDER, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->cbSection->currentText(), "Internet");
    EXPECT_EQ(dialog->cbCategory->currentText(), "Mail");

    // A hidden dialog is left alone.
    dialog->hide();
    library::appendCategory("Programs", "Tools", 1);
    platform::postAppMessage(platform::UM_SELECTNEWFOLDER, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->cbSection->currentText(), "Internet");
}

// With auto-paste a fresh dialog takes the clipboard as its description, on one line; a
// re-download from the library keeps its own, and "IE" without an Explorer window goes.
TEST(AskerForm, TheClipboardGoesIntoTheDescriptionOnce) {
    struct Case {
        bool library;
        bool autoPaste;
        const char* desc;
        const char* shown;
    };
    for (const Case& c :
         {Case{false, true, "", "Fast tool version 2"},
          Case{true, true, "From the record", "From the record"}, Case{false, false, "IE", ""}}) {
        SCOPED_TRACE(c.desc);
        AskerFixture f;
        Settings().writeBool("Download", "AutoPaste", c.autoPaste);
        QGuiApplication::clipboard()->setText("Fast tool\nversion 2");
        auto* dialog = new TfrmAsker;
        f.dialog = dialog;
        dialog->LibraryFlag = c.library;
        dialog->edtDesc->setText(c.desc);
        dialog->SetDefaults();
        dialog->show();
        EXPECT_EQ(dialog->edtDesc->text(), c.shown);
    }
}

TEST(AskerForm, TheDetectionBoxSetsTheTrayTitle) {
    AskerFixture f;
    ASSERT_TRUE(qbtest::installHelperLibrary(f.home));
    TfrmTray tray({});
    TfrmAsker* dialog = f.open("http://127.0.0.1:1/tool.bin");
    connectDownloadDialog(dialog);
    dialog->cbEnableDetect->setChecked(false);
    EXPECT_EQ(tray.windowTitle(), "QBY - Download Detect Disabled");
    dialog->cbEnableDetect->setChecked(true);
    EXPECT_EQ(tray.windowTitle(), "QBY");
    dialog->cbDefault->setChecked(false);
    EXPECT_FALSE(Settings().readBool("Download", "SaveAsDefault"));
    dialog->cbDefault->setChecked(true);
    EXPECT_TRUE(Settings().readBool("Download", "SaveAsDefault"));
}

TEST(AskerForm, DeleteFileRemovesExactlyTheNamedFileAndNeverAFolder) {
    qbtest::TempHome home;
    const QString dir = home.root() + "/files/";
    for (const char* name : {"a*b.bin", "axb.bin", "plain.bin", "kept.bin"})
        ASSERT_TRUE(qbtest::writeFile(dir + name, "x"));
    // "a*b.bin" would take "axb.bin" with it as a pattern: it stays rather than take a neighbour.
    TfrmAsker::DeleteFile(dir + "a*b.bin", false);
    EXPECT_TRUE(QFileInfo::exists(dir + "a*b.bin"));
    EXPECT_TRUE(QFileInfo::exists(dir + "axb.bin"));
    TfrmAsker::DeleteFile(dir + "plain.bin", false);
    EXPECT_FALSE(QFileInfo::exists(dir + "plain.bin"));
    ASSERT_TRUE(QFile::remove(dir + "axb.bin"));
    TfrmAsker::DeleteFile(dir + "a*b.bin", true);
    EXPECT_FALSE(QFileInfo::exists(dir + "a*b.bin"));
    EXPECT_TRUE(QFileInfo::exists(dir + "kept.bin"));
    // Nor does it ever take a folder.
    TfrmAsker::DeleteFile(home.root() + "/files", false);
    EXPECT_TRUE(QFileInfo::exists(dir + "kept.bin"));
}

// A chosen bookmark lands in the source box: the dialog's reader is wired to its menu.
TEST(AskerForm, TheBookmarkMenuFillsTheSourceBox) {
    AskerFixture fixture;
    const QString file = fixture.home.root() + "/bookmarks.html";
    ASSERT_TRUE(qbtest::writeFile(file, "<DL><p>\n"
                                        "<DT><A HREF=\"http://example.test/setup.exe\">Setup</A>\n"
                                        "</DL>\n"));
    ASSERT_TRUE(platform::Registry(platform::Registry::CurrentUser)
                    .writeValue("Software\\Netscape\\Netscape Navigator\\Bookmark List",
                                "File Location", file));
    TfrmAsker* dialog = fixture.open("http://host/dir/a.zip");
    ASSERT_EQ(dialog->BookMarks->actions().size(), 1);
    QMenu* group = dialog->BookMarks->actions()[0]->menu();
    ASSERT_TRUE(group && group->actions().size() == 1);
    group->actions()[0]->trigger();
    EXPECT_EQ(dialog->edtSource->currentText(), "http://example.test/setup.exe");
}

} // namespace
