#include <gtest/gtest.h>

#include "DialogAnswerer.h"
#include "HelperLibrary.h"
#include "TestEnvironment.h"
#include "app/AppWindows.h"
#include "app/TfrmTray.h"
#include "library/Sections.h"
#include "library/Settings.h"
#include "library/ui/TfrmCategory.h"
#include "library/ui/TfrmNewSection.h"

namespace {

TEST(StartupWindows, SectionAndFolderDialogsLiveAsLongAsTheTray) {
    qbtest::TempHome home;
    Settings().writeBool("Main", "FirstRun", false);
    {
        TfrmTray tray({});
        ASSERT_TRUE(frmCategory);
        ASSERT_TRUE(frmNewSection);
        EXPECT_EQ(frmCategory->objectName(), "frmCategory");
        EXPECT_EQ(frmNewSection->objectName(), "frmNewSection");
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

} // namespace
