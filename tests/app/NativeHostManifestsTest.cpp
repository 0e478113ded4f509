#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "TrayFixture.h"
#include "app/TfrmTray.h"
#include "platform/RunningCopies.h"
#include "setup/NativeHostManifests.h"

namespace {

QJsonObject readJson(const QString& path) {
    return QJsonDocument::fromJson(qbtest::readFile(path)).object();
}

QString manifestIn(const QString& folder) {
    return folder + "/" + setup::kNativeHostName + ".json";
}

// The program's start writes the host manifest for each browser the user has, in that
// browser's form, and its end removes them again; browsers the user never ran are left alone.
TEST(NativeHostManifests, WrittenForTheUsersBrowsersWhileTheProgramRuns) {
    qbtest::TempHome home;
    ASSERT_TRUE(qbtest::installHelperLibrary(home));
    qbtest::DialogAnswerer boxes;
    const QString config = home.root() + "/home/.config";
    const QString chromium = config + "/chromium/NativeMessagingHosts";
    const QString firefox = home.root() + "/home/.mozilla/native-messaging-hosts";
    ASSERT_TRUE(QDir().mkpath(config + "/chromium"));
    ASSERT_TRUE(QDir().mkpath(home.root() + "/home/.mozilla"));
    // A stale manifest of ours (an older install) is replaced.
    ASSERT_TRUE(qbtest::writeFile(manifestIn(chromium), "{\"path\":\"/old/host\"}"));
    {
        TfrmTray tray({});
        const QJsonObject forChromium = readJson(manifestIn(chromium));
        const QJsonObject forFirefox = readJson(manifestIn(firefox));
        for (const QJsonObject& manifest : {forChromium, forFirefox}) {
            EXPECT_EQ(manifest["name"], setup::kNativeHostName);
            EXPECT_EQ(manifest["type"], "stdio");
            const QFileInfo host(manifest["path"].toString());
            EXPECT_TRUE(host.isAbsolute() && host.isExecutable()) << qPrintable(host.filePath());
            EXPECT_EQ(host.fileName(), setup::kNativeHostFileName);
        }
        EXPECT_EQ(forChromium["allowed_origins"],
                  QJsonArray(
                      {QStringLiteral("chrome-extension://%1/").arg(setup::kChromiumExtensionId)}));
        EXPECT_FALSE(forChromium.contains("allowed_extensions"));
        EXPECT_EQ(forFirefox["allowed_extensions"], QJsonArray({setup::kFirefoxExtensionId}));
        EXPECT_FALSE(forFirefox.contains("allowed_origins"));
        EXPECT_FALSE(QFileInfo::exists(config + "/google-chrome"));
    }
    EXPECT_FALSE(QFileInfo::exists(manifestIn(chromium)));
    EXPECT_FALSE(QFileInfo::exists(manifestIn(firefox)));
    EXPECT_TRUE(boxes.texts().isEmpty()) << qPrintable(boxes.texts().join('\n'));

    // A copy started while another runs must not take the browsers' connection from the one
    // that stays: only the last copy to end removes the manifests.
    Settings().writeInteger("Download", "Speed", 28800); // no speed question
    {
        platform::RunningCopy otherCopy;
        { TfrmTray tray({}); }
        EXPECT_TRUE(QFileInfo::exists(manifestIn(chromium)));
    }
    // A browser turned off gets none, and the one left from before goes.
    Settings().writeBool("Bridge", "Chromium", false);
    {
        TfrmTray tray({});
        EXPECT_FALSE(QFileInfo::exists(manifestIn(chromium)));
        EXPECT_TRUE(QFileInfo::exists(manifestIn(firefox)));
    }
    EXPECT_FALSE(QFileInfo::exists(manifestIn(firefox)));
}

// Firefox's extension ID is the one the manifests allow (Chromium's fails the Chromium
// bridge test), and the packaged extension asks for no more than it needs.
TEST(NativeHostManifests, AllowTheIdsOfThePackagedExtension) {
    const QJsonObject chromium = readJson(QB_BROWSER_DIR "/chromium/manifest.json");
    const QJsonObject firefox = readJson(QB_BROWSER_DIR "/firefox/manifest.json");
    EXPECT_EQ(firefox["browser_specific_settings"]["gecko"]["id"], setup::kFirefoxExtensionId);

    // One source, two manifests: the same permissions, each browser's own background.
    for (const QJsonObject& manifest : {chromium, firefox}) {
        EXPECT_EQ(manifest["manifest_version"], 3);
        EXPECT_EQ(manifest["permissions"], QJsonArray({"downloads", "nativeMessaging"}));
        EXPECT_EQ(manifest["optional_permissions"], QJsonArray({"tabs"}));
        EXPECT_FALSE(manifest.contains("host_permissions"));
    }
    EXPECT_EQ(firefox["background"]["scripts"], QJsonArray({"background.js"}));
    EXPECT_FALSE(firefox.contains("key"));
    for (const char* package : {"/quillbay-chromium.zip", "/quillbay-firefox.xpi"})
        EXPECT_TRUE(qbtest::readFile(QB_BROWSER_DIR + QString(package)).startsWith("PK\3\4"))
            << package;
}

} // namespace
