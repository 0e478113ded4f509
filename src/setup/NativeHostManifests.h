#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

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

// Writes the manifest for every browser the user has. Failures go to stderr: without a
// manifest the extension leaves every download to the browser, which loses nothing.
void installNativeHostManifests();

// Removes the manifests the program wrote.
void removeNativeHostManifests();

} // namespace setup
