#include "platform/PluginLibrary.h"

#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace platform {

namespace {

QString lastLoaderError() {
    const char* error = dlerror();
    return error ? QString::fromLocal8Bit(error) : QString();
}

} // namespace

QString pluginPath() {
    const QString folder = programFilesFolder();
    const QString wanted = QString::fromLatin1(kPluginFileName);
    if (QFileInfo::exists(folder + wanted))
        return folder + wanted;
    // The name is known in several spellings of case; any one of them is the library.
    const QStringList names = QDir(folder).entryList({wanted}, QDir::Files | QDir::System);
    return folder + (names.isEmpty() ? wanted : names.constFirst());
}

PluginResult callPluginEntry(const char* entry, const QString& library) {
    PluginResult result;
    result.path = library;
    const QFileInfo info(library);
    if (!info.isFile()) {
        result.status = PluginStatus::Missing;
        return result;
    }
    // An absolute path, so that dlopen loads this very file and never searches.
    const QByteArray file = QFile::encodeName(info.absoluteFilePath());
    dlerror();
    void* handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        result.status = PluginStatus::LoadFailed;
        result.loaderError = lastLoaderError();
        return result;
    }
    dlerror();
    using EntryPoint = long (*)();
    auto function = reinterpret_cast<EntryPoint>(dlsym(handle, entry));
    if (!function) {
        result.status = PluginStatus::EntryMissing;
        result.loaderError = lastLoaderError();
    } else {
        result.code = function();
        result.status = result.code == 0 ? PluginStatus::Ok : PluginStatus::EntryFailed;
    }
    dlclose(handle);
    return result;
}

PluginResult registerPlugin() {
    return callPluginEntry("DllRegisterServer");
}

PluginResult unregisterPlugin() {
    return callPluginEntry("DllUnregisterServer");
}

} // namespace platform
