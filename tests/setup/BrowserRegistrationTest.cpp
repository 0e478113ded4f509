#include <gtest/gtest.h>

#include <QFile>

#include "DialogAnswerer.h"
#include "HelperLibrary.h"
#include "TestEnvironment.h"
#include "platform/Automation.h"
#include "platform/Registry.h"
#include "setup/BrowserRegistration.h"

using platform::Registry;

namespace {

const QString kNetscapeKey = platform::kNetscapeProtocolsKey;
const QString kOurs = setup::kPluginClassName;

// Steers the stand-in library's entry points for one test.
struct StandInStatus {
    explicit StandInStatus(const char* status) { qputenv("QB_TESTPLUGIN_STATUS", status); }
    ~StandInStatus() { qunsetenv("QB_TESTPLUGIN_STATUS"); }
};

// Counts the automation objects created while it lives.
struct AutomationWatch {
    QStringList created;
    AutomationWatch() {
        platform::setAutomationObserver([this](const QString& name) { created << name; });
    }
    ~AutomationWatch() { platform::setAutomationObserver({}); }
};

void registerNetscapeObject() {
    ASSERT_TRUE(Registry(Registry::ClassesRoot)
                    .writeValue("Netscape.Registry.1\\CLSID", "", "{NETSCAPE-REGISTRY}"));
}

bool makeReadOnly(Registry::Root root) {
    Registry registry(root);
    registry.createKey("Placeholder");
    return QFile::setPermissions(registry.filePath(), QFile::ReadOwner | QFile::ReadOther);
}

TEST(BrowserRegistration, EachLibraryFailureHasItsMessage) {
    enum Library { None, Text, NoEntry, Failing };
    struct Case {
        const char* what;
        Library library;
        QString registerText, unregisterText;
    };
    const Case cases[] = {
        {"missing", None, "Missing QBYAuto.dll - this file must be in the Quillbay folder.",
         "Missing QBYAuto.dll - this file must be in the Quillbay folder."},
        {"not a library", Text, "Failed to load QBYAuto.DLL", "Failed to load QBYAuto.DLL"},
        {"no entry points", NoEntry, "QBYAuto.DLL file corrupted", "QBYAuto.DLL file corrupted"},
        {"entry points fail", Failing, "Failed to register QBYAuto.DLL",
         "Failed to unregister QBYAuto.DLL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qbtest::TempHome home;
        StandInStatus status("1");
        if (c.library == Text) {
            ASSERT_TRUE(qbtest::writeFile(home.file("QBYAuto.dll"), "not a library"));
        } else if (c.library == NoEntry) {
            ASSERT_TRUE(qbtest::installStandInLibrary(home, QB_TEST_PLUGIN_NOENTRY));
        } else if (c.library == Failing) {
            ASSERT_TRUE(qbtest::installStandInLibrary(home, QB_TEST_PLUGIN));
        }
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK).answer(platform::IDOK);
        setup::registerPluginLibrary();
        setup::unregisterPluginLibrary();
        EXPECT_EQ(boxes.texts(), QStringList({c.registerText, c.unregisterText}));
        EXPECT_EQ(boxes.boxes()[0].caption, "Quillbay");

        // At the end of the session the failure is not shown.
        boxes.clearRecord();
        setup::unregisterPluginLibrary(true);
        EXPECT_TRUE(boxes.boxes().isEmpty());
    }
}

TEST(BrowserRegistration, TheHelperLibraryEntersAndRemovesItsClass) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    qbtest::DialogAnswerer boxes;
    Registry classes(Registry::ClassesRoot);

    setup::registerPluginLibrary();
    EXPECT_EQ(classes.readValue(setup::kPluginClassKey, ""), home.file("QBYAuto.dll"));
    EXPECT_EQ(classes.readValue(kOurs + "\\CLSID", ""), setup::kPluginClassId);

    setup::unregisterPluginLibrary();
    EXPECT_FALSE(classes.keyExists(QString("CLSID\\") + setup::kPluginClassId));
    EXPECT_FALSE(classes.keyExists(kOurs));
    EXPECT_TRUE(boxes.boxes().isEmpty());

    // A classes root that refuses writes makes the self-registration fail.
    ASSERT_TRUE(makeReadOnly(Registry::ClassesRoot));
    boxes.answer(platform::IDOK);
    setup::registerPluginLibrary();
    EXPECT_EQ(boxes.texts(), QStringList({"Failed to register QBYAuto.DLL"}));
}

TEST(BrowserRegistration, InternetExplorerGetsTheHandlerKeysAndThreadingModel) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    qbtest::DialogAnswerer boxes;
    setup::registerPluginLibrary();
    setup::registerWithInternetExplorer();
    EXPECT_TRUE(boxes.boxes().isEmpty());
    Registry machine(Registry::LocalMachine);
    EXPECT_EQ(machine.readValue(setup::kIEHttpHandlerKey, "CLSID"), setup::kPluginClassId);
    EXPECT_EQ(machine.readValue(setup::kIEFtpHandlerKey, "CLSID"), setup::kPluginClassId);
    EXPECT_EQ(Registry(Registry::ClassesRoot).readValue(setup::kPluginClassKey, "ThreadingModel"),
              "Apartment");
}

