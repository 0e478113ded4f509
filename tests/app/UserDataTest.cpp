#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <functional>

#include "DialogAnswerer.h"
#include "TestEnvironment.h"
#include "app/UserData.h"

namespace {

using qbtest::writeFile;

// A home whose data folder is the user's own one ($XDG_DATA_HOME/quillbay), as for a user
// who starts the program without any override.
struct UserHome {
    UserHome() {
        qunsetenv("QUILLBAY_HOME");
        qputenv("XDG_DATA_HOME", (home.root() + "/data").toUtf8());
    }
    QString data() const { return home.root() + "/data/quillbay/"; }
    QString oldFolder() const { return home.root() + "/build/bin/"; }
    qbtest::TempHome home;
};

// The move itself, at the first start only, is the installed program's test.
TEST(UserData, AnExplicitDataFolderNeverTakesTheOldLibrary) {
    qbtest::TempHome home;
    const QString old = home.root() + "/build/bin/";
    ASSERT_TRUE(writeFile(old + "dlmain.ini", "[Main]\nFirstRun=0\n"));
    ASSERT_TRUE(prepareUserData(old));
    EXPECT_TRUE(QFileInfo::exists(old + "dlmain.ini"));
    EXPECT_FALSE(QFileInfo::exists(home.file("dlmain.ini")));
}

TEST(UserData, AnUnusableFolderOrAFailedMoveStopsTheStartWithABox) {
    struct Case {
        const char* what;
        std::function<void(const UserHome&)> prepare;
        const char* boxStart;
    };
    const Case cases[] = {
        {"the data folder is a file",
         [](const UserHome& user) {
             QDir().mkpath(user.home.root() + "/data");
             writeFile(user.data().chopped(1), "not a folder");
         },
         "Quillbay cannot keep its settings and library in "},
        {"the old library cannot be copied",
         [](const UserHome& user) {
             writeFile(user.oldFolder() + "dlmain.ini", "[Main]\nFirstRun=0\n");
             QDir().mkpath(user.data() + "dlmain.ini.moving");
         },
         "Quillbay: could not move the settings and library files from "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UserHome user;
        c.prepare(user);
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK);
        EXPECT_FALSE(prepareUserData(user.oldFolder()));
        ASSERT_EQ(boxes.texts().size(), 1);
        EXPECT_TRUE(boxes.texts()[0].startsWith(c.boxStart)) << qPrintable(boxes.texts()[0]);
        EXPECT_EQ(boxes.boxes()[0].icon(), unsigned(platform::MB_ICONERROR));
    }
}

} // namespace
