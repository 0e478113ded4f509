#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "library/ui/TfrmNewSection.h"

namespace {

class NewSectionDialog : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.show();
        edtName = dialog.findChild<QLineEdit*>("edtName");
        edtLocation = dialog.findChild<QLineEdit*>("edtLocation");
        ASSERT_TRUE(edtName && edtLocation);
        ASSERT_TRUE(dialog.findChild<QPushButton*>("cmdBrowse"));
        ASSERT_TRUE(dialog.findChild<QPushButton*>("cmdOK"));
    }

    void typeName(const QString& name) {
        edtName->clear();
        QTest::keyClicks(edtName, name);
    }
    void clickOK() { dialog.findChild<QPushButton*>("cmdOK")->click(); }

    qbtest::TempHome home;
    qbtest::DialogAnswerer boxes;
    TfrmNewSection dialog;
    QLineEdit* edtName = nullptr;
    QLineEdit* edtLocation = nullptr;
};

TEST_F(NewSectionDialog, LocationFollowsTheTypedName) {
    EXPECT_EQ(dialog.windowTitle(), "New Section");
    EXPECT_TRUE(edtLocation->isReadOnly());
    EXPECT_EQ(edtLocation->text(), home.libraryRoot());
    typeName("Games");
    EXPECT_EQ(edtLocation->text(), home.libraryRoot() + "Games/");
    QTest::keyClick(edtName, Qt::Key_Backspace);
    EXPECT_EQ(edtLocation->text(), home.libraryRoot() + "Game/");
    edtName->clear();
    EXPECT_EQ(edtLocation->text(), home.libraryRoot());
}

TEST_F(NewSectionDialog, BrowseMovesTheRootAndCancelKeepsIt) {
    typeName("Games");
    boxes.answerFile(home.folder() + "disk/media");
    dialog.findChild<QPushButton*>("cmdBrowse")->click();
    ASSERT_EQ(boxes.fileDialogs().size(), 1);
    EXPECT_EQ(boxes.fileDialogs()[0].caption, "Choose a section location below:");
    EXPECT_EQ(boxes.fileDialogs()[0].kind, platform::FileDialogRequest::Folder);
    EXPECT_EQ(edtLocation->text(), home.folder() + "disk/media/Games/");
    boxes.answerFile("/");
    dialog.findChild<QPushButton*>("cmdBrowse")->click();
    EXPECT_EQ(edtLocation->text(), "/Games/");
    boxes.answerFile("");
    dialog.findChild<QPushButton*>("cmdBrowse")->click();
    EXPECT_EQ(edtLocation->text(), "/Games/");
    typeName("Music");
    EXPECT_EQ(edtLocation->text(), "/Music/");
}

TEST_F(NewSectionDialog, OKAddsTheSectionAndCloses) {
    QSignalSpy added(&dialog, &TfrmNewSection::sectionAdded);
    library::appendSection("Programs", home.folder() + "Programs/");
    boxes.answerFile(home.folder() + "store");
    dialog.findChild<QPushButton*>("cmdBrowse")->click();
    typeName("  Video Clips ");
    clickOK();
    EXPECT_TRUE(boxes.boxes().isEmpty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // Stored as the ini file gives it back: without the surrounding blanks.
    EXPECT_EQ(library::sectionNames(), QStringList({"Programs", "Video Clips"}));
    EXPECT_EQ(library::sectionLocation(2), home.folder() + "store/Video Clips/");
    EXPECT_TRUE(QFileInfo(home.folder() + "store/Video Clips").isDir());
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0][0].toString(), "Video Clips");
    EXPECT_EQ(added[0][1].toInt(), 1);
}

// Which names are refused is the validation's table; here a directory already at the
// location is passed to it, and the refusal keeps the dialog as it was.
TEST_F(NewSectionDialog, ANameTakenOnDiskKeepsTheTextAndChangesNothing) {
    library::appendSection("Games", home.folder() + "Games/");
    ASSERT_TRUE(qbtest::writeFile(home.libraryRoot() + "Music/song.ogg", "x"));
    const QByteArray headers = qbtest::readFile(home.file("Headers.ini"));
    QSignalSpy added(&dialog, &TfrmNewSection::sectionAdded);
    boxes.answer(platform::IDOK);
    typeName("Music");
    clickOK();
    ASSERT_EQ(boxes.texts(),
              QStringList({"That section already exists, please choose another name."}));
    EXPECT_EQ(boxes.boxes()[0].caption, "Quillbay");
    EXPECT_EQ(boxes.boxes()[0].buttons(), unsigned(platform::MB_OK));
    EXPECT_EQ(edtName->text(), "Music");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(qbtest::readFile(home.file("Headers.ini")), headers);
    EXPECT_TRUE(added.isEmpty());
}

TEST_F(NewSectionDialog, TheKeptNameIsShownWithItsLocationNextTime) {
    typeName("Games");
    clickOK();
    ASSERT_FALSE(dialog.isVisible());
    Settings().writeString("Management", "DefaultRoot", home.folder() + "later");
    dialog.show();
    EXPECT_EQ(edtName->text(), "Games");
    // The root is read afresh at each showing, and the location never lags the name.
    EXPECT_EQ(edtLocation->text(), home.folder() + "later/Games/");
    boxes.answer(platform::IDOK);
    clickOK();
    // Two sections of one name would share one section file.
    EXPECT_EQ(library::sectionCount(), 1);
    EXPECT_FALSE(QFileInfo::exists(home.folder() + "later/Games"));
    EXPECT_EQ(boxes.texts(),
              QStringList({"That section already exists, please choose another name."}));
}

TEST_F(NewSectionDialog, ADirectoryThatCannotBeMadeIsReported) {
    ASSERT_TRUE(qbtest::writeFile(home.folder() + "blocked", "a file"));
    Settings().writeString("Management", "DefaultRoot", home.folder() + "blocked/deeper");
    dialog.hide();
    dialog.show();
    typeName("Games");
    boxes.answer(platform::IDOK);
    clickOK();
    ASSERT_EQ(boxes.boxes().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith("Unable to create directory"));
    EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONERROR));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(library::sectionCount(), 0);
}

} // namespace
