#include <gtest/gtest.h>

#include <QCoreApplication>

#include "TestEnvironment.h"
#include "platform/ProgramFolder.h"

TEST(ProgramFolder, HomeVariableOverridesAndEndsWithSlash) {
    qbtest::TempHome home;
    EXPECT_EQ(platform::programFolder(), home.folder());
    EXPECT_EQ(platform::programFile("dlmain.ini"), home.folder() + "dlmain.ini");
}

TEST(ProgramFolder, DefaultsToTheExecutableFolder) {
    qbtest::TempHome home;
    qunsetenv("QUILLBAY_HOME");
    EXPECT_EQ(platform::programFolder(), QCoreApplication::applicationDirPath() + "/");
}
