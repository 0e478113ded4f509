#include "setup/BrowserRegistration.h"

#include "platform/Automation.h"
#include "platform/Dialogs.h"
#include "platform/PluginLibrary.h"
#include "platform/Registry.h"
#include "setup/NativeHostManifests.h"

#include <cstdio>

namespace setup {

namespace {

using platform::PluginResult;
using platform::PluginStatus;
using platform::Registry;

QString latin(const char* text) {
    return QString::fromLatin1(text);
}

// The box for a call into the helper library, or nothing when it succeeded.
QString pluginMessage(const PluginResult& result, const char* failedCall) {
    switch (result.status) {
    case PluginStatus::Ok:
        return {};
    case PluginStatus::Missing:
        return QStringLiteral("Missing QBYAuto.dll - this file must be in the Quillbay folder.");
    case PluginStatus::LoadFailed:
        return QStringLiteral("Failed to load QBYAuto.DLL");
    case PluginStatus::EntryMissing:
        return QStringLiteral("QBYAuto.DLL file corrupted");
    case PluginStatus::EntryFailed:
        return latin(failedCall);
    }
    return {};
}

void report(const PluginResult& result, const char* failedCall, bool quiet) {
    const QString message = pluginMessage(result, failedCall);
    if (message.isEmpty())
        return;
    if (!quiet) {
        platform::showMessage(message);
        return;
    }
    std::fprintf(stderr, "Quillbay: %s (%s)\n", qPrintable(message),
                 qPrintable(result.loaderError.isEmpty() ? result.path : result.loaderError));
}

} // namespace

void registerWithNetscape() {
    // The helper registers its class first; whether it could is told by the next step.
    platform::registerPlugin();

    Registry currentUser(Registry::CurrentUser);
    const QString key = latin(platform::kNetscapeProtocolsKey);
    if (!currentUser.keyExists(key))
        return; // Netscape Navigator is not installed
    const QString ours = latin(kPluginClassName);
    bool ftpInPlace = false;
    if (const auto ftp = currentUser.readValue(key, "ftp")) {
        if (*ftp == ours)
            ftpInPlace = true;
        else
            currentUser.deleteValue(key, "ftp");
    }
    if (const auto http = currentUser.readValue(key, "http")) {
        if (*http == ours && ftpInPlace)
            return;
        if (*http != ours)
            currentUser.deleteValue(key, "http");
    }

    const auto netscape = platform::createAutomationObject(latin(platform::kNetscapeRegistryClass));
    if (!netscape)
        return;
    netscape->invoke("RegisterProtocol", {"ftp", ours});
    netscape->invoke("RegisterProtocol", {"http", ours});
}

void registerPluginLibrary() {
    report(platform::registerPlugin(), "Failed to register QBYAuto.DLL", false);
}

void registerWithInternetExplorer() {
    Registry localMachine(Registry::LocalMachine);
    Registry classesRoot(Registry::ClassesRoot);
    const QString classId = latin(kPluginClassId);
    // Each step only runs when the one before it succeeded.
    const bool done = localMachine.createKey(latin(kIEHttpHandlerKey)) &&
                      localMachine.writeValue(latin(kIEHttpHandlerKey), "CLSID", classId) &&
                      localMachine.createKey(latin(kIEFtpHandlerKey)) &&
                      localMachine.writeValue(latin(kIEFtpHandlerKey), "CLSID", classId) &&
                      classesRoot.keyExists(latin(kPluginClassKey)) &&
                      classesRoot.writeValue(latin(kPluginClassKey), "ThreadingModel", "Apartment");
    if (!done)
        platform::showMessage("Failed to register Quillbay with Internet Explorer");
}

void unregisterPluginLibrary(bool quiet) {
    report(platform::unregisterPlugin(), "Failed to unregister QBYAuto.DLL", quiet);
}

void registerWithBrowsers(const QStringList& refusedBridges) {
    registerWithNetscape();
    registerPluginLibrary();
    registerWithInternetExplorer();
    installNativeHostManifests(refusedBridges);
}

} // namespace setup
