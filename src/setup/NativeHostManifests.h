#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The browser extension reaches the program through a native-messaging host; the browsers
// start that host only when a manifest of the user's names it. The program writes those
// manifests at start-up beside its other browser registration and removes them at the end,
// so the extension finds a host exactly while the program runs.
namespace setup {

inline constexpr const char* kNativeHostName = "example.verrin.quillbay";
inline constexpr const char* kNativeHostFileName = "quillbay-native-host";
// The extension's ID in Chromium-family browsers, fixed by the public key in its manifest.
inline constexpr const char* kChromiumExtensionId = "apkmdkjjadhplciamghplhkdjicngbim";
// The extension's ID in Firefox, set in its manifest.
inline constexpr const char* kFirefoxExtensionId = "quillbay@verrin.example";

// Where one browser of the user reads host manifests from.
struct HostManifestPlace {
    QString name;           // as the user knows the browser: "Chromium"
    QString settingKey;     // its [Bridge] key: whether the user wants it connected
    QString browser;        // the browser's own folder; no manifest is written without it
    QString manifestFolder; // the folder the manifest goes to
    bool firefox = false;   // Firefox's manifest form (allowed_extensions)
};

// Chromium and Google Chrome under $XDG_CONFIG_HOME, Firefox under ~/.mozilla.
QList<HostManifestPlace> hostManifestPlaces();

// The host executable: beside the program, or in lib/quillbay/ of the installation the
// program runs from; empty when neither exists.
QString nativeHostPath();

// The manifest that lets the extension start the host at `hostPath`.
QByteArray hostManifest(const QString& hostPath, bool firefox);

// The manifest file of a place.
QString hostManifestFile(const HostManifestPlace& place);

// Writes the manifest for every browser the user has, except the ones named in `refused`
// (by name), whose manifests are removed. Failures go to stderr: without a manifest the
// extension leaves every download to the browser, which loses nothing.
void installNativeHostManifests(const QStringList& refused = {});

// Writes one browser's manifest, also when the browser has not run yet (its folders are
// made). Returns why it failed, or an empty text.
QString installNativeHostManifest(const HostManifestPlace& place);

// Removes one browser's manifest; a missing one is no error.
bool removeNativeHostManifest(const HostManifestPlace& place);

// Removes the manifests the program wrote.
void removeNativeHostManifests();

// A browser of this desktop that the bridge can connect, and the program that was found.
struct BridgeBrowser {
    HostManifestPlace place;
    QString program;
};

// The folders of $PATH.
QStringList executableSearchPath();

// The browsers whose program is found in a folder of `searchPath` or in its usual install
// place under `root`, in the order of hostManifestPlaces(). Only runnable files count.
QList<BridgeBrowser> findBridgeBrowsers(const QStringList& searchPath = executableSearchPath(),
                                        const QString& root = "/");

} // namespace setup
