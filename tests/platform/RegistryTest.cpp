#include <gtest/gtest.h>

#include <QFile>

#include "TestEnvironment.h"
#include "platform/Registry.h"

namespace {

using platform::Registry;

const QString kClassKey = "\\CLSID\\{6C1F3B52-9E07-4D8A-B2C4-71E0A95D3F16}\\InprocServer32";
const QString kHttpKey = "\\SOFTWARE\\Classes\\PROTOCOLS\\Name-Space Handler\\http\\QBY.IEClickMon";

TEST(Registry, LivesInItsFolderOneFilePerRoot) {
    qbtest::TempHome home;
    EXPECT_EQ(Registry::folder(), home.root() + "/registry/");
    EXPECT_EQ(Registry(Registry::LocalMachine).filePath(),
              home.root() + "/registry/HKEY_LOCAL_MACHINE.ini");
    qunsetenv("QUILLBAY_REGISTRY");
    EXPECT_EQ(Registry::folder(), home.root() + "/home/.config/quillbay/registry/");
    EXPECT_EQ(Registry::rootFromName("hkey_classes_root"), Registry::ClassesRoot);
    EXPECT_FALSE(Registry::rootFromName("HKEY_USERS").has_value());
}

TEST(Registry, WritesReadsAndDeletesValues) {
    qbtest::TempHome home;
    Registry hklm(Registry::LocalMachine);
    EXPECT_FALSE(hklm.keyExists(kHttpKey));
    EXPECT_EQ(hklm.readValue(kHttpKey, "CLSID"), std::nullopt);
    ASSERT_TRUE(hklm.writeValue(kHttpKey, "CLSID", "{6C1F3B52-9E07-4D8A-B2C4-71E0A95D3F16}"));
    EXPECT_TRUE(hklm.keyExists(kHttpKey));
    // Key paths compare without case and ignore leading and trailing separators.
    EXPECT_EQ(hklm.readString(kHttpKey.toLower() + "\\", "clsid"),
              "{6C1F3B52-9E07-4D8A-B2C4-71E0A95D3F16}");
    EXPECT_TRUE(hklm.keyExists("SOFTWARE\\Classes"));
    EXPECT_FALSE(hklm.keyExists("SOFTWARE\\Class"));
    // Other roots are other files.
    EXPECT_FALSE(Registry(Registry::CurrentUser).keyExists(kHttpKey));

    ASSERT_TRUE(hklm.deleteValue(kHttpKey, "CLSID"));
    EXPECT_FALSE(hklm.valueExists(kHttpKey, "CLSID"));
    EXPECT_TRUE(hklm.deleteValue(kHttpKey, "never there"));
}

TEST(Registry, DataAndNamesRoundTripExactly) {
    qbtest::TempHome home;
    Registry hkcu(Registry::CurrentUser);
    const QString key = "Software\\Netscape\\Netscape Navigator\\Main";
    const QStringList data = {"",
                              "  padded  ",
                              "\"quoted\"",
                              "'single'",
                              "a=b;c",
                              QString(3000, 'l'),
                              QString::fromUtf8("C:\\Programme\\Netscape ✓")};
    const QStringList names = {"", "@", "Install Directory", "a=b", " lead", "%25", ";x", "[x]"};
    for (int i = 0; i < names.size(); ++i)
        ASSERT_TRUE(hkcu.writeValue(key, names[i], data[i % data.size()]));
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(hkcu.readValue(key, names[i]), data[i % data.size()]) << names[i].toStdString();
    EXPECT_EQ(hkcu.valueNames(key), names);
    // The default value ("") is not the value named "@".
    ASSERT_TRUE(hkcu.writeValue(key, "", "default"));
    EXPECT_EQ(hkcu.readValue(key, "@"), "  padded  ");
    // Line breaks cannot reach the file as lines.
    ASSERT_TRUE(hkcu.writeValue(key, "multi", "one\r\ntwo"));
    EXPECT_EQ(hkcu.readValue(key, "multi"), "one  two");
}

TEST(Registry, KeysEnumerateAndDeleteWithTheirSubkeys) {
    qbtest::TempHome home;
    Registry hkcr(Registry::ClassesRoot);
    ASSERT_TRUE(hkcr.createKey("CLSID\\{A}\\InprocServer32"));
    ASSERT_TRUE(hkcr.writeValue("CLSID\\{B}", "", "b"));
    ASSERT_TRUE(hkcr.writeValue("clsid\\{a}\\ProgID", "", "QBYAuto.QBYAutomation"));
    ASSERT_TRUE(hkcr.createKey("Other"));
    EXPECT_TRUE(hkcr.keyExists("CLSID\\{A}\\InprocServer32"));
    EXPECT_TRUE(hkcr.keyExists("CLSID")); // exists through its subkeys
    EXPECT_TRUE(hkcr.keyExists(""));
    EXPECT_EQ(hkcr.subKeys(""), QStringList({"CLSID", "Other"}));
    EXPECT_EQ(hkcr.subKeys("CLSID"), QStringList({"{A}", "{B}"}));
    EXPECT_EQ(hkcr.subKeys("CLSID\\{A}"), QStringList({"InprocServer32", "ProgID"}));
    EXPECT_TRUE(hkcr.valueNames("CLSID\\{A}\\InprocServer32").isEmpty());

    ASSERT_TRUE(hkcr.deleteKey("clsid\\{A}"));
    EXPECT_FALSE(hkcr.keyExists("CLSID\\{A}\\InprocServer32"));
    EXPECT_FALSE(hkcr.keyExists("CLSID\\{A}"));
    EXPECT_EQ(hkcr.readValue("CLSID\\{B}", ""), "b");
    EXPECT_EQ(hkcr.subKeys(""), QStringList({"CLSID", "Other"}));
    EXPECT_FALSE(hkcr.deleteKey("\\"));
}

TEST(Registry, AProtectedRootOrAFolderThatCannotBeMadeRefusesEveryWrite) {
    qbtest::TempHome home;
    Registry hklm(Registry::LocalMachine);
    ASSERT_TRUE(hklm.writeValue(kHttpKey, "CLSID", "old"));
    const QByteArray before = qbtest::readFile(hklm.filePath());
    ASSERT_TRUE(QFile::setPermissions(hklm.filePath(), QFile::ReadOwner | QFile::ReadOther));
    EXPECT_FALSE(hklm.writeValue(kHttpKey, "CLSID", "new"));
    EXPECT_FALSE(hklm.createKey(kClassKey));
    EXPECT_FALSE(hklm.deleteValue(kHttpKey, "CLSID"));
    EXPECT_FALSE(hklm.deleteKey(kHttpKey));
    EXPECT_EQ(qbtest::readFile(hklm.filePath()), before);
    EXPECT_EQ(hklm.readValue(kHttpKey, "CLSID"), "old"); // reads still work
    // The other roots are not affected.
    EXPECT_TRUE(Registry(Registry::ClassesRoot).createKey(kClassKey));

    // Nor can a registry whose folder cannot be made be written.
    ASSERT_TRUE(qbtest::writeFile(home.root() + "/blocker", "a file where a folder should be"));
    qputenv("QUILLBAY_REGISTRY", (home.root() + "/blocker/registry").toUtf8());
    Registry hkcu(Registry::CurrentUser);
    EXPECT_FALSE(hkcu.writeValue("Software", "x", "y"));
    EXPECT_FALSE(hkcu.keyExists("Software"));
}

} // namespace
