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
    // Each entry under dir: 'x' a program that runs, 'f' a file that does not, 'd' a folder.
    struct Entry {
        char kind;
        const char* path;
    };
    struct Case {
        const char* what;
        QList<Entry> entries;
        QStringList expected; // "name=program under dir"
    } cases[] = {
        {"nothing installed", {}, {}},
        {"the first folder of the path wins",
         {{'x', "bin1/chromium-browser"}, {'x', "bin2/chromium"}},
         {"Chromium=bin1/chromium-browser"}},
        {"a file that cannot run or a folder is no browser",
         {{'f', "bin1/firefox"}, {'d', "bin2/google-chrome"}},
         {}},
        {"Snap and Flatpak builds cannot be reached",
         {{'x', "bin1/snap/bin/chromium"}, {'x', "bin1/flatpak/exports/bin/firefox"}},
         {}},
        {"install places below the root, in the installer's order",
         {{'x', "root/opt/google/chrome/google-chrome"},
          {'x', "root/usr/lib/firefox-esr/firefox-esr"},
          {'x', "bin2/chromium"}},
         {"Chromium=bin2/chromium", "Google Chrome=root/opt/google/chrome/google-chrome",
          "Firefox=root/usr/lib/firefox-esr/firefox-esr"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* sub : {"bin1", "bin2", "root"}) {
            QDir(dir.path() + "/" + sub).removeRecursively();
            QDir().mkpath(dir.path() + "/" + sub);
        }
        for (const Entry& e : c.entries) {
            const QString path = dir.path() + "/" + e.path;
            ASSERT_TRUE(e.kind == 'd' ? QDir().mkpath(path) : program(path, e.kind == 'x'));
        }
        QStringList found;
        for (const setup::BridgeBrowser& b :
             setup::findBridgeBrowsers({first, snap, flatpak, second}, root))
            found << b.place.name + "=" + QDir(dir.path()).relativeFilePath(b.program);
        EXPECT_EQ(found, c.expected);
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