TEST(BrowserRegistration, InternetExplorerFailuresGiveOneMessage) {
    struct Case {
        const char* what;
        bool libraryRegistered;
        bool machineReadOnly;
        bool handlerKeysWritten;
    };
    const Case cases[] = {
        {"the class key is missing", false, false, true},
        {"the local machine refuses writes", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qbtest::TempHome home;
        ASSERT_TRUE(qbtest::installHelperLibrary(home));
        if (c.libraryRegistered)
            setup::registerPluginLibrary();
        if (c.machineReadOnly) {
            ASSERT_TRUE(makeReadOnly(Registry::LocalMachine));
        }
        qbtest::DialogAnswerer boxes;
        boxes.answer(platform::IDOK);
        setup::registerWithInternetExplorer();
        EXPECT_EQ(boxes.texts(),
                  QStringList({"Failed to register Quillbay with Internet Explorer"}));
        EXPECT_EQ(Registry(Registry::LocalMachine).valueExists(setup::kIEFtpHandlerKey, "CLSID"),
                  c.handlerKeysWritten);
        // Steps after the failing one are not done.
        EXPECT_FALSE(
            Registry(Registry::ClassesRoot).valueExists(setup::kPluginClassKey, "ThreadingModel"));
    }
}

TEST(BrowserRegistration, WithoutNetscapeNothingIsTouched) {
    qbtest::TempHome home;
    qbtest::DialogAnswerer boxes;
    registerNetscapeObject();
    AutomationWatch watch;
    setup::registerWithNetscape();
    EXPECT_TRUE(watch.created.isEmpty());
    EXPECT_FALSE(Registry(Registry::CurrentUser).keyExists("Software\\Netscape"));
    EXPECT_TRUE(boxes.boxes().isEmpty()) << "a missing library is told by the next step";
}

TEST(BrowserRegistration, NetscapeProtocolsAreSetOnlyWhenNotInPlace) {
    struct Case {
        const char* what;
        const char* ftp; // nullptr: no value
        const char* http;
        bool objectRegistered;
        bool objectCreated;
        const char* ftpAfter;
        const char* httpAfter;
    };
    const Case cases[] = {
        {"both in place", "QBYAuto.QBYAutomation", "QBYAuto.QBYAutomation", true, false,
         "QBYAuto.QBYAutomation", "QBYAuto.QBYAutomation"},
        {"http taken by another class", "QBYAuto.QBYAutomation", "Other.Handler", true, true,
         "QBYAuto.QBYAutomation", "QBYAuto.QBYAutomation"},
        {"ftp taken, http ours", "Other.Handler", "QBYAuto.QBYAutomation", true, true,
         "QBYAuto.QBYAutomation", "QBYAuto.QBYAutomation"},
        {"neither set", nullptr, nullptr, true, true, "QBYAuto.QBYAutomation",
         "QBYAuto.QBYAutomation"},
        {"foreign values go even without Netscape's object", "Other.Handler", "Other.Handler",
         false, false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qbtest::TempHome home;
        Registry user(Registry::CurrentUser);
        ASSERT_TRUE(user.createKey(kNetscapeKey));
        if (c.ftp)
            user.writeValue(kNetscapeKey, "ftp", c.ftp);
        if (c.http)
            user.writeValue(kNetscapeKey, "http", c.http);
        if (c.objectRegistered)
            registerNetscapeObject();
        AutomationWatch watch;
        setup::registerWithNetscape();
        EXPECT_EQ(watch.created,
                  c.objectCreated ? QStringList({"Netscape.Registry.1"}) : QStringList());
        EXPECT_EQ(user.readValue(kNetscapeKey, "ftp"),
                  c.ftpAfter ? std::optional<QString>(c.ftpAfter) : std::nullopt);
        EXPECT_EQ(user.readValue(kNetscapeKey, "http"),
                  c.httpAfter ? std::optional<QString>(c.httpAfter) : std::nullopt);
    }
}

TEST(BrowserRegistration, NetscapeStepCallsTheHelpersSelfRegistrationQuietly) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installStandInLibrary(home, QB_TEST_PLUGIN));
    qputenv("QB_TESTPLUGIN_LOG", (home.root() + "/calls").toUtf8());
    StandInStatus status("5");
    qbtest::DialogAnswerer boxes;
    setup::registerWithNetscape();
    qunsetenv("QB_TESTPLUGIN_LOG");
    EXPECT_EQ(qbtest::readFile(home.root() + "/calls"), "DllRegisterServer\n");
    EXPECT_TRUE(boxes.boxes().isEmpty());
}

TEST(Automation, OnlyRegisteredClassesWithAStandInAreCreated) {
    qbtest::TempHome home;
    EXPECT_EQ(platform::createAutomationObject("Netscape.Registry.1"), nullptr);
    registerNetscapeObject();
    Registry(Registry::ClassesRoot).writeValue("Some.Other.1\\CLSID", "", "{X}");
    EXPECT_EQ(platform::createAutomationObject("Some.Other.1"), nullptr);

    auto netscape = platform::createAutomationObject("netscape.registry.1");
    ASSERT_NE(netscape, nullptr);
    EXPECT_FALSE(netscape->invoke("NoSuchMethod", {"ftp", "x"}));
    EXPECT_FALSE(netscape->invoke("RegisterProtocol", {"ftp"}));
    EXPECT_TRUE(netscape->invoke("RegisterProtocol", {"gopher", "Some.Class"}));
    EXPECT_EQ(Registry(Registry::CurrentUser).readValue(kNetscapeKey, "gopher"), "Some.Class");
}

} // namespace
