#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TestEnvironment.h"
#include "platform/PluginLibrary.h"

using platform::PluginStatus;
using qbtest::readFile;
using qbtest::writeFile;

namespace {

struct PluginEnv {
    PluginEnv(const char* status, const QString& log) {
        qputenv("QB_TESTPLUGIN_STATUS", status);
        qputenv("QB_TESTPLUGIN_LOG", log.toUtf8());
    }
    ~PluginEnv() {
        qunsetenv("QB_TESTPLUGIN_STATUS");
        qunsetenv("QB_TESTPLUGIN_LOG");
    }
};

} // namespace

TEST(PluginLibrary, EachWayOfFailingIsToldApart) {
    enum Library { None, Folder, Text, NoEntry, Real };
    struct Case {
        const char* name;
        Library library;
        const char* status;
        PluginStatus expected;
        long code;
    };
    const Case cases[] = {
        {"missing", None, "0", PluginStatus::Missing, 0},
        {"a folder of its name is missing too", Folder, "0", PluginStatus::Missing, 0},
        {"not a library", Text, "0", PluginStatus::LoadFailed, 0},
        {"entry point missing", NoEntry, "0", PluginStatus::EntryMissing, 0},
        {"entry point fails", Real, "-2147467259", PluginStatus::EntryFailed, -2147467259L},
        {"success", Real, "0", PluginStatus::Ok, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qbtest::TempHome home;
        const QString target = home.file("QBYAuto.dll");
        if (c.library == Folder) {
            ASSERT_TRUE(QDir().mkpath(target));
        } else if (c.library == Text) {
            ASSERT_TRUE(writeFile(target, "MZ\x90 not an ELF file"));
        } else if (c.library == NoEntry) {
            ASSERT_TRUE(QFile::copy(QB_TEST_PLUGIN_NOENTRY, target));
        } else if (c.library == Real) {
            ASSERT_TRUE(QFile::copy(QB_TEST_PLUGIN, target));
        }
        PluginEnv env(c.status, home.root() + "/calls");

        const platform::PluginResult result = platform::registerPlugin();
        EXPECT_EQ(result.status, c.expected);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.ok(), c.expected == PluginStatus::Ok);
        EXPECT_EQ(result.path, target);
        if (c.expected == PluginStatus::LoadFailed || c.expected == PluginStatus::EntryMissing) {
            EXPECT_FALSE(result.loaderError.isEmpty());
        }
        const bool called = c.library == Real;
        EXPECT_EQ(readFile(home.root() + "/calls"), called ? "DllRegisterServer\n" : "");
    }
}

TEST(PluginLibrary, NameMatchesWithoutRegardToCaseAndBothEntriesAreCalled) {
    qbtest::TempHome home;
    ASSERT_TRUE(QFile::copy(QB_TEST_PLUGIN, home.file("qbyauto.DLL")));
    EXPECT_EQ(platform::pluginPath(), home.file("qbyauto.DLL"));
    PluginEnv env("0", home.root() + "/calls");

    EXPECT_TRUE(platform::registerPlugin().ok());
    EXPECT_TRUE(platform::unregisterPlugin().ok());
    EXPECT_TRUE(platform::registerPlugin().ok()) << "the library is released and loads again";
    EXPECT_EQ(readFile(home.root() + "/calls"),
              "DllRegisterServer\nDllUnregisterServer\nDllRegisterServer\n");
}
