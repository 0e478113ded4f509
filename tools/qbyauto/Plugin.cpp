// The browser helper library, QBYAuto.dll: the program loads it at run time and calls its
// self-registration entry points, which enter (or remove) the helper's automation class in
// the registry store.
#include "platform/Registry.h"
#include "setup/BrowserRegistration.h"

#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <dlfcn.h>

namespace {

using platform::Registry;

// E_FAIL: the status of a registration that could not be written.
constexpr long kFailed = static_cast<int32_t>(0x80004005u);

QString classKey() {
    return QStringLiteral("CLSID\\") + QString::fromLatin1(setup::kPluginClassId);
}

QString classNameKey() {
    return QString::fromLatin1(setup::kPluginClassName);
}

// This library's own file, as the loader found it.
QString libraryPath() {
    Dl_info info = {};
    if (!dladdr(reinterpret_cast<void*>(&libraryPath), &info) || !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}

} // namespace

extern "C" __attribute__((visibility("default"))) long DllRegisterServer() {
    Registry classes(Registry::ClassesRoot);
    const QString path = libraryPath();
    const bool written =
        !path.isEmpty() &&
        classes.writeValue(QString::fromLatin1(setup::kPluginClassKey), "", path) &&
        classes.writeValue(classKey() + "\\ProgID", "", classNameKey()) &&
        classes.writeValue(classNameKey() + "\\CLSID", "",
                           QString::fromLatin1(setup::kPluginClassId));
    return written ? 0 : kFailed;
}

extern "C" __attribute__((visibility("default"))) long DllUnregisterServer() {
    Registry classes(Registry::ClassesRoot);
    const bool removed = classes.deleteKey(classKey()) && classes.deleteKey(classNameKey());
    return removed ? 0 : kFailed;
}
