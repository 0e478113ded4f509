#include <gtest/gtest.h>

#include <QFile>

#include "TestEnvironment.h"
#include "library/Settings.h"

namespace {

TEST(Settings, AnAbsentFileGivesTheTableDefaults) {
    qbtest::TempHome home;
    const Settings s;
    EXPECT_EQ(s.path(), home.file("dlmain.ini"));
    EXPECT_TRUE(s.readBool("Main", "FirstRun"));
    EXPECT_EQ(s.readString("Management", "DeleteDays"), "30");
    EXPECT_FALSE(s.readBool("ToolBar", "Browser"));
    EXPECT_TRUE(s.readBool("ToolBar", "Browser", SettingDefaults::kToolBarLaunchButtons));
    EXPECT_EQ(s.readString("VirusScanner", "CommandLine"), "");
    // Reading creates nothing.
    EXPECT_FALSE(QFile::exists(home.file("dlmain.ini")));
}

TEST(Settings, KeysWhoseReadersDisagreeOnTheDefault) {
    qbtest::TempHome home;
    const Settings s;
    // The connection speed: 28800 for the statistics and the options, "not set" for the
    // manager, which then asks for it.
    EXPECT_EQ(s.readInteger("Download", "Speed"), SettingDefaults::kSpeedForStatistics);
    EXPECT_EQ(s.readInteger("Download", "Speed", SettingDefaults::kSpeedForManager), 0);
    EXPECT_EQ(s.readInteger("Download", "DefaultSection"), 0);
    EXPECT_EQ(s.readInteger("Download", "DefaultSection", SettingDefaults::kDefaultPlaceForLibrary),
              -1);
    EXPECT_EQ(s.readInteger("Download", "DefaultCat", SettingDefaults::kDefaultPlaceForLibrary),
              -1);
    EXPECT_EQ(s.readString("Management", "PromptDays"), SettingDefaults::kPromptDaysText);
    EXPECT_EQ(s.readInteger("Management", "PromptDays"), SettingDefaults::kPromptDaysNumber);
    EXPECT_EQ(s.readInteger("Position", "Width"), SettingDefaults::kPositionUnset);
    // Both roots default to the library folder in the downloads, trailing "/" included.
    EXPECT_EQ(s.readString("Main", "DefaultRoot"), home.libraryRoot());
    EXPECT_EQ(s.readString("Management", "DefaultRoot"), home.libraryRoot());

    // Once written, every reader sees the stored value.
    Settings w;
    w.writeInteger("Download", "Speed", 56600);
    w.writeInteger("Download", "DefaultSection", 2);
    EXPECT_EQ(s.readInteger("Download", "Speed", SettingDefaults::kSpeedForManager), 56600);
    EXPECT_EQ(s.readInteger("Download", "DefaultSection", SettingDefaults::kDefaultPlaceForLibrary),
              2);
}

TEST(Settings, CommandLinesFallBackToTheMainPaths) {
    qbtest::TempHome home;
    Settings s;
    s.writeString("Main", "ScannerPath", "/usr/bin/clamscan");
    s.writeString("Main", "BrowserPath", "/usr/bin/firefox");
    EXPECT_EQ(s.readWithMainPathFallback("VirusScanner", "CommandLine"), "/usr/bin/clamscan");
    EXPECT_EQ(s.readWithMainPathFallback("toolbar", "viruscl"), "/usr/bin/clamscan");
    EXPECT_EQ(s.readWithMainPathFallback("ToolBar", "BrowserCL"), "/usr/bin/firefox");
    EXPECT_EQ(s.readString("ToolBar", "BrowserCL"), ""); // elsewhere: empty
    s.writeString("ToolBar", "BrowserCL", "/opt/browser");
    EXPECT_EQ(s.readWithMainPathFallback("ToolBar", "BrowserCL"), "/opt/browser");
}

TEST(Settings, StoredValuesAndTheirForms) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::writeFile(home.file("dlMain.ini"), "[download]\nOpenwhen=1\nSpeed=abc\n"
                                                           "AutoClose=2\nAutoPaste=yes\n"
                                                           "PromptDone=0\n[Main]\nIconFile=" +
                                                               QByteArray(1500, 'i') + "\n"));
    Settings s; // opens "dlmain.ini": the same file
    EXPECT_EQ(s.readInteger("Download", "OpenWhen"), 1);
    EXPECT_EQ(s.readInteger("Download", "Speed"), 28800);
    EXPECT_EQ(s.readInteger("Download", "Speed", SettingDefaults::kSpeedForManager), 0);
    EXPECT_TRUE(s.readBool("Download", "AutoClose"));
    EXPECT_FALSE(s.readBool("Download", "AutoPaste"));
    EXPECT_TRUE(s.readBool("Download", "AutoPaste", true));
    EXPECT_FALSE(s.readBool("Download", "PromptDone"));
    EXPECT_EQ(s.readString("Main", "IconFile").size(), 1023);

    s.writeBool("Download", "AutoMin", false);
    s.writeBool("General", "AutoStart", true);
    // The long value stays whole on disk; only reads are cut.
    const QByteArray bytes = qbtest::readFile(home.file("dlMain.ini"));
    EXPECT_TRUE(bytes.endsWith("=" + QByteArray(1500, 'i') + "\n[General]\nAutoStart=1\n"));
    EXPECT_TRUE(bytes.contains("PromptDone=0\nAutoMin=0\n"));
}

TEST(Settings, TheTableKnowsItsKeysWithoutRegardToCase) {
    EXPECT_FALSE(Settings::tableDefault("Main", "Nope").has_value());
    EXPECT_EQ(Settings::tableDefault("main", "numicons"), "62");
}

// An unknown key is a programming error: the developers' and test builds stop on it (the
// release reading is tested by test_settings_release).
TEST(SettingsDeathTest, AnUnknownKeyStopsTheStrictBuild) {
#ifdef QB_STRICT_KEYS
    qbtest::TempHome home;
    Settings s;
    EXPECT_DEATH(s.readString("Main", "IconFiles"), "\\[Main\\] IconFiles is not a setting");
    EXPECT_DEATH(s.readInteger("Download", "Sped", 0), "Sped is not a setting");
    EXPECT_DEATH(s.writeBool("Toolbar", "Props2", true), "Props2 is not a setting");
    EXPECT_DEATH(s.readWithMainPathFallback("Main", "IconFile"), "has no \\[Main\\] fallback");
#else
    GTEST_SKIP() << "built without QB_STRICT_KEYS";
#endif
}

} // namespace
