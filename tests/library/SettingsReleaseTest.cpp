// The settings as a release build compiles them: without QB_STRICT_KEYS, an unknown key
// is no reason to stop the program.

#include <gtest/gtest.h>

#include "TestEnvironment.h"
#include "library/Settings.h"

namespace {

TEST(SettingsRelease, AnUnknownKeyReadsTheCallersDefaultAndWritesNothing) {
#ifdef QB_STRICT_KEYS
    FAIL() << "this binary must be built as a release build builds the settings";
#endif
    qbtest::TempHome home;
    const QString file = home.file("dlmain.ini");
    // Even a value stored under the misspelt name is not read: the key is no setting.
    const QByteArray stored = "[Main]\nIconFiles=stored\nIconFile=x.dll\n";
    ASSERT_TRUE(qbtest::writeFile(file, stored));
    Settings s;
    EXPECT_EQ(s.readString("Main", "IconFiles", "fallback"), "fallback");
    EXPECT_EQ(s.readString("Main", "IconFiles"), "");
    EXPECT_EQ(s.readInteger("Download", "Sped", 7), 7);
    EXPECT_EQ(s.readInteger("Download", "Sped"), 0);
    EXPECT_TRUE(s.readBool("Download", "Detect", true));
    EXPECT_FALSE(s.readBool("Download", "Detect"));
    EXPECT_EQ(s.readWithMainPathFallback("Main", "IconFile"), "x.dll");

    s.writeBool("Toolbar", "Props2", true);
    s.writeString("Main", "IconFiles", "changed");
    s.writeInteger("Download", "Sped", 1);
    EXPECT_EQ(qbtest::readFile(file), stored);
    // Known keys read and write as ever.
    s.writeString("Main", "IconFile", "y.dll");
    EXPECT_EQ(s.readString("Main", "IconFile"), "y.dll");
}

} // namespace
