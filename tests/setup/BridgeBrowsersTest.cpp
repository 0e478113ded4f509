#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestEnvironment.h"
#include "setup/NativeHostManifests.h"

namespace {

bool program(const QString& path, bool runnable = true) {
    if (!qbtest::writeFile(path, "#!/bin/sh\n"))
        return false;
    return QFile::setPermissions(path, runnable ? QFile::ReadOwner | QFile::ExeOwner
                                                : QFile::ReadOwner | QFile::WriteOwner);
}

// Which browsers the wizard offers to connect, from a prepared search path and install tree.
TEST(BridgeBrowsers, FoundOnThePathOrInTheirInstallPlacesWhenRunnable) {
    QTemporaryDir dir;
    const QString first = dir.path() + "/bin1";
    const QString second = dir.path() + "/bin2";
    const QString snap = dir.path() + "/bin1/snap/bin";
    const QString flatpak = dir.path() + "/bin1/flatpak/exports/bin";
    const QString root = dir.path() + "/root";
    ASSERT_TRUE(QDir().mkpath(root));
    struct Case {
        const char* what;
        QStringList runnable;    // under dir
        QStringList notRunnable; // under dir
        QStringList folders;     // under dir
        QStringList expected;    // "name=program under dir"
    } cases[] = {
        {"nothing installed", {}, {}, {}, {}},
        {"the first folder of the path wins",
         {"bin1/chromium-browser", "bin2/chromium"},
         {},
         {},
         {"Chromium=bin1/chromium-browser"}},
        {"a file that cannot run or a folder is no browser",
         {},
         {"bin1/firefox"},
         {"bin2/google-chrome"},
         {}},
        {"Snap and Flatpak builds cannot be reached",
         {"bin1/snap/bin/chromium", "bin1/flatpak/exports/bin/firefox"},
         {},
         {},
         {}},
        {"install places below the root, in the installer's order",
         {"root/opt/google/chrome/google-chrome", "root/usr/lib/firefox-esr/firefox-esr",
          "bin2/chromium"},
         {},
         {},
         {"Chromium=bin2/chromium", "Google Chrome=root/opt/google/chrome/google-chrome",
          "Firefox=root/usr/lib/firefox-esr/firefox-esr"}},
    };
    for (const Case& c : cases) {
        for (const char* sub : {"bin1", "bin2", "root"}) {
            QDir(dir.path() + "/" + sub).removeRecursively();
            QDir().mkpath(dir.path() + "/" + sub);
        }
        for (const QString& p : c.runnable)
            ASSERT_TRUE(program(dir.path() + "/" + p)) << c.what;
        for (const QString& p : c.notRunnable)
            ASSERT_TRUE(program(dir.path() + "/" + p, false)) << c.what;
        for (const QString& p : c.folders)
            ASSERT_TRUE(QDir().mkpath(dir.path() + "/" + p)) << c.what;
        QStringList found;
        for (const setup::BridgeBrowser& b :
             setup::findBridgeBrowsers({first, snap, flatpak, second}, root))
            found << b.place.name + "=" + QDir(dir.path()).relativeFilePath(b.program);
        EXPECT_EQ(found, c.expected) << c.what;
    }
}

// A browser never run has no folder yet: connecting it from the wizard makes the folders;
// removing it leaves the browser's own folder alone.
TEST(BridgeBrowsers, OneBrowserConnectedAndDisconnected) {
    qbtest::TempHome home;
    ASSERT_FALSE(setup::nativeHostPath().isEmpty());
    const setup::HostManifestPlace chrome = setup::hostManifestPlaces()[1];
    ASSERT_EQ(chrome.name, "Google Chrome");
    ASSERT_FALSE(QFileInfo::exists(chrome.browser));
    EXPECT_EQ(setup::installNativeHostManifest(chrome), "");
    EXPECT_EQ(qbtest::readFile(setup::hostManifestFile(chrome)),
              setup::hostManifest(setup::nativeHostPath(), false));
    EXPECT_TRUE(setup::removeNativeHostManifest(chrome));
    EXPECT_FALSE(QFileInfo::exists(setup::hostManifestFile(chrome)));
    EXPECT_TRUE(QFileInfo(chrome.browser).isDir());
    EXPECT_TRUE(setup::removeNativeHostManifest(chrome));

    // A folder where the manifest must go is reported, not passed over.
    ASSERT_TRUE(QDir().mkpath(setup::hostManifestFile(chrome)));
    EXPECT_NE(setup::installNativeHostManifest(chrome), "");
}

} // namespace
